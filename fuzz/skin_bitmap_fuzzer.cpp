// A skin bitmap replaced by the user with any file, loaded the way the windows load theirs.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "widgets/skin_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program::Get().WriteFile("BMP/LOGIN/skin.bmp", {data, size});
    const QImage image = ui::LoadSkinImage("BMP\\LOGIN\\skin.bmp");
    if (!image.isNull()) {
        image.pixel(image.width() - 1, image.height() - 1);
    }
    return 0;
}
