#include "kernel/device_list.h"

#include <gtest/gtest.h>

#include "kernel/kernel_object.h"
#include "test_support/fake_main_window.h"

namespace {

constexpr int kMaster = CDeviceList::kMasterKind;
constexpr int kPeripheral = CDeviceList::kPeripheralKind;

TEST(DeviceList, AddStopsAtThirtyEntries) {
    CDeviceList list;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(list.Add(0, static_cast<std::uint8_t>(i), 1, kMaster), 0);
    }
    EXPECT_EQ(list.Add(0, 99, 1, kMaster), -1);
    EXPECT_EQ(list.Count(), 30);
    EXPECT_EQ(list.Entry(29).bDeviceID, 29);
}

TEST(DeviceList, SelectionByKind) {
    CDeviceList list;
    list.Add(2400, 3, 18, kPeripheral);
    list.Add(0, 1, 19, kMaster);
    list.Add(2400, 4, 5, kPeripheral);
    list.Add(0, 2, 10, kMaster);

    // An empty selection reads entry 0.
    EXPECT_EQ(list.GetCurrentType(), 18);
    ASSERT_EQ(list.Select(kMaster, 0), 0);  // skips the peripheral in front
    EXPECT_EQ(list.GetCurrentId(), 1);
    EXPECT_EQ(list.GetMasterType(), 19);
    EXPECT_EQ(list.IsMasterType19(), 1u);
    EXPECT_EQ(list.IsCurrentMaster(), 1u);

    EXPECT_EQ(list.Select(kPeripheral, 5), -1);  // keeps the selection
    EXPECT_EQ(list.GetCurrentId(), 1);

    ASSERT_EQ(list.Select(kPeripheral, 1), 0);
    EXPECT_EQ(list.GetCurrentId(), 4);
    EXPECT_EQ(list.GetPreviousId(), 1);
    EXPECT_EQ(list.GetPeripheralId(), 4);
    EXPECT_EQ(list.GetOrdinal(), 1);
    EXPECT_EQ(list.IsCurrentMaster(), 0u);
    ASSERT_EQ(list.Select(kPeripheral, 1), 0);  // the same again: previous stays
    EXPECT_EQ(list.GetPreviousId(), 1);

    ASSERT_EQ(list.Select(kMaster, 1), 0);
    EXPECT_EQ(list.GetOrdinal(), 1);  // the second master, a peripheral between them
    EXPECT_EQ(list.GetMasterId(), 2);
    EXPECT_EQ(list.GetPeripheralTypeAt(0), 18);
    EXPECT_EQ(list.GetPeripheralTypeAt(2), 0);
    list.SetPeripheral(0, 11, 9);
    EXPECT_EQ(list.Entry(0).bDeviceType, 11);
    EXPECT_EQ(list.Entry(0).bDeviceID, 9);
}

TEST(DeviceList, CompactKeepsTheMasters) {
    CDeviceList list;
    list.Add(2400, 3, 18, kPeripheral);
    list.Add(0, 1, 19, kMaster);
    list.Add(0, 2, 10, kMaster);
    list.Select(kMaster, 1);
    list.Compact();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetCurrentId(), 2);  // the former current master, now at index 1
    EXPECT_EQ(list.Entry(0).bDeviceID, 1);
    EXPECT_EQ(list.Entry(2).wFlags, 0);

    list.Add(2400, 3, 18, kPeripheral);
    list.Select(kPeripheral, 0);
    list.Compact();
    EXPECT_EQ(list.GetCurrentId(), 1);  // a peripheral was current: back to entry 0
}

TEST(DeviceList, RetrStateChangesTheButtonOnlyOnChanges) {
    g_lpApp = new KernelObject;
    test_support::EventLog log;
    test_support::FakeMainWindow window(log);
    g_lpApp->m_pMainDialog = &window;
    g_lpApp->CSettingINI.m_bRetrAlarmRecord = 1;
    CDeviceList& list = g_lpApp->m_DeviceList;

    list.SetRetrState(1);
    list.SetRetrState(1);
    list.SetRetrState(0);
    EXPECT_EQ(log.Events(),
              (std::vector<std::string>{"ButtonImage 8331 1", "ButtonTip 8331 R.E.T.R.(Enable)",
                                        "ButtonImage 8331 0", "ButtonTip 8331 R.E.T.R.(Disable)"}));
    EXPECT_EQ(list.GetState(), 0);
    delete g_lpApp;
    g_lpApp = nullptr;
}

// A re-login empties the list but leaves the device's R.E.T.R. state, which the button shows,
// and the user's choice: a reconnect once turned alarm recording off and saved it so.
TEST(DeviceList, ARecordingFollowsTheChoiceAndTheDevicesRetrStateAcrossALogin) {
    g_lpApp = new KernelObject;
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    CDeviceList& list = g_lpApp->m_DeviceList;
    struct Case {
        std::uint8_t choice;
        std::uint8_t retrSwitch;
        std::uint8_t state;
        bool records;
    };
    const Case cases[] = {
        {1, 1, 1, true}, {0, 1, 1, false}, {1, 1, 0, false}, {1, 0, 1, false}, {0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.choice) << int(c.retrSwitch) << int(c.state));
        settings.m_bAlarmTriggerRecord = c.choice;
        settings.m_bRetrAlarmRecord = c.retrSwitch;
        list.SetRetrState(c.state);
        EXPECT_EQ(list.AlarmTriggerRecordOn(), c.records);
        // What a re-login does to the list before the device info fills it again.
        list.Clear();
        list.Add(0, 0, KLM300_DVR, kMaster);
        list.SetRetrState(c.state);
        EXPECT_EQ(list.GetState(), c.state);
        EXPECT_EQ(list.AlarmTriggerRecordOn(), c.records);
        EXPECT_EQ(settings.m_bAlarmTriggerRecord, c.choice);
    }
    delete g_lpApp;
    g_lpApp = nullptr;
}

}  // namespace
