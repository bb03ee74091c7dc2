#pragma once

// Schedule record files (".qr4"): a 96-byte header, then per frame its 56-byte frame record and
// the frame bytes, then the index (offset and frame type of each frame) and its count.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "recording/indexed_file_writer.h"
#include "recording/pre_alarm_ring.h"
#include "recording/record_bytes.h"

namespace recording {

inline constexpr std::uint32_t kScheduleMagicMode0 = 0x01234567;
inline constexpr std::uint32_t kScheduleMagicMode4 = 0x89ABCDEF;
inline constexpr std::uint8_t kScheduleHeaderMode = 3;
inline constexpr const char* kScheduleFileExtension = ".qr4";

// The schedule file's header; the other recorders keep a block of the same layout that the
// frame push fills from the first frame of each file.
struct ScheduleRecordHeader {
    static constexpr std::size_t kSize = 96;

    std::uint32_t dwFrameCount = 0;
    std::uint32_t dwStartSeconds = 0;  // tick count / 1,000 at the first write
    std::uint32_t dwLastSeconds = 0;   // the same at closing
    std::array<std::uint8_t, 4> abAddress{};
    std::uint8_t byFirstFrameByte16 = 0;
    std::uint8_t byMode = 0;
    SystemTime stCaptureTime;  // of the first frame
    std::uint32_t dwMagic = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static ScheduleRecordHeader Decode(const std::uint8_t* in);
    friend bool operator==(const ScheduleRecordHeader&, const ScheduleRecordHeader&) = default;
};

class ScheduleFileWriter : public IndexedFileWriter {
public:
    using SecondsClock = std::uint32_t (*)();

    // `block` is the recorder's header block, which the frame push fills from the first frame.
    explicit ScheduleFileWriter(const ScheduleRecordHeader& block, SecondsClock clock);

    bool Create(const std::filesystem::path& folder, const std::string& stem);
    // Numbers the frame's record and appends it with the frame; the header goes first.
    bool WriteFrame(PreAlarmFrameInfo info, const std::uint8_t* frame, std::uint32_t frameType);

protected:
    bool WriteHeader() override;
    bool RewriteClosingHeader() override;

private:
    bool WriteHeaderBytes();

    const ScheduleRecordHeader& m_Block;
    SecondsClock m_Clock;
    ScheduleRecordHeader m_Header;
};

// The tick count in whole seconds.
std::uint32_t TickSeconds();

}  // namespace recording
