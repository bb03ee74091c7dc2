#include "video/stream_packet_header.h"

#include <algorithm>
#include <cstring>

#include "kernel/kernel_object.h"
#include "ui/message_ids.h"

namespace StreamPacketHeader {

std::size_t Length(std::uint32_t presence) {
    std::size_t length = kBitmapSize;
    for (std::size_t bit = 0; bit < kFieldSizes.size(); ++bit) {
        if (presence & (1u << bit)) {
            length += kFieldSizes[bit];
        }
    }
    return length;
}

}  // namespace StreamPacketHeader

namespace {

constexpr std::uint32_t kMasterTypeWithAlarms = 19;
constexpr ui::LPARAM kAlarmBegan = 0;
constexpr ui::LPARAM kAlarmEnded = 2;

std::uint32_t ReadLittleEndian(const std::uint8_t* p, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

}  // namespace

namespace StreamPacketHeader {

std::uint32_t PayloadLength(const std::uint8_t* header) {
    // The payload length is the first field, so it sits right behind the bitmap.
    return ReadLittleEndian(header, kBitmapSize) & kPayloadLength
               ? ReadLittleEndian(header + kBitmapSize, kFieldSizes[0])
               : 0;
}

}  // namespace StreamPacketHeader

std::uint32_t IsJpegFrame(const std::uint8_t* bytes, std::size_t /*length*/) {
    return std::equal(kJpegFrameStart.begin(), kJpegFrameStart.end(), bytes) ? 1 : 0;
}

std::string HUText(const PacketInfo& info) {
    return std::string(info.szHUText, strnlen(info.szHUText, sizeof info.szHUText));
}

std::uint32_t PacketHeaderParser::Parse(const std::uint8_t* header, std::uint32_t* headerLength,
                                        PacketInfo* info) {
    namespace H = StreamPacketHeader;
    KernelObject& app = *g_lpApp;
    PacketInfo packet;
    packet.dwPresence = ReadLittleEndian(header, H::kBitmapSize);
    const std::uint8_t* p = header + H::kBitmapSize;
    const auto field = [&](std::uint32_t bit) {
        const std::uint8_t* at = p;
        p += H::kFieldSizes[static_cast<std::size_t>(__builtin_ctz(bit))];
        return at;
    };
    const bool alarmSoundOff = app.m_fAlarmSoundOn == 0;
    bool alarmBegan = false;
    bool alarmEnded = false;
    bool recordAlarm = false;

    if (packet.dwPresence & H::kPayloadLength) {
        packet.dwPayloadLength = ReadLittleEndian(field(H::kPayloadLength), 4);
    }
    if (packet.dwPresence & H::kHUText) {
        std::memcpy(packet.szHUText, field(H::kHUText), sizeof packet.szHUText);
    }
    if (packet.dwPresence & H::kRetrState) {
        app.m_DeviceList.SetRetrState(*field(H::kRetrState));
    }
    if (packet.dwPresence & H::kBit3Byte) {
        packet.byBit3Value = *field(H::kBit3Byte);
    }
    if (packet.dwPresence & H::kBit4Byte) {
        packet.byBit4Value = *field(H::kBit4Byte);
    }
    if (packet.dwPresence & H::kTimeStamp) {
        packet.dwTimeStamp = ReadLittleEndian(field(H::kTimeStamp), 4) * 5u;
    }
    if (packet.dwPresence & H::kBit6Byte) {
        packet.byBit6Value = *field(H::kBit6Byte);
    }
    struct AlarmField {
        std::uint32_t bit;
        std::uint32_t kind;
        std::uint16_t PacketInfo::*word;
        bool soundNeedsRecordSwitch;
    };
    static constexpr AlarmField kAlarmFields[] = {
        {H::kAlarm1, kAlarmKind1, &PacketInfo::wAlarm1, false},
        {H::kAlarm2, kAlarmKind2, &PacketInfo::wAlarm2, true},
        {H::kAlarm3, kAlarmKind3, &PacketInfo::wAlarm3, true},
    };
    // After the header's own R.E.T.R. state.
    const bool triggerRecord = app.m_DeviceList.AlarmTriggerRecordOn();
    for (const AlarmField& alarm : kAlarmFields) {
        if (packet.dwPresence & alarm.bit) {
            const auto word = static_cast<std::uint16_t>(ReadLittleEndian(field(alarm.bit), 2));
            packet.*alarm.word = word;
            alarmBegan |= alarmSoundOff && (!alarm.soundNeedsRecordSwitch || triggerRecord);
            m_dwAlarmKind = alarm.kind;
            m_wAlarmData = word;
            recordAlarm |= word != 0 && triggerRecord;
        } else if (m_dwAlarmKind == alarm.kind) {
            m_dwAlarmKind = 0;
            alarmEnded = true;
        }
    }
    if (packet.dwPresence & H::kBackupNotice) {
        if (MainWindowLink* window = app.m_pMainDialog.load()) {
            window->ShowStatusText(kBackupNoticeText);
        }
    }
    packet.dwHeaderLength = static_cast<std::uint32_t>(p - header);
    *headerLength = packet.dwHeaderLength;
    *info = packet;
    {
        std::lock_guard lock(m_mutex);
        m_PacketInfo = packet;
    }

    if (app.m_DeviceList.GetMasterType() != kMasterTypeWithAlarms) {
        return 1;
    }
    if (alarmSoundOff && alarmBegan) {
        ui::PostMessage(app.h_MainDialogHandle, ui::WM_POSTALARMAUDIO, 0, kAlarmBegan);
    } else if (alarmEnded) {
        ui::PostMessage(app.h_MainDialogHandle, ui::WM_POSTALARMAUDIO, 0, kAlarmEnded);
    }
    if (RecordingLink* recording = app.m_pRecording.load()) {
        const bool pending = recording->AlarmItemPending();
        if (recordAlarm && !pending) {
            recording->StartAlarmRecord(app.CSettingINI.m_strRecordPath);
        } else if (!recordAlarm && pending) {
            recording->StopAlarmRecord();
        }
    }
    return 1;
}

std::uint32_t PacketHeaderParser::ClearAlarmFlag() {
    return m_wAlarmData.exchange(0) != 0 ? 1 : 0;
}

PacketInfo PacketHeaderParser::CurrentPacket() const {
    std::lock_guard lock(m_mutex);
    return m_PacketInfo;
}

std::string PacketHeaderParser::CurrentHUText() const {
    std::lock_guard lock(m_mutex);
    return HUText(m_PacketInfo);
}
