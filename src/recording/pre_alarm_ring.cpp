#include "recording/pre_alarm_ring.h"

#include <cstring>
#include <new>

namespace recording {
namespace {

constexpr std::size_t kSpareEntrySize = 8;

template <typename Block>
void AllocateIfMissing(Block& block, std::size_t bytes) {
    if (!block) {
        block.reset(new (std::nothrow) std::uint8_t[bytes]());
    }
}

}  // namespace

std::array<std::uint8_t, PreAlarmFrameInfo::kSize> PreAlarmFrameInfo::Encode() const {
    std::array<std::uint8_t, kSize> b{};
    PutU32(&b[0], dwFrameNumber);
    PutU32(&b[4], dwFrameSize);
    PutU32(&b[12], dwMagic);
    b[16] = byte16;
    b[17] = byte17;
    b[18] = byChannel;
    stCaptureTime.Encode(&b[24]);
    PutU32(&b[48], dwTimeStamp);
    PutU16(&b[52], wWidth);
    PutU16(&b[54], wHeight);
    return b;
}

PreAlarmFrameInfo PreAlarmFrameInfo::Decode(const std::uint8_t* b) {
    PreAlarmFrameInfo info;
    info.dwFrameNumber = GetU32(&b[0]);
    info.dwFrameSize = GetU32(&b[4]);
    info.dwMagic = GetU32(&b[12]);
    info.byte16 = b[16];
    info.byte17 = b[17];
    info.byChannel = b[18];
    info.stCaptureTime = SystemTime::Decode(&b[24]);
    info.dwTimeStamp = GetU32(&b[48]);
    info.wWidth = GetU16(&b[52]);
    info.wHeight = GetU16(&b[54]);
    return info;
}

bool CPreAlarmRing::AllocateBuffer() {
    AllocateIfMissing(m_lpFrameBuffer, std::size_t{kPreAlarmSlotCount} * kPreAlarmSlotSize);
    AllocateIfMissing(m_lpFrameInfo, kPreAlarmSlotCount * PreAlarmFrameInfo::kSize);
    AllocateIfMissing(m_lpSpareTable, kPreAlarmSlotCount * kSpareEntrySize);
    return Allocated();
}

bool CPreAlarmRing::FreeBuffer() {
    m_lpFrameInfo.reset();
    m_lpSpareTable.reset();
    m_lpFrameBuffer.reset();
    return true;
}

std::uint16_t CPreAlarmRing::Put(const std::uint8_t* frame, const PreAlarmFrameInfo& info,
                                 std::uint32_t frameType) {
    const std::uint16_t slot = m_wWriteIndex;
    std::memcpy(m_lpFrameBuffer.get() + std::size_t{slot} * kPreAlarmSlotSize, frame,
                info.dwFrameSize);
    const auto record = info.Encode();
    std::memcpy(m_lpFrameInfo.get() + slot * PreAlarmFrameInfo::kSize, record.data(),
                record.size());
    std::uint8_t* spare = m_lpSpareTable.get() + slot * kSpareEntrySize;
    PutU32(spare, 0);
    PutU32(spare + 4, frameType);
    m_wWriteIndex = static_cast<std::uint16_t>((slot + 1) % kPreAlarmSlotCount);
    return slot;
}

PreAlarmFrameInfo CPreAlarmRing::Info(std::uint16_t slot) const {
    return PreAlarmFrameInfo::Decode(m_lpFrameInfo.get() + slot * PreAlarmFrameInfo::kSize);
}

std::uint32_t CPreAlarmRing::FrameType(std::uint16_t slot) const {
    return GetU32(m_lpSpareTable.get() + slot * kSpareEntrySize + 4);
}

}  // namespace recording
