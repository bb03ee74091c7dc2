#include "recording/record_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "platform/file_gate.h"

namespace recording {
namespace {

constexpr std::array<std::uint8_t, 2> kSeparatorBytes{0xFF, 0xFF};

}  // namespace

std::array<std::uint8_t, RecordFileHeader::kSize> RecordFileHeader::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    PutU16(&b[0], wMagic);
    PutU16(&b[2], wFirstFrameOffset);
    std::memcpy(&b[4], szProduct.data(), szProduct.size());
    stStartTime.Encode(&b[24]);
    PutU32(&b[40], dwFirstTimeStamp);
    PutU32(&b[44], dwLastTimeStamp);
    PutU32(&b[48], dwFrameCount);
    std::copy(abAddress.begin(), abAddress.end(), &b[52]);
    PutU16(&b[56], wVersion);
    b[59] = byKind;
    std::memcpy(&b[60], strUserName.data(), std::min(strUserName.size(), kUserNameField));
    return b;
}

RecordFileHeader RecordFileHeader::Decode(const std::uint8_t* b) {
    RecordFileHeader h;
    h.wMagic = GetU16(&b[0]);
    h.wFirstFrameOffset = GetU16(&b[2]);
    std::memcpy(h.szProduct.data(), &b[4], h.szProduct.size());
    h.stStartTime = SystemTime::Decode(&b[24]);
    h.dwFirstTimeStamp = GetU32(&b[40]);
    h.dwLastTimeStamp = GetU32(&b[44]);
    h.dwFrameCount = GetU32(&b[48]);
    std::copy(&b[52], &b[56], h.abAddress.begin());
    h.wVersion = GetU16(&b[56]);
    h.byKind = b[59];
    const auto* name = reinterpret_cast<const char*>(&b[60]);
    h.strUserName.assign(name, std::find(name, name + kUserNameField, '\0'));
    return h;
}

std::array<std::uint8_t, RecordFrameRecord::kSize> RecordFrameRecord::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    PutU32(&b[4], dwSequence);
    PutU32(&b[8], dwLength);
    PutU16(&b[12], wWidth);
    PutU16(&b[14], wHeight);
    PutU32(&b[16], dwTimeStamp);
    b[20] = byChannel;
    b[21] = byInfo17;
    b[22] = byFlags;
    PutU16(&b[23], kRecordSeparator);
    // The bitmap says which fields above are present; it goes in last.
    PutU32(&b[0], dwFieldBitmap);
    return b;
}

RecordFrameRecord RecordFrameRecord::Decode(const std::uint8_t* b) {
    RecordFrameRecord r;
    r.dwFieldBitmap = GetU16(&b[23]) == kRecordSeparator ? GetU32(&b[0]) : 0;
    r.dwSequence = GetU32(&b[4]);
    r.dwLength = GetU32(&b[8]);
    r.wWidth = GetU16(&b[12]);
    r.wHeight = GetU16(&b[14]);
    r.dwTimeStamp = GetU32(&b[16]);
    r.byChannel = b[20];
    r.byInfo17 = b[21];
    r.byFlags = b[22];
    return r;
}

// --- Writer ---

RecordFileWriter::RecordFileWriter(std::uint8_t kind, Clock clock)
    : IndexedFileWriter(kFirstFrameOffset, kRecordFileExtension), m_Clock(clock) {
    m_Header.byKind = kind;
}

bool RecordFileWriter::Create(const std::filesystem::path& folder, const std::string& stem,
                              const std::array<std::uint8_t, 4>& address,
                              const std::string& userName) {
    const std::uint8_t kind = m_Header.byKind;
    m_Header = RecordFileHeader{};
    m_Header.byKind = kind;
    m_Header.abAddress = address;
    m_Header.strUserName = userName.substr(0, kUserNameField);
    m_dwLastTimeStamp = 0;
    return CreateFile(folder, stem);
}

bool RecordFileWriter::WriteHeaderBytes() {
    const auto header = m_Header.Encode();
    return Write(0, {header});
}

