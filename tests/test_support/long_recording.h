#pragma once

// A record file of very many small frames, built in memory and written in one go: the recorders
// would take minutes for the hundreds of thousands of frames on which the reader's cost shows.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "recording/record_file.h"

namespace test_support {

enum class LongRecordingIndex {
    Whole,
    // Cut short before the index, as a recording the program could not close.
    Missing,
    // Whole but for the middle frame's entry, which points one byte into that frame's record:
    // still an index (its first entry names the first record), but one the records disagree with.
    Broken,
};

// Frame i (from 0) is kFrameBytes bytes holding i, stamped i * 40 ms.
struct LongRecording {
    static constexpr std::uint32_t kFrameBytes = 8;

    static std::vector<std::uint8_t> Bytes(std::uint32_t frames, LongRecordingIndex index) {
        recording::RecordFileHeader header;
        header.dwFrameCount = index == LongRecordingIndex::Missing ? 0 : frames;
        std::vector<std::uint8_t> bytes;
        bytes.reserve(recording::kFirstFrameOffset +
                      std::size_t{frames} * (recording::RecordFrameRecord::kSize + kFrameBytes +
                                             recording::kIndexEntrySize) +
                      4);
        const auto head = header.Encode();
        bytes.insert(bytes.end(), head.begin(), head.end());
        bytes.push_back(0xFF);
        bytes.push_back(0xFF);
        std::vector<std::uint32_t> offsets;
        offsets.reserve(frames);
        for (std::uint32_t i = 0; i < frames; ++i) {
            offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
            recording::RecordFrameRecord record;
            record.dwSequence = i + 1;
            record.dwLength = kFrameBytes;
            record.dwTimeStamp = i * 40;
            const auto prefix = record.Encode();
            bytes.insert(bytes.end(), prefix.begin(), prefix.end());
            std::uint8_t frame[kFrameBytes] = {};
            recording::PutU32(frame, i);
            bytes.insert(bytes.end(), frame, frame + kFrameBytes);
        }
        if (index == LongRecordingIndex::Missing) {
            return bytes;
        }
        if (index == LongRecordingIndex::Broken && frames > 1) {
            offsets[frames / 2] += 1;
        }
        for (const std::uint32_t offset : offsets) {
            std::uint8_t entry[recording::kIndexEntrySize] = {};
            recording::PutU32(entry, offset);
            bytes.insert(bytes.end(), entry, entry + sizeof entry);
        }
        std::uint8_t count[4];
        recording::PutU32(count, frames);
        bytes.insert(bytes.end(), count, count + sizeof count);
        return bytes;
    }

    static std::filesystem::path Write(const std::filesystem::path& folder, std::uint32_t frames,
                                       LongRecordingIndex index) {
        const std::vector<std::uint8_t> bytes = Bytes(frames, index);
        const auto path = folder / ("LONG" + std::to_string(static_cast<int>(index)) +
                                    std::string(recording::kRecordFileExtension));
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

// A record file `size` bytes long that takes almost no disk: `head` (a header and perhaps some
// records), a hole, and at the end the u32 count; `words` are u32 values written where they stand
// (index entries in the hole). The file's last bytes claim an index as large as the count says.
inline std::filesystem::path WriteSparseRecording(
    const std::filesystem::path& path, const std::vector<std::uint8_t>& head, std::uint64_t size,
    std::uint32_t count, const std::vector<std::pair<std::uint64_t, std::uint32_t>>& words = {}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(head.data()),
               static_cast<std::streamsize>(head.size()));
    std::filesystem::resize_file(path, size);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    const auto put = [&](std::uint64_t at, std::uint32_t value) {
        std::uint8_t bytes[4];
        recording::PutU32(bytes, value);
        file.seekp(static_cast<std::streamoff>(at));
        file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    };
    for (const auto& [at, value] : words) {
        put(at, value);
    }
    put(size - 4, count);
    return path;
}

}  // namespace test_support
