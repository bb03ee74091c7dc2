#include "kernel/utilities.h"

#include <cpuid.h>

#include <algorithm>
#include <cstring>
#include <string_view>

std::uint32_t HasMMX() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return 0;
    }
    return (edx >> 23) & 1u;
}

std::uint32_t FilterDigitInput(std::string* text, std::uint8_t mode) {
    if (text->size() >= 256) {
        return 0;
    }
    std::string kept;
    if (mode <= 1) {
        for (const char c : *text) {
            const bool digit = c >= '0' && c <= '9';
            const bool leadingMinus = mode == 0 && c == '-' && kept.empty();
            if (digit || leadingMinus) {
                kept += c;
            }
        }
    }
    *text = std::move(kept);
    return 1;
}

namespace {

// One channel of an interpolated row, as unsigned 16-bit lane arithmetic computes it.
std::uint8_t HalfPixel(unsigned m2, unsigned m1, unsigned a, unsigned b, unsigned p1, unsigned p2) {
    unsigned v = 64 * (a + b) + 8 * (m2 + p2);
    v = v > 22 * m1 ? v - 22 * m1 : 0;
    v = v > 22 * p1 ? v - 22 * p1 : 0;
    v /= 100;
    return static_cast<std::uint8_t>(std::min(v, 255u));
}

}  // namespace

std::uint32_t FilterImageMMX(const std::uint8_t* src, std::uint8_t* dst, std::size_t dstCapacity,
                             std::uint32_t srcWidth, std::uint32_t srcHeight,
                             std::uint32_t dstWidth, std::uint32_t dstRows) {
    const std::size_t rowBytes = static_cast<std::size_t>(dstWidth) * 3;
    const std::size_t srcRowBytes = static_cast<std::size_t>(srcWidth) * 3;
    if (dstWidth > srcWidth || srcHeight == 0 ||
        dstRows > 2 * static_cast<std::size_t>(srcHeight) || rowBytes * dstRows > dstCapacity) {
        return 0;
    }
    const auto row = [&](std::uint32_t i) { return src + srcRowBytes * i; };
    for (std::uint32_t r = 0; r < dstRows; ++r) {
        const std::uint32_t k = r / 2;
        std::uint8_t* out = dst + rowBytes * r;
        if (r % 2 == 0 || k + 1 >= srcHeight) {
            std::memcpy(out, row(k), rowBytes);
        } else if (k >= 2 && k + 3 < srcHeight) {
            const std::uint8_t* s[6] = {row(k - 2), row(k - 1), row(k),
                                        row(k + 1), row(k + 2), row(k + 3)};
            for (std::size_t i = 0; i < rowBytes; ++i) {
                out[i] = HalfPixel(s[0][i], s[1][i], s[2][i], s[3][i], s[4][i], s[5][i]);
            }
        } else {
            const std::uint8_t* a = row(k);
            const std::uint8_t* b = row(k + 1);
            for (std::size_t i = 0; i < rowBytes; ++i) {
                out[i] = static_cast<std::uint8_t>((a[i] + b[i]) / 2);
            }
        }
    }
    return 1;
}

std::uint32_t DrawFrameBox(std::uint8_t* frame, std::uint16_t width, std::uint16_t height,
                           std::uint32_t colour, std::uint16_t x, std::uint16_t y) {
    const int cx = x;
    const int cy = static_cast<int>(height) - static_cast<int>(y);  // rows are stored bottom-up
    const auto plot = [&](int column, int row) {
        if (column < 0 || column >= width || row < 0 || row >= height) {
            return;
        }
        std::uint8_t* p = frame + (static_cast<std::size_t>(row) * width + column) * 3;
        p[0] = static_cast<std::uint8_t>(colour);
        p[1] = static_cast<std::uint8_t>(colour >> 8);
        p[2] = static_cast<std::uint8_t>(colour >> 16);
    };
    const auto inBracket = [](int offset) { return offset <= -5 || offset >= 5; };
    for (int d = -8; d <= 8; ++d) {
        for (int t = -1; t <= 1; ++t) {
            plot(cx + d, cy + t);
            plot(cx + t, cy + d);
        }
        if (inBracket(d)) {
            plot(cx + d, cy - 8);
            plot(cx + d, cy + 8);
            plot(cx - 8, cy + d);
            plot(cx + 8, cy + d);
        }
    }
    return 1;
}

void PutU32BigEndian(std::uint32_t v, std::uint8_t* out) {
    if (!out) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
}

void SwapU32(std::uint32_t* v) {
    *v = __builtin_bswap32(*v);
}