bool RecordFileWriter::WriteHeader() {
    m_Header.stStartTime = m_Clock();
    m_Header.dwFirstTimeStamp = m_Header.dwLastTimeStamp = m_Header.dwFrameCount = 0;
    const auto header = m_Header.Encode();
    m_fHeaderWritten = Write(0, {header, kSeparatorBytes});
    return m_fHeaderWritten;
}

bool RecordFileWriter::SetFirstFrameTime(std::uint32_t timeStamp) {
    m_Header.dwFirstTimeStamp = timeStamp;
    return WriteHeaderBytes();
}

bool RecordFileWriter::RewriteHeader(std::uint32_t frameCount, std::uint32_t lastTimeStamp) {
    m_Header.dwFrameCount = frameCount;
    m_Header.dwLastTimeStamp = lastTimeStamp;
    return WriteHeaderBytes();
}

bool RecordFileWriter::RewriteClosingHeader() {
    return RewriteHeader(m_dwFrameNumber, m_dwLastTimeStamp);
}

bool RecordFileWriter::WriteFrame(PreAlarmFrameInfo info, const std::uint8_t* frame) {
    if (!EnsureHeader()) {
        return false;
    }
    info.dwFrameNumber = m_dwFrameNumber + 1;
    if (info.dwFrameNumber == 1 && !SetFirstFrameTime(info.dwTimeStamp)) {
        return false;
    }
    RecordFrameRecord record;
    record.dwSequence = info.dwFrameNumber;
    record.dwLength = info.dwFrameSize;
    record.wWidth = info.wWidth;
    record.wHeight = info.wHeight;
    record.dwTimeStamp = info.dwTimeStamp;
    record.byChannel = info.byChannel;
    record.byInfo17 = info.byte17;
    const auto prefix = record.Encode();
    // Prefix and frame go out in one write from two places, so a frame as large as a ring slot
    // needs no build buffer of its size plus the prefix.
    if (!AppendFrame(prefix, std::span(frame, info.dwFrameSize), 0)) {
        return false;
    }
    m_dwLastTimeStamp = info.dwTimeStamp;
    return true;
}

// --- Reader ---

namespace {

// Enough for a few thousand small records, and far less than any frame the devices send.
constexpr std::size_t kReadWindow = 64 * 1024;
// The least a frame the index names takes of the file: its entry and its record's prefix.
constexpr std::uint64_t kLeastIndexedFrame = kIndexEntrySize + RecordFrameRecord::kSize;

// The index a piece at a time: a count the file has room for may still name far more entries
// than are worth holding at once. The pieces are not read through the records' window, which
// would then move between the index and the records at every frame.
class IndexPieces {
public:
    IndexPieces(int fd, std::uint64_t start, std::uint32_t count)
        : m_fd(fd), m_qwStart(start), m_nCount(count) {}

    // The record offset entry k names; the entries are asked for in rising order.
    std::optional<std::uint32_t> Offset(std::uint32_t k) {
        if (k < m_nFirst || k - m_nFirst >= m_nHave) {
            m_nFirst = k;
            m_nHave = std::min<std::uint32_t>(kReadWindow / kIndexEntrySize, m_nCount - k);
            m_Piece.resize(std::size_t{m_nHave} * kIndexEntrySize);
            if (!platform::ReadAllAt(m_fd, m_qwStart + std::uint64_t{k} * kIndexEntrySize,
                                     m_Piece.data(), m_Piece.size())) {
                m_nHave = 0;
                return std::nullopt;
            }
        }
        return GetU32(&m_Piece[std::size_t{k - m_nFirst} * kIndexEntrySize]);
    }

private:
    int m_fd;
    std::uint64_t m_qwStart;
    std::uint32_t m_nCount;
    std::vector<std::uint8_t> m_Piece;
    std::uint32_t m_nFirst = 0;
    std::uint32_t m_nHave = 0;
};

std::uint64_t EndOf(const RecordedFrame& f) {
    return std::uint64_t{f.dwOffset} + RecordFrameRecord::kSize + f.record.dwLength;
}

}  // namespace

