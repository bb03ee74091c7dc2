#include <gtest/gtest.h>

#include <vector>

#include "kernel/kernel_object.h"
#include "test_support/fake_main_window.h"
#include "ui/message_ids.h"
#include "video/stream_packet_header.h"

namespace {

using test_support::EventLog;
namespace H = StreamPacketHeader;

class AlarmWindow : public test_support::FakeMainWindow {
public:
    explicit AlarmWindow(EventLog& log) : FakeMainWindow(log), m_log(log) {}
    bool OnMessage(std::uint32_t msg, ui::WPARAM, ui::LPARAM lParam) override {
        m_log.Add("Message " + std::to_string(msg) + " " + std::to_string(lParam));
        return true;
    }

private:
    EventLog& m_log;
};

class Recorder : public RecordingLink {
public:
    explicit Recorder(EventLog& log) : m_log(log) {}
    std::uint32_t PushPreAlarmFrame(const std::uint8_t*, std::uint32_t, std::uint32_t) override {
        return 1;
    }
    bool AlarmItemPending() const override { return pending; }
    std::uint32_t StartAlarmRecord(const std::string&) override {
        pending = true;
        m_log.Add("Start");
        return 1;
    }
    std::uint32_t StopAlarmRecord() override {
        pending = false;
        m_log.Add("Stop");
        return 1;
    }
    bool ResumeUserRecord() override { return false; }
    bool pending = false;

private:
    EventLog& m_log;
};

// A header of the given bits with the field bytes in order.
std::vector<std::uint8_t> Header(std::uint32_t presence, std::vector<std::uint8_t> fields = {}) {
    std::vector<std::uint8_t> out = {
        static_cast<std::uint8_t>(presence), static_cast<std::uint8_t>(presence >> 8),
        static_cast<std::uint8_t>(presence >> 16), static_cast<std::uint8_t>(presence >> 24)};
    out.insert(out.end(), fields.begin(), fields.end());
    return out;
}

class Parser : public ::testing::Test {
protected:
    Parser() {
        g_lpApp = new KernelObject;
        // Alarms record only while R.E.T.R. is on, with the switch every settings load sets.
        g_lpApp->CSettingINI.m_bRetrAlarmRecord = 1;
        g_lpApp->m_DeviceList.SetRetrState(1);
        g_lpApp->m_pMainDialog = &window;
        g_lpApp->h_MainDialogHandle = window.Handle();
        g_lpApp->m_pRecording = &recorder;
        g_lpApp->m_DeviceList.Add(0, 1, KLM300_DVR, CDeviceList::kMasterKind);
    }
    ~Parser() override {
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    PacketInfo Parse(const std::vector<std::uint8_t>& header) {
        EXPECT_EQ(header.size(), H::Length(header[0] | header[1] << 8));
        PacketInfo info;
        std::uint32_t length = 0;
        EXPECT_EQ(parser.Parse(header.data(), &length, &info), 1u);
        EXPECT_EQ(length, header.size());
        ui::ProcessPostedMessages();
        return info;
    }

    EventLog log;
    AlarmWindow window{log};
    Recorder recorder{log};
    PacketHeaderParser parser;
};

TEST(StreamPacketHeader, LengthCountsThePresentFieldsOnly) {
    EXPECT_EQ(H::Length(0), 4u);
    EXPECT_EQ(H::Length(H::kPayloadLength), 8u);
    EXPECT_EQ(H::Length(0x7FF), H::kMaxLength);
    EXPECT_EQ(H::Length(0xFFFFF800 | H::kBackupNotice), 4u);  // bits without data
}

TEST(StreamPacketHeader, PayloadLengthIsTheFieldOfBitZero) {
    EXPECT_EQ(H::PayloadLength(Header(H::kPayloadLength, {0x10, 0x27, 0, 0}).data()), 10'000u);
    EXPECT_EQ(H::PayloadLength(Header(H::kHUText, std::vector<std::uint8_t>(16, 'A')).data()), 0u);
}

TEST_F(Parser, FieldsLandInTheRecordInBitOrder) {
    const PacketInfo info =
        Parse(Header(0x7B | H::kAlarm3, {0x10, 0x27, 0,   0,  // payload 10,000
                                         'A',  'B',  'C', 'D',  'E', 'F', 'G', 'H', 'I',
                                         'J',  'K',  'L', 'M',  'N', 'O', 'P',  // 16 characters
                                         0x33,                                  // bit 3
                                         0x44,                                  // bit 4
                                         0,    0,    0,   0x40,                 // time stamp
                                         7,                                     // bit 6
                                         0x02, 0x01}));                         // alarm word 3
    EXPECT_EQ(info.dwPayloadLength, 10'000u);
    EXPECT_EQ(HUText(info), "ABCDEFGHIJKLMNOP");  // unterminated: read to the field's end
    EXPECT_EQ(info.byBit3Value, 0x33);
    EXPECT_EQ(info.byBit4Value, 0x44);
    EXPECT_EQ(info.dwTimeStamp, 0x40000000u);  // x 5, modulo 2^32
    EXPECT_EQ(info.byBit6Value, 7);
    EXPECT_EQ(info.wAlarm3, 0x0102);
    EXPECT_EQ(info.dwHeaderLength, 33u);
    EXPECT_EQ(parser.CurrentHUText(), "ABCDEFGHIJKLMNOP");
}

TEST_F(Parser, AlarmKindsBeginAndEndWithTheirBits) {
    g_lpApp->CSettingINI.m_bAlarmTriggerRecord = 1;
    Parse(Header(H::kAlarm1 | H::kAlarm2, {1, 0, 2, 0}));
    EXPECT_EQ(parser.m_wAlarmData, 2);
    EXPECT_EQ(parser.m_dwAlarmKind, PacketHeaderParser::kAlarmKind2);
    EXPECT_EQ(log.Count("Message 1026 0"), 1);
    EXPECT_EQ(log.Count("Start"), 1);

    Parse(Header(H::kAlarm1, {0, 0}));  // the word is 0: no recording, no end either
    EXPECT_EQ(parser.m_dwAlarmKind, PacketHeaderParser::kAlarmKind1);
    EXPECT_EQ(log.Count("Message 1026 2"), 0);
    EXPECT_EQ(log.Count("Stop"), 1);

    Parse(Header(H::kPayloadLength, {0, 0, 0, 0}));
    EXPECT_EQ(parser.m_dwAlarmKind, 0u);
    EXPECT_EQ(log.Count("Message 1026 2"), 1);
    EXPECT_EQ(parser.ClearAlarmFlag(), 0u);  // the last word was 0
}

TEST_F(Parser, SecondKindStartsTheSoundOnlyWithAlarmTriggerRecord) {
    Parse(Header(H::kAlarm2, {5, 0}));
    EXPECT_EQ(log.Count("Message 1026 0"), 0);
    EXPECT_EQ(log.Count("Start"), 0);
    EXPECT_EQ(parser.ClearAlarmFlag(), 1u);
    EXPECT_EQ(parser.m_wAlarmData, 0);
}

TEST_F(Parser, OtherDeviceTypesKeepTheRecordButPostNothing) {
    g_lpApp->m_DeviceList.Clear();
    g_lpApp->m_DeviceList.Add(0, 1, DVR_4CH_FULL, CDeviceList::kMasterKind);
    g_lpApp->CSettingINI.m_bAlarmTriggerRecord = 1;
    const PacketInfo info = Parse(Header(H::kAlarm1, {9, 0}));
    Parse(Header(0));
    EXPECT_EQ(info.wAlarm1, 9);
    EXPECT_EQ(parser.m_wAlarmData, 9);
    EXPECT_TRUE(log.Events().empty());
}

TEST_F(Parser, RetrStateAndBackupNoticeReachTheDeviceListAndStatusLine) {
    Parse(Header(H::kRetrState | H::kBackupNotice, {0, 0}));
    EXPECT_EQ(g_lpApp->m_DeviceList.GetState(), 0);
    EXPECT_EQ(log.Count("ButtonTip 8331 R.E.T.R.(Disable)"), 1);
    EXPECT_EQ(log.Count("Status Network backup,stop video!!"), 1);
    Parse(Header(H::kRetrState, {1, 0}));
    EXPECT_EQ(log.Count("ButtonTip 8331 R.E.T.R.(Enable)"), 1);
}

// The R.E.T.R. state a header brings counts for the alarm of that same header.
TEST_F(Parser, AnAlarmRecordsOnlyWhileTheDeviceReportsRetrOn) {
    g_lpApp->CSettingINI.m_bAlarmTriggerRecord = 1;
    Parse(Header(H::kRetrState | H::kAlarm1, {0, 0, 1, 0}));
    EXPECT_EQ(log.Count("Start"), 0);
    Parse(Header(H::kRetrState | H::kAlarm1, {1, 0, 1, 0}));
    EXPECT_EQ(log.Count("Start"), 1);
}

TEST(PictureMarkers, IsJpegFrameWantsAllFourBytes) {
    const std::uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xDB};
    const std::uint8_t jfif[] = {0xFF, 0xD8, 0xFF, 0xE0};
    EXPECT_EQ(IsJpegFrame(jpeg, 4), 1u);
    EXPECT_EQ(IsJpegFrame(jfif, 4), 0u);
}

}  // namespace
