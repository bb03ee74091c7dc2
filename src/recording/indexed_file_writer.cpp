#include "recording/indexed_file_writer.h"

#include "recording/record_bytes.h"

namespace recording {
namespace {

// Files roll over long before this; it only sizes the table allocated up front.
constexpr std::size_t kIndexCapacity = 20'000;

}  // namespace

IndexedFileWriter::IndexedFileWriter(std::uint32_t firstFrameOffset, const char* extension)
    : m_dwFirstFrameOffset(firstFrameOffset), m_szExtension(extension) {}

bool IndexedFileWriter::AllocateBuffer() {
    m_lpIndexTable.reserve(2 * kIndexCapacity);
    return true;
}

bool IndexedFileWriter::FreeBuffer() {
    std::vector<std::uint32_t>().swap(m_lpIndexTable);
    return true;
}

bool IndexedFileWriter::CreateFile(const std::filesystem::path& folder, const std::string& stem) {
    Close();
    m_fHeaderWritten = false;
    m_fWriteFailed = false;
    m_dwFrameNumber = 0;
    m_dwFileOffset = m_dwFirstFrameOffset;
    m_lpIndexTable.clear();
    return h_RecordFile.CreateUnique(folder, stem, m_szExtension);
}

bool IndexedFileWriter::Write(std::uint64_t offset,
                              std::initializer_list<std::span<const std::uint8_t>> parts) {
    if (m_fWriteFailed || !h_RecordFile.WriteAt(offset, parts)) {
        m_fWriteFailed = true;
        return false;
    }
    return true;
}

bool IndexedFileWriter::AppendFrame(std::span<const std::uint8_t> prefix,
                                    std::span<const std::uint8_t> frame, std::uint32_t indexWord) {
    if (!Write(m_dwFileOffset, {prefix, frame})) {
        return false;
    }
    m_lpIndexTable.push_back(m_dwFileOffset);
    m_lpIndexTable.push_back(indexWord);
    m_dwFileOffset += static_cast<std::uint32_t>(prefix.size() + frame.size());
    ++m_dwFrameNumber;
    return true;
}

bool IndexedFileWriter::WriteIndex() {
    std::vector<std::uint8_t> bytes(m_lpIndexTable.size() * 4 + 4);
    for (std::size_t i = 0; i < m_lpIndexTable.size(); ++i) {
        PutU32(&bytes[i * 4], m_lpIndexTable[i]);
    }
    PutU32(&bytes[bytes.size() - 4], m_dwFrameNumber);
    return Write(m_dwFileOffset, {bytes});
}

bool IndexedFileWriter::Close() {
    if (!IsOpen()) {
        return true;
    }
    const bool failedBefore = m_fWriteFailed;
    if (failedBefore) {
        // Drop a frame record that went out only in part; everything before it stays readable.
        m_fWriteFailed = !h_RecordFile.Truncate(m_dwFileOffset);
    }
    const bool ended = EnsureHeader() && RewriteClosingHeader() && WriteIndex();
    const bool closed = h_RecordFile.Close();
    m_dwFramesKept = m_dwFrameNumber;
    m_fHeaderWritten = false;
    m_dwFrameNumber = 0;
    m_dwFileOffset = 0;
    return !failedBefore && ended && closed;
}

bool IndexedFileWriter::Discard() {
    const bool failedBefore = m_fWriteFailed;
    const bool removed = h_RecordFile.Remove();
    m_fHeaderWritten = false;
    m_dwFrameNumber = 0;
    m_dwFileOffset = 0;
    return !failedBefore && removed;
}

}  // namespace recording