RecordFileReader::~RecordFileReader() {
    Close();
}

void RecordFileReader::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_Window.clear();
    m_qwWindowStart = 0;
}

bool RecordFileReader::Fail(std::string text) {
    m_strError = std::move(text);
    return false;
}

bool RecordFileReader::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    if (size > kReadWindow) {
        return platform::ReadAllAt(m_fd, offset, out, size);
    }
    if (offset < m_qwWindowStart || offset + size > m_qwWindowStart + m_Window.size()) {
        const auto have = static_cast<std::size_t>(
            std::min<std::uint64_t>(kReadWindow, m_qwFileSize - std::min(offset, m_qwFileSize)));
        m_Window.resize(have);
        m_qwWindowStart = offset;
        if (!platform::ReadAllAt(m_fd, offset, m_Window.data(), have)) {
            m_Window.clear();
            return false;
        }
        if (size > have) {
            return false;
        }
    }
    std::copy_n(m_Window.begin() + static_cast<std::ptrdiff_t>(offset - m_qwWindowStart), size,
                out);
    return true;
}

bool RecordFileReader::Open(const std::filesystem::path& path, std::stop_token stop) {
    Close();
    m_Frames.clear();
    m_fIndexed = false;
    m_nSkipped = 0;
    m_Stop = std::move(stop);
    // The gate opens the file: only a regular file, by the link rule, never waiting on a FIFO.
    const platform::OpenedFile opened = platform::OpenFileForReading(path);
    if (opened.fd < 0) {
        return Fail("cannot open " + path.string() + ": it " + opened.status.Describe());
    }
    m_fd = opened.fd;
    struct stat info {};
    const bool sized = ::fstat(m_fd, &info) == 0;
    m_qwFileSize = sized ? static_cast<std::uint64_t>(info.st_size) : 0;
    if (!sized) {
        return Fail("cannot open " + path.string());
    }
    // What the frames need in memory grows with what the file holds; a file holding more than
    // there is room for is as unplayable as a damaged one.
    try {
        return Read(path);
    } catch (const std::bad_alloc&) {
        return Fail(path.string() + " holds more frames than there is memory for");
    }
}

bool RecordFileReader::Read(const std::filesystem::path& path) {
    std::array<std::uint8_t, RecordFileHeader::kSize + 2> head{};
    if (!ReadAt(0, head.data(), head.size())) {
        return Fail(path.string() + " is too short for a record file");
    }
    m_Header = RecordFileHeader::Decode(head.data());
    if (m_Header.wMagic != kRecordFileMagic || m_Header.wFirstFrameOffset != kFirstFrameOffset ||
        GetU16(&head[RecordFileHeader::kSize]) != kRecordSeparator) {
        return Fail(path.string() + " is not a record file");
    }
    // The index at the end names every record; a damaged record costs only its own frame. The
    // count is whatever four bytes ended the file, so the index is read only once it is credible:
    // the file has room for its entries and their records, and the entries it begins and ends
    // with lie where the records are.
    std::vector<RecordedFrame> indexed;
    std::uint32_t count = 0;
    std::uint64_t indexStart = 0;
    bool credible = false;
    std::array<std::uint8_t, 4> countBytes{};
    if (m_qwFileSize >= kFirstFrameOffset + 4 && ReadAt(m_qwFileSize - 4, countBytes.data(), 4)) {
        count = GetU32(countBytes.data());
        if (count <= (m_qwFileSize - kFirstFrameOffset - 4) / kLeastIndexedFrame) {
            indexStart = m_qwFileSize - 4 - std::uint64_t{count} * kIndexEntrySize;
            credible = CredibleIndex(indexStart, count);
        }
    }
    if (credible) {
        indexed = FromIndex(indexStart, count);
        m_fIndexed = indexed.size() == count && Contiguous(indexed, indexStart);
    }
    if (m_fIndexed) {
        m_Frames = std::move(indexed);
        return true;
    }
    // Otherwise the records are also walked by their lengths (a file cut short has no index, a
    // damaged index misses records that are whole), and every record that either way proves
    // whole is played. Where the two disagree the index wins: the walk stops at the first
    // damaged record, and a record it took there may hold a piece of the next.
    const std::vector<RecordedFrame> walked = Walk(credible ? indexStart : m_qwFileSize);
    if (m_Stop.stop_requested()) {
        m_Frames.clear();
        return Fail("reading " + path.string() + " was stopped");
    }
    m_Frames = Merge(indexed, walked);
    // A lost frame is one the index, or for a file without one the header, counted.
    const std::uint64_t expected = credible ? count : m_Header.dwFrameCount;
    m_nSkipped = expected > m_Frames.size() ? expected - m_Frames.size() : 0;
    return true;
}

