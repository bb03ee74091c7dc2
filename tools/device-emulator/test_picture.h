// Generated live pictures: scrolling colour bars, a moving box and the frame number in big
// seven-segment digits, so that a viewer shows at a glance whether frames move, stall or repeat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_emulator.h"

namespace device_emulator {

class TestPicture {
public:
    TestPicture();
    ~TestPicture();
    TestPicture(const TestPicture&) = delete;
    TestPicture& operator=(const TestPicture&) = delete;

    // A baseline JPEG that begins FF D8 FF DB: the device sends no JFIF segment, and readers
    // recognise frames by those four bytes. `grain` (0 to 255) adds noise of that amplitude to
    // every sample, as a detailed scene does: the frames grow to their largest at 255.
    std::string Encode(std::uint64_t frame, PictureSize size, int quality, int grain = 0);

private:
    void Draw(std::uint64_t frame, PictureSize size);
    void Fill(PictureSize size, int x, int y, int w, int h, const std::uint8_t* rgb);
    void DrawNumber(std::uint64_t number, PictureSize size);
    void AddGrain(std::uint64_t frame, int grain);

    void* handle_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace device_emulator