std::uint32_t PatchJpegFrameSize(std::uint8_t* frame, std::size_t length, std::uint16_t width,
                                 std::uint16_t height) {
    const std::size_t limit = std::min<std::size_t>(length, 100);
    for (std::size_t i = 0; i + 9 <= limit; ++i) {
        if (frame[i] == 0xFF && frame[i + 1] == 0xC0) {
            frame[i + 5] = static_cast<std::uint8_t>(height >> 8);
            frame[i + 6] = static_cast<std::uint8_t>(height);
            frame[i + 7] = static_cast<std::uint8_t>(width >> 8);
            frame[i + 8] = static_cast<std::uint8_t>(width);
            return 1;
        }
    }
    return 0;
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) {
        sum += static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8));
    }
    if (i < length) {
        sum += data[i];
    }
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum);
}

std::uint16_t Checksum16(const std::uint16_t* data, std::uint32_t length) {
    const std::uint16_t sum = InternetChecksum(reinterpret_cast<const std::uint8_t*>(data), length);
    return static_cast<std::uint16_t>((sum << 8) | (sum >> 8));
}

std::uint16_t SumWords16(const std::uint16_t* data, std::uint32_t end, std::uint16_t start) {
    std::uint16_t sum = 0;
    for (std::uint32_t i = start; i < end; ++i) {
        sum = static_cast<std::uint16_t>(sum + data[i]);
    }
    return static_cast<std::uint16_t>(~sum);
}

int FindStringInBuffer(const std::uint8_t* buffer, const std::uint8_t* pattern, int bufferLength,
                       std::uint32_t patternLength) {
    const long long last = static_cast<long long>(bufferLength) - patternLength;
    for (long long i = 0; i < last; ++i) {
        if (std::memcmp(buffer + i, pattern, patternLength) == 0) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

int ExtractValueAfterKey(const char* text, char* out, std::size_t outSize, const char* key,
                         char terminator) {
    const char* found = std::strstr(text, key);
    if (!found || outSize == 0) {
        return -1;
    }
    const char* value = found + std::strlen(key);
    const char* end = value;
    while (*end && *end != terminator) {
        ++end;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(end - value), outSize - 1);
    std::memcpy(out, value, n);
    out[n] = '\0';
    return static_cast<int>(end - text);
}

int CountBytesBelowFF(const std::uint8_t* data, int length) {
    int n = 0;
    while (n < length && data[n] < 0xFF) {
        ++n;
    }
    return n;
}

void MaskBeforeOnlineUserNum(std::uint8_t* buffer, int length) {
    static constexpr std::string_view kKey = "online-user-num";
    static constexpr int kKeyWithColon = 16;  // "online-user-num:"
    const int textLength =
        static_cast<int>(std::find(buffer, buffer + std::max(length, 0), 0) - buffer);
    if (textLength >= kKeyWithColon || length <= kKeyWithColon) {
        return;
    }
    std::size_t matched = 0;
    for (int i = 0; i < length && matched < kKey.size(); ++i) {
        if (buffer[i] == static_cast<std::uint8_t>(kKey[matched])) {
            ++matched;
        } else {
            buffer[i] = '0';
        }
    }
}

int CompareVersionText(const std::string& a, const std::string& b) {
    if (a.size() != 7 || b.size() != 7) {
        return -1;
    }
    for (int i = 0; i < 7; i += 2) {
        const auto ca = static_cast<signed char>(a[i]);
        const auto cb = static_cast<signed char>(b[i]);
        if (cb > ca) {
            return 1;
        }
        if (ca > cb) {
            return 2;
        }
    }
    return 0;
}

int FirmwareHeaderCheck(const char* header, std::size_t headerSize,
                        const std::string& deviceFirmwareVersion, std::uint32_t* headerLength) {
    const std::string_view text(header, std::min<std::size_t>(headerSize, 100));
    std::string_view fields[3];
    std::size_t pos = 0;
    for (auto& field : fields) {
        const std::size_t end = text.find(';', pos);
        if (end == std::string_view::npos) {
            return -1;
        }
        field = text.substr(pos, end - pos);
        pos = end + 1;
    }
    if (fields[0] != "ORVANE" || fields[2] != "Kelmar" || fields[1].size() != 4) {
        return -1;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const char device = 2 * i < deviceFirmwareVersion.size() ? deviceFirmwareVersion[2 * i] : 0;
        if (fields[1][i] > device) {
            *headerLength = static_cast<std::uint32_t>(pos);
            return 0;
        }
        if (fields[1][i] < device) {
            return -2;
        }
    }
    return -2;
}
