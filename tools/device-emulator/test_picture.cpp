#include "test_picture.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace device_emulator {

namespace {

constexpr std::uint8_t kBars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235},
                                      {16, 235, 16},   {235, 16, 235}, {235, 16, 16},
                                      {16, 16, 235},   {16, 16, 16}};
constexpr std::uint8_t kWhite[3] = {255, 255, 255};
constexpr std::uint8_t kBlack[3] = {0, 0, 0};
constexpr std::uint8_t kOrange[3] = {255, 128, 0};
constexpr int kMinDigits = 4;

// Segments a to g of each digit, bit 0 = a.
constexpr std::array<std::uint8_t, 10> kDigitSegments = {0x3f, 0x06, 0x5b, 0x4f, 0x66,
                                                         0x6d, 0x7d, 0x07, 0x7f, 0x6f};

struct Segment {
    int x, y, w, h;  // in units of the stroke, on a digit 4 strokes wide and 7 high
};
constexpr std::array<Segment, 7> kSegmentBoxes = {{
    {0, 0, 4, 1},  // a
    {3, 0, 1, 4},  // b
    {3, 3, 1, 4},  // c
    {0, 6, 4, 1},  // d
    {0, 3, 1, 4},  // e
    {0, 0, 1, 4},  // f
    {0, 3, 4, 1},  // g
}};
constexpr int kDigitStrokesWide = 4;
constexpr int kDigitStrokesHigh = 7;

}  // namespace

TestPicture::TestPicture() : handle_(tjInitCompress()) {
    if (handle_ == nullptr) {
        throw std::runtime_error("the JPEG encoder could not be initialised");
    }
}

TestPicture::~TestPicture() {
    tjDestroy(handle_);
}

void TestPicture::Fill(PictureSize size, int x, int y, int w, int h, const std::uint8_t* rgb) {
    const int x0 = std::clamp(x, 0, size.width), x1 = std::clamp(x + w, 0, size.width);
    const int y0 = std::clamp(y, 0, size.height), y1 = std::clamp(y + h, 0, size.height);
    for (int row = y0; row < y1; ++row) {
        std::uint8_t* p = pixels_.data() + (static_cast<std::size_t>(row) * size.width + x0) * 3;
        for (int col = x0; col < x1; ++col, p += 3) {
            std::copy(rgb, rgb + 3, p);
        }
    }
}

void TestPicture::DrawNumber(std::uint64_t number, PictureSize size) {
    const int stroke = std::max(1, size.height / 3 / kDigitStrokesHigh);
    const int advance = (kDigitStrokesWide + 1) * stroke;
    std::string digits = std::to_string(number);
    if (digits.size() < kMinDigits) {
        digits.insert(0, kMinDigits - digits.size(), '0');
    }
    // A picture too narrow for every digit shows the lowest ones, which are the ones that move.
    const std::size_t fit = static_cast<std::size_t>(std::max(1, (size.width - stroke) / advance));
    if (digits.size() > fit) {
        digits.erase(0, digits.size() - fit);
    }
    const int margin = stroke;
    Fill(size, 0, 0, static_cast<int>(digits.size()) * advance + margin,
         kDigitStrokesHigh * stroke + 2 * margin, kBlack);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int left = margin + static_cast<int>(i) * advance;
        const std::uint8_t segments = kDigitSegments[digits[i] - '0'];
        for (std::size_t s = 0; s < kSegmentBoxes.size(); ++s) {
            if (segments & (1u << s)) {
                const Segment& box = kSegmentBoxes[s];
                Fill(size, left + box.x * stroke, margin + box.y * stroke, box.w * stroke,
                     box.h * stroke, kWhite);
            }
        }
    }
}

void TestPicture::Draw(std::uint64_t frame, PictureSize size) {
    pixels_.assign(static_cast<std::size_t>(size.width) * size.height * 3, 0);
    const int bar_width = std::max(1, size.width / 8);
    const int scroll = static_cast<int>((frame * 4) % static_cast<std::uint64_t>(size.width));
    for (int x = 0; x < size.width; ++x) {
        Fill(size, x, 0, 1, 1, kBars[((x + scroll) / bar_width) % 8]);
    }
    const std::size_t row_bytes = static_cast<std::size_t>(size.width) * 3;
    for (int row = 1; row < size.height; ++row) {
        std::copy_n(pixels_.begin(), row_bytes, pixels_.begin() + row * row_bytes);
    }
    const int box = std::max(2, size.height / 6);
    const int travel = std::max(1, size.width - box);
    const int box_x = static_cast<int>((frame * 6) % static_cast<std::uint64_t>(travel));
    Fill(size, box_x, size.height - box - size.height / 10, box, box, kOrange);
    DrawNumber(frame, size);
}

void TestPicture::AddGrain(std::uint64_t frame, int grain) {
    std::uint32_t noise = static_cast<std::uint32_t>(frame) * 2654435761u + 1;
    for (std::uint8_t& value : pixels_) {
        noise = noise * 1664525u + 1013904223u;
        const int offset =
            static_cast<int>((noise >> 16) % static_cast<std::uint32_t>(2 * grain + 1));
        value = static_cast<std::uint8_t>(std::clamp(value + offset - grain, 0, 255));
    }
}

std::string TestPicture::Encode(std::uint64_t frame, PictureSize size, int quality, int grain) {
    Draw(frame, size);
    if (grain > 0) {
        AddGrain(frame, std::min(grain, 255));
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpeg_size = 0;
    if (tjCompress2(handle_, pixels_.data(), size.width, 0, size.height, TJPF_RGB, &jpeg,
                    &jpeg_size, TJSAMP_420, std::clamp(quality, 1, 100), TJFLAG_FASTDCT) != 0) {
        tjFree(jpeg);
        throw std::runtime_error(tjGetErrorStr2(handle_));
    }
    std::string bytes(reinterpret_cast<const char*>(jpeg), jpeg_size);
    tjFree(jpeg);
    // The encoder writes a JFIF segment right after the start of image; the device does not.
    if (bytes.size() > 6 && static_cast<unsigned char>(bytes[3]) == 0xE0) {
        const std::size_t length =
            static_cast<unsigned char>(bytes[4]) * 256u + static_cast<unsigned char>(bytes[5]);
        bytes.erase(2, 2 + length);
    }
    if (bytes.compare(0, 4, "\xFF\xD8\xFF\xDB") != 0) {
        throw std::logic_error("the encoder's output does not begin with the quantisation table");
    }
    return bytes;
}

}  // namespace device_emulator
