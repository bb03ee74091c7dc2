#include "recording/schedule_file.h"

#include <algorithm>

#include "platform/clock.h"

namespace recording {

std::array<std::uint8_t, ScheduleRecordHeader::kSize> ScheduleRecordHeader::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    PutU32(&b[0], dwFrameCount);
    PutU32(&b[4], dwStartSeconds);
    PutU32(&b[8], dwLastSeconds);
    std::copy(abAddress.begin(), abAddress.end(), &b[12]);
    b[16] = byFirstFrameByte16;
    b[17] = byMode;
    stCaptureTime.Encode(&b[48]);
    PutU32(&b[68], dwMagic);
    return b;
}

ScheduleRecordHeader ScheduleRecordHeader::Decode(const std::uint8_t* b) {
    ScheduleRecordHeader h;
    h.dwFrameCount = GetU32(&b[0]);
    h.dwStartSeconds = GetU32(&b[4]);
    h.dwLastSeconds = GetU32(&b[8]);
    std::copy(&b[12], &b[16], h.abAddress.begin());
    h.byFirstFrameByte16 = b[16];
    h.byMode = b[17];
    h.stCaptureTime = SystemTime::Decode(&b[48]);
    h.dwMagic = GetU32(&b[68]);
    return h;
}

std::uint32_t TickSeconds() {
    return platform::GetTickCount() / 1'000;
}

ScheduleFileWriter::ScheduleFileWriter(const ScheduleRecordHeader& block, SecondsClock clock)
    : IndexedFileWriter(ScheduleRecordHeader::kSize, kScheduleFileExtension),
      m_Block(block),
      m_Clock(clock) {}

bool ScheduleFileWriter::Create(const std::filesystem::path& folder, const std::string& stem) {
    return CreateFile(folder, stem);
}

bool ScheduleFileWriter::WriteHeaderBytes() {
    const auto header = m_Header.Encode();
    return Write(0, {header});
}

bool ScheduleFileWriter::WriteHeader() {
    m_Header = m_Block;
    m_Header.dwFrameCount = 0;
    m_Header.byMode = kScheduleHeaderMode;
    m_Header.dwStartSeconds = m_Header.dwLastSeconds = m_Clock();
    m_fHeaderWritten = WriteHeaderBytes();
    return m_fHeaderWritten;
}

bool ScheduleFileWriter::RewriteClosingHeader() {
    m_Header.dwFrameCount = m_dwFrameNumber;
    m_Header.dwLastSeconds = m_Clock();
    return WriteHeaderBytes();
}

bool ScheduleFileWriter::WriteFrame(PreAlarmFrameInfo info, const std::uint8_t* frame,
                                    std::uint32_t frameType) {
    if (!EnsureHeader()) {
        return false;
    }
    info.dwFrameNumber = m_dwFrameNumber + 1;
    const auto record = info.Encode();
    return AppendFrame(record, std::span(frame, info.dwFrameSize), frameType);
}

}  // namespace recording
