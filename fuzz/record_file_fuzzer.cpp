// Record files as the player opens them: the header, the index at the end or, for a file cut
// short, the walk over the frame records; then every frame read back.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "recording/record_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = fuzz::Program::Get().WriteFile("record.qrn", {data, size});
    recording::RecordFileReader reader;
    if (!reader.Open(file)) {
        return 0;
    }
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < reader.Frames().size(); ++i) {
        const recording::RecordedFrame& frame = reader.Frames()[i];
        // Frames come in file order, and no two share a byte: one that did would hold a piece
        // of another.
        if (frame.dwOffset < previousEnd) {
            std::abort();
        }
        previousEnd = frame.dwOffset + recording::RecordFrameRecord::kSize +
                      std::uint64_t{frame.record.dwLength};
        // Every frame the reader lists lies inside the file.
        if (frame.dwOffset + recording::RecordFrameRecord::kSize +
                std::uint64_t{frame.record.dwLength} >
            size) {
            std::abort();
        }
        if (reader.ReadFrame(i).size() != frame.record.dwLength) {
            std::abort();
        }
    }
    return 0;
}