// Every index names the first record first. Its last entry names a record that begins after the
// records of all the entries before it, at least a record's prefix each, and ends by the index.
bool RecordFileReader::CredibleIndex(std::uint64_t indexStart, std::uint32_t count) {
    if (count == 0) {
        return indexStart == kFirstFrameOffset;
    }
    std::array<std::uint8_t, 4> first{};
    std::array<std::uint8_t, 4> last{};
    if (!ReadAt(indexStart, first.data(), first.size()) ||
        !ReadAt(indexStart + std::uint64_t{count - 1} * kIndexEntrySize, last.data(),
                last.size())) {
        return false;
    }
    const std::uint64_t lastOffset = GetU32(last.data());
    return GetU32(first.data()) == kFirstFrameOffset &&
           lastOffset >= kFirstFrameOffset + std::uint64_t{count - 1} * RecordFrameRecord::kSize &&
           lastOffset + RecordFrameRecord::kSize <= indexStart;
}

// Both lists are in file order and neither overlaps itself: an indexed record is taken only
// after the end of the one before it, and the walk goes from one record's end to the next. So
// the first indexed frame that ends after a walked one begins is the only one that can overlap
// it, and one pass over both lists decides every frame.
std::vector<RecordedFrame> RecordFileReader::Merge(const std::vector<RecordedFrame>& indexed,
                                                   const std::vector<RecordedFrame>& walked) {
    std::vector<RecordedFrame> merged;
    merged.reserve(indexed.size() + walked.size());
    auto known = indexed.begin();
    for (const RecordedFrame& frame : walked) {
        for (; known != indexed.end() && EndOf(*known) <= frame.dwOffset; ++known) {
            merged.push_back(*known);
        }
        if (known == indexed.end() || known->dwOffset >= EndOf(frame)) {
            merged.push_back(frame);
        }
    }
    merged.insert(merged.end(), known, indexed.end());
    return merged;
}

std::vector<RecordedFrame> RecordFileReader::Walk(std::uint64_t end) {
    std::vector<RecordedFrame> frames;
    std::uint64_t offset = kFirstFrameOffset;
    std::array<std::uint8_t, RecordFrameRecord::kSize> prefix{};
    // A frame's offset is kept, as the index keeps it, in 32 bits: a record beyond them is no
    // longer one of this file's frames.
    while (offset <= std::numeric_limits<std::uint32_t>::max() &&
           offset + RecordFrameRecord::kSize <= end && !m_Stop.stop_requested() &&
           ReadAt(offset, prefix.data(), prefix.size())) {
        const RecordFrameRecord record = RecordFrameRecord::Decode(prefix.data());
        const std::uint64_t next = offset + RecordFrameRecord::kSize + record.dwLength;
        if (!record.Plausible() || next > end || !AtRecordBoundary(next, end)) {
            break;
        }
        frames.push_back({static_cast<std::uint32_t>(offset), record});
        offset = next;
    }
    return frames;
}

