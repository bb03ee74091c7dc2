#pragma once

// Record files (".qrn"): the alarm and manual recordings. An 80-byte header and a two-byte
// separator, one record per frame holding the compressed frame exactly as the device sent it,
// then the frame index and its entry count. All numbers little-endian.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "recording/indexed_file_writer.h"
#include "recording/pre_alarm_ring.h"
#include "recording/record_bytes.h"

namespace recording {

inline constexpr std::uint16_t kRecordFileMagic = 0x5158;
inline constexpr std::uint32_t kFirstFrameOffset = 82;
inline constexpr std::uint16_t kRecordSeparator = 0xFFFF;
inline constexpr std::uint32_t kRecordFieldBitmap = 0x000000FF;
inline constexpr std::uint8_t kRecordKindManual = 0;
inline constexpr std::uint8_t kRecordKindAlarm = 1;
inline constexpr std::size_t kUserNameField = 16;
inline constexpr const char* kRecordFileExtension = ".qrn";

struct RecordFileHeader {
    static constexpr std::size_t kSize = 80;

    std::uint16_t wMagic = kRecordFileMagic;
    std::uint16_t wFirstFrameOffset = kFirstFrameOffset;
    std::array<char, 4> szProduct{'5', '1', '8', 'R'};
    SystemTime stStartTime;
    std::uint32_t dwFirstTimeStamp = 0;
    std::uint32_t dwLastTimeStamp = 0;
    std::uint32_t dwFrameCount = 0;
    std::array<std::uint8_t, 4> abAddress{};
    std::uint16_t wVersion = 1;
    std::uint8_t byKind = kRecordKindManual;
    std::string strUserName;  // at most 16 characters, no terminator on disk

    std::array<std::uint8_t, kSize> Encode() const;
    static RecordFileHeader Decode(const std::uint8_t* in);
    friend bool operator==(const RecordFileHeader&, const RecordFileHeader&) = default;
};

// The 25 bytes in front of each frame.
struct RecordFrameRecord {
    static constexpr std::size_t kSize = 25;

    std::uint32_t dwFieldBitmap = kRecordFieldBitmap;
    std::uint32_t dwSequence = 0;  // 1 for the first frame of a file
    std::uint32_t dwLength = 0;    // frame bytes behind the record
    std::uint16_t wWidth = 0;
    std::uint16_t wHeight = 0;
    std::uint32_t dwTimeStamp = 0;
    std::uint8_t byChannel = 0;
    std::uint8_t byInfo17 = 0;
    std::uint8_t byFlags = 5;

    std::array<std::uint8_t, kSize> Encode() const;
    static RecordFrameRecord Decode(const std::uint8_t* in);
    // The bitmap and the end mark that every record written here carries.
    bool Plausible() const { return dwFieldBitmap == kRecordFieldBitmap; }
    friend bool operator==(const RecordFrameRecord&, const RecordFrameRecord&) = default;
};

// Writes the record files of the alarm and the user recorder; they differ only in the kind byte.
class RecordFileWriter : public IndexedFileWriter {
public:
    using Clock = SystemTime (*)();

    explicit RecordFileWriter(std::uint8_t kind, Clock clock = LocalSystemTimeNow);

    // Starts a new, empty file; the header names the device address and the user.
    bool Create(const std::filesystem::path& folder, const std::string& stem,
                const std::array<std::uint8_t, 4>& address, const std::string& userName);

    // Numbers the frame (1 for the first of the file) and appends its record; the header goes
    // first when it is not written yet.
    bool WriteFrame(PreAlarmFrameInfo info, const std::uint8_t* frame);

protected:
    // The header with count and time stamps 0 and the start time taken now, and the separator.
    bool WriteHeader() override;
    bool RewriteClosingHeader() override;

private:
    bool SetFirstFrameTime(std::uint32_t timeStamp);
    bool RewriteHeader(std::uint32_t frameCount, std::uint32_t lastTimeStamp);
    bool WriteHeaderBytes();

    Clock m_Clock;
    RecordFileHeader m_Header;
    std::uint32_t m_dwLastTimeStamp = 0;
};

struct RecordedFrame {
    std::uint32_t dwOffset = 0;
    RecordFrameRecord record;
};

// Reads a record file. Every index entry that points at a whole, plausible record gives a frame;
// damaged records are skipped. A file that was cut short (no index, or a broken one) is also read
// by walking its records from the first one by their length fields, as far as they are whole. A
// record counts as whole only when it ends where another record, the index or the file's records
// end: a length that runs into the next record or into the index never gives a frame.
class RecordFileReader {
public:
    RecordFileReader() = default;
    ~RecordFileReader();
    RecordFileReader(const RecordFileReader&) = delete;
    RecordFileReader& operator=(const RecordFileReader&) = delete;

    // False, with the reason in Error(), when the file is no record file, holds more frames
    // than there is memory for, or when `stop` was requested before the reading was done.
    bool Open(const std::filesystem::path& path, std::stop_token stop = {});
    const std::string& Error() const { return m_strError; }

    const RecordFileHeader& Header() const { return m_Header; }
    const std::vector<RecordedFrame>& Frames() const { return m_Frames; }
    // True when the file ends in an index that agrees with its records; false for a damaged file.
    bool Indexed() const { return m_fIndexed; }
    // Frames the file counted (its index, or the header of a file without one) that could not be
    // read back.
    std::size_t Skipped() const { return m_nSkipped; }
    // The frame bytes of frame i; empty when they cannot be read.
    std::vector<std::uint8_t> ReadFrame(std::size_t i);

private:
    bool Fail(std::string text);
    void Close();
    // Open once the file is open and sized.
    bool Read(const std::filesystem::path& path);
    // Whether the count at the end and the entries it makes the index begin and end with fit the
    // file; only a credible index is read.
    bool CredibleIndex(std::uint64_t indexStart, std::uint32_t count);
    // Reads through a window of the file: the reader looks at a few bytes per record, in file
    // order, and a system call for each would cost more than the rest of the reading.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size);
    // The records from the first one by their lengths, up to `end` or the first that is not
    // whole.
    std::vector<RecordedFrame> Walk(std::uint64_t end);
    // The records the index names that are whole.
    std::vector<RecordedFrame> FromIndex(std::uint64_t indexStart, std::uint32_t count);
    // The indexed frames with every walked one that overlaps none of them, in file order.
    static std::vector<RecordedFrame> Merge(const std::vector<RecordedFrame>& indexed,
                                            const std::vector<RecordedFrame>& walked);
    bool AtRecordBoundary(std::uint64_t at, std::uint64_t end);
    static bool Contiguous(const std::vector<RecordedFrame>& frames, std::uint64_t indexStart);

    int m_fd = -1;
    std::uint64_t m_qwFileSize = 0;
    std::vector<std::uint8_t> m_Window;
    std::uint64_t m_qwWindowStart = 0;
    std::stop_token m_Stop;
    std::string m_strError;
    RecordFileHeader m_Header;
    std::vector<RecordedFrame> m_Frames;
    bool m_fIndexed = false;
    std::size_t m_nSkipped = 0;
};

}  // namespace recording
