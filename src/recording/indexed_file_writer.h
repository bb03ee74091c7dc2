#pragma once

// What both recording file formats share: a header at the start, one record per frame behind
// it, and at the end an index of 8-byte entries (the frame record's offset and a second word)
// followed by the entry count. Every write is checked; after the first failure nothing more is
// written but the closing, which cuts the file back to its last whole frame and, space
// permitting, still ends it with header, index and count.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "recording/output_file.h"

namespace recording {

inline constexpr std::size_t kIndexEntrySize = 8;
// A recording goes on in a new file after this many frames.
inline constexpr std::uint32_t kMaxFramesPerFile = 6'000;

class IndexedFileWriter {
public:
    virtual ~IndexedFileWriter() = default;

    // The index table, once per process; it holds a whole file's entries.
    bool AllocateBuffer();
    bool FreeBuffer();

    bool IsOpen() const { return h_RecordFile.IsOpen(); }
    const std::filesystem::path& Path() const { return h_RecordFile.Path(); }
    // Why the last operation failed.
    const std::string& Error() const { return h_RecordFile.Error(); }
    std::uint32_t FrameCount() const { return m_dwFrameNumber; }
    std::uint32_t FileOffset() const { return m_dwFileOffset; }

    // Ends the file: the closing header, the index and its count; then closes it. A file without
    // frames still gets its own header, count 0 and an empty index. False when any of it, or any
    // earlier write, failed.
    bool Close();
    // Closes the file and removes it. False when a write had failed (Error() says why) or the
    // file cannot be removed.
    bool Discard();
    // Frames in the file the last Close ended.
    std::uint32_t FramesKept() const { return m_dwFramesKept; }

protected:
    IndexedFileWriter(std::uint32_t firstFrameOffset, const char* extension);

    // Starts a new, empty file in `folder` named stem + extension (or stem_1 + extension, ...).
    bool CreateFile(const std::filesystem::path& folder, const std::string& stem);
    bool Write(std::uint64_t offset, std::initializer_list<std::span<const std::uint8_t>> parts);
    // Appends the next frame's record (prefix and frame bytes) and its index entry.
    bool AppendFrame(std::span<const std::uint8_t> prefix, std::span<const std::uint8_t> frame,
                     std::uint32_t indexWord);
    bool EnsureHeader() { return m_fHeaderWritten || WriteHeader(); }

    // The header of a new file, written before its first frame.
    virtual bool WriteHeader() = 0;
    // The header as it must stand when the file is closed.
    virtual bool RewriteClosingHeader() = 0;

    bool m_fHeaderWritten = false;
    // Sequence number of the last frame written.
    std::uint32_t m_dwFrameNumber = 0;

private:
    bool WriteIndex();

    const std::uint32_t m_dwFirstFrameOffset;
    const char* const m_szExtension;
    OutputFile h_RecordFile;
    bool m_fWriteFailed = false;
    std::uint32_t m_dwFramesKept = 0;
    // Where the next frame record goes.
    std::uint32_t m_dwFileOffset = 0;
    std::vector<std::uint32_t> m_lpIndexTable;  // offset and second word of each entry
};

}  // namespace recording