std::vector<RecordedFrame> RecordFileReader::FromIndex(std::uint64_t indexStart,
                                                       std::uint32_t count) {
    IndexPieces index(m_fd, indexStart, count);
    std::vector<RecordedFrame> frames;
    std::array<std::uint8_t, RecordFrameRecord::kSize> prefix{};
    std::optional<std::uint32_t> entry = count > 0 ? index.Offset(0) : std::nullopt;
    for (std::uint32_t k = 0; entry && !m_Stop.stop_requested(); ++k) {
        const std::uint64_t offset = *entry;
        entry = k + 1 < count ? index.Offset(k + 1) : std::nullopt;
        const std::uint64_t next = entry ? std::uint64_t{*entry} : indexStart;
        const bool after = frames.empty() || offset >= EndOf(frames.back());
        if (!after || offset < kFirstFrameOffset ||
            offset + RecordFrameRecord::kSize > indexStart ||
            !ReadAt(offset, prefix.data(), prefix.size())) {
            continue;
        }
        const RecordFrameRecord record = RecordFrameRecord::Decode(prefix.data());
        const std::uint64_t end = offset + RecordFrameRecord::kSize + record.dwLength;
        // A length that runs over the whole next record still ends at a record: but the record
        // the index names next, when it is one, sits inside this one.
        std::array<std::uint8_t, RecordFrameRecord::kSize> nextPrefix{};
        const bool swallowsNext = next > offset && next < end && next <= indexStart &&
                                  ReadAt(next, nextPrefix.data(), nextPrefix.size()) &&
                                  RecordFrameRecord::Decode(nextPrefix.data()).Plausible();
        if (record.Plausible() && end <= indexStart && !swallowsNext &&
            (end == next || AtRecordBoundary(end, indexStart))) {
            frames.push_back({static_cast<std::uint32_t>(offset), record});
        }
    }
    return frames;
}

// A whole record ends where its records end (the index, or the end of a file cut short), where
// the next record begins (its field bitmap or its end mark still in place, however damaged the
// rest), or where an index begins (its first entry names the first record). A damaged length
// lands anywhere else: inside a frame, inside the index. Near the end of a file cut short only
// the bytes still there can be compared.
bool RecordFileReader::AtRecordBoundary(std::uint64_t at, std::uint64_t end) {
    if (at == end) {
        return true;
    }
    std::array<std::uint8_t, RecordFrameRecord::kSize> next{};
    const auto have = static_cast<std::size_t>(std::min<std::uint64_t>(end - at, next.size()));
    if (!ReadAt(at, next.data(), have)) {
        return false;
    }
    const std::array<std::uint8_t, kIndexEntrySize> indexEntry{
        kFirstFrameOffset, 0, 0, 0, 0, 0, 0, 0};
    const std::array<std::uint8_t, 4> bitmap{0xFF, 0, 0, 0};
    const auto startsLike = [&](std::span<const std::uint8_t> mark) {
        return std::equal(next.begin(), next.begin() + std::min(have, mark.size()), mark.begin());
    };
    if (have < next.size()) {
        return startsLike(bitmap) || startsLike(indexEntry);
    }
    return startsLike(bitmap) || GetU16(&next[23]) == kRecordSeparator || startsLike(indexEntry);
}

bool RecordFileReader::Contiguous(const std::vector<RecordedFrame>& frames,
                                  std::uint64_t indexStart) {
    std::uint64_t expected = kFirstFrameOffset;
    for (const RecordedFrame& frame : frames) {
        if (frame.dwOffset != expected) {
            return false;
        }
        expected += RecordFrameRecord::kSize + frame.record.dwLength;
    }
    return expected == indexStart;
}

std::vector<std::uint8_t> RecordFileReader::ReadFrame(std::size_t i) {
    if (i >= m_Frames.size() || m_fd < 0) {
        return {};
    }
    // A frame the length of a whole file may not fit in memory: then it cannot be shown.
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(m_Frames[i].record.dwLength);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!platform::ReadAllAt(m_fd, m_Frames[i].dwOffset + RecordFrameRecord::kSize, bytes.data(),
                             bytes.size())) {
        return {};
    }
    return bytes;
}

}  // namespace recording
