#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "config/data_exchange.h"
#include "config/detection_edit_dlg.h"
#include "config/my_system_dialog.h"
#include "config_fixture.h"
#include "platform/byte_order.h"
#include "platform/thread.h"
#include "test_support/pump.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;

void Type(QLineEdit& edit, const std::string& text) {
    edit.setFocus();
    edit.selectAll();
    for (char c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(&edit, &press);
    }
}

// Runs `act` on the row editor once it is shown modally (the detection editor of a channel the
// device shows opens only after the channel's key), then closes it. An editor that does not open
// within 10 s fails the test.
template <class Editor>
void WhenEditorOpens(std::function<void(Editor&)> act) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
        auto* editor = qobject_cast<Editor*>(QApplication::activeModalWidget());
        if (editor == nullptr && std::chrono::steady_clock::now() < deadline) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (editor == nullptr) {
            ADD_FAILURE() << "no row editor opened";
            return;
        }
        act(*editor);
        if (editor->isVisible()) {
            editor->reject();
        }
    });
    poll->start(5);
}

void SelectRow(CListPage& page, int row) {
    page.m_List.clearSelection();
    page.m_List.topLevelItem(row)->setSelected(true);
}

QString Cell(CListPage& page, int row, int column) {
    return page.m_List.topLevelItem(row)->text(column);
}

QStringList RowTexts(CListPage& page, int row) {
    QStringList texts;
    for (int column = 0; column < page.m_List.columnCount(); ++column) {
        texts << Cell(page, row, column);
    }
    return texts;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

class ListPagesTest : public ConfigFixture {
protected:
    ListPagesTest() {
        // Type 19 masters switch to the edited channel with the channel's key.
        g_lpApp->m_lpCtrlFileRecords.resize(1);
        for (std::size_t key = 0; key < 16; ++key) {
            g_lpApp->m_lpCtrlFileRecords[0].Keys[key].pBytes = {
                static_cast<std::uint8_t>(0x30 + key)};
        }
        g_lpApp->m_DeviceProtocol[19] = 0;
    }

    // Fetches the sections, opens the sheet and shows the page's tab.
    void Open(CConfigPage& page) { ASSERT_TRUE(OpenSheetAt(sheet, page).IsPageCreated()); }

    // Edit on a page, up to the end of the row editor (and of the device command before it).
    void Edit(CListPage& page) {
        page.m_btnEdit.click();
        ASSERT_TRUE(test_support::PumpUntil([this] { return !sheet.IsWaitingForDevice(); }));
    }

    std::uint8_t DeviceByte(std::string_view section, std::size_t offset) {
        return static_cast<std::uint8_t>((*device.Section(section))[offset]);
    }

    MySystemDialog sheet{"System setting", nullptr, 0};
};

// --- The shared pattern ---

TEST_F(ListPagesTest, EditWithNothingSelectedSaysSoAndOnlyTheCameraDoubleClickDoesToo) {
    FetchSections();
    sheet.OnInitDialog();
    const struct {
        CListPage* page;
        bool doubleClickWarns;
    } cases[] = {
        {&sheet.m_DevicePage, false}, {&sheet.m_DetectionPage, false}, {&sheet.m_CameraPage, true}};
    const std::string nothing = ui::LoadString(4046);
    for (const auto& c : cases) {
        sheet.SetActivePage(c.page);
        const std::size_t before = messages.Texts().size();
        c.page->m_btnEdit.click();
        c.page->OnDblClkList();
        std::vector<std::string> expected{nothing};
        if (c.doubleClickWarns) {
            expected.push_back(nothing);
        }
        const std::vector<std::string> texts = messages.Texts();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(before), texts.end()),
                  expected)
            << c.page->Caption().toStdString();
    }
    EXPECT_TRUE(device.Requests("/RS485Cmd.cgi").empty());
}

TEST_F(ListPagesTest, ADoubleClickOnTheListEditsTheRowUnderIt) {
    Open(sheet.m_DevicePage);
    DevicePage& page = sheet.m_DevicePage;
    sheet.show();
    QTreeWidgetItem* item = page.m_List.topLevelItem(3);
    const QPoint point = page.m_List.visualItemRect(item).center();
    QString row;
    WhenEditorOpens<CDeviceEditDlg>([&row](CDeviceEditDlg& d) { row = d.m_stRow.text(); });
    for (QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        QMouseEvent event(type, point, page.m_List.viewport()->mapToGlobal(point), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(page.m_List.viewport(), &event);
    }
    EXPECT_EQ(row, " 4");
    sheet.hide();
}

// --- Device page ---

TEST_F(ListPagesTest, DeviceRateOfTheLastRowIsSentWithTheHeaderAsFetched) {
    const std::string header = "HEADER-BYTES";
    PutDeviceBytes("RS485", 0, header);
    PutDeviceBytes("RS485", 12 + 15, Bytes({42}));
    PutDeviceBytes("RS485", 28 + 15, Bytes({1}));
    PutDeviceBytes("RS485", 44 + 15, Bytes({1}));
    PutDeviceBytes("RS485", 120, Bytes({0x80, 0x25, 0, 0}));  // 9600
    Open(sheet.m_DevicePage);
    DevicePage& page = sheet.m_DevicePage;
    EXPECT_EQ(RowTexts(page, 15), (QStringList{"16", "PTZ", "42", "P-D", "9600"}));

    SelectRow(page, 15);
    WhenEditorOpens<CDeviceEditDlg>([](CDeviceEditDlg& d) {
        EXPECT_EQ(d.m_stRow.text(), "16");
        EXPECT_EQ(d.m_cbKind.currentIndex(), 1);
        EXPECT_EQ(d.m_cbProtocol.currentIndex(), 1);
        EXPECT_EQ(d.m_cbRate.currentIndex(), 2);
        EXPECT_EQ(d.m_edBusId.text(), "42");
        d.m_cbRate.setCurrentIndex(6);
        d.m_btnOK.click();
    });
    Edit(page);
    EXPECT_EQ(page.m_fChanged, 1u);
    EXPECT_EQ(Cell(page, 15, 4), "115200");

    Apply(sheet);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"RS485"});
    EXPECT_EQ(sheet.m_fDeviceListChanged, 1u);
    const std::string sent = *device.Section("RS485");
    EXPECT_EQ(sent.substr(0, 12), header);
    EXPECT_EQ(platform::GetU32(reinterpret_cast<const std::uint8_t*>(&sent[120])), 115200u);
    EXPECT_EQ(sent[12 + 15], 42);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ListPagesTest, DeviceIdOutOfRangeKeepsTheEditorOpen) {
    Open(sheet.m_DevicePage);
    DevicePage& page = sheet.m_DevicePage;
    SelectRow(page, 2);
    bool stayedOpen = false;
    WhenEditorOpens<CDeviceEditDlg>([&stayedOpen](CDeviceEditDlg& d) {
        Type(d.m_edBusId, "3x00");  // digits only
        EXPECT_EQ(d.m_edBusId.text(), "300");
        d.m_btnOK.click();
        stayedOpen = d.isVisible();
        Type(d.m_edBusId, "7");
        d.m_btnOK.click();
    });
    Edit(page);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{config::IntegerRangePrompt(0, 255)});
    EXPECT_EQ(page.m_Entries[2].id, 7);
    EXPECT_EQ(Cell(page, 2, 2), "7");
}

TEST_F(ListPagesTest, DeviceOkWithoutAChangeSendsNothing) {
    Open(sheet.m_DevicePage);
    DevicePage& page = sheet.m_DevicePage;
    SelectRow(page, 0);
    WhenEditorOpens<CDeviceEditDlg>([](CDeviceEditDlg& d) { d.m_btnOK.click(); });
    Edit(page);
    EXPECT_EQ(page.m_fChanged, 0u);
    Apply(sheet);
    EXPECT_TRUE(SentSections().empty());
    EXPECT_EQ(sheet.m_fDeviceListChanged, 0u);
}

TEST_F(ListPagesTest, DeviceValuesWithoutAnItemSurviveAnEditOfTheRow) {
    PutDeviceBytes("RS485", 28 + 4, Bytes({5}));
    PutDeviceBytes("RS485", 44 + 4, Bytes({9}));
    PutDeviceBytes("RS485", 60 + 16, Bytes({0xD2, 0x04, 0, 0}));  // 1234
    Open(sheet.m_DevicePage);
    DevicePage& page = sheet.m_DevicePage;
    EXPECT_EQ(RowTexts(page, 4), (QStringList{" 5", "CAMERA", "0", "NORMAL", "1234"}));
    SelectRow(page, 4);
    WhenEditorOpens<CDeviceEditDlg>([](CDeviceEditDlg& d) {
        EXPECT_EQ(d.m_cbKind.currentIndex(), -1);
        EXPECT_EQ(d.m_cbProtocol.currentIndex(), -1);
        EXPECT_EQ(d.m_cbRate.currentIndex(), -1);
        Type(d.m_edBusId, "12");
        d.m_btnOK.click();
    });
    Edit(page);
    Apply(sheet);
    ASSERT_EQ(SentSections(), std::vector<std::string>{"RS485"});
    EXPECT_EQ(DeviceByte("RS485", 12 + 4), 12);
    EXPECT_EQ(DeviceByte("RS485", 28 + 4), 5);
    EXPECT_EQ(DeviceByte("RS485", 44 + 4), 9);
    EXPECT_EQ(DeviceByte("RS485", 60 + 16), 0xD2);
    EXPECT_EQ(DeviceByte("RS485", 60 + 17), 0x04);
}

// --- Detection page ---

TEST_F(ListPagesTest, DetectionEditSendsTheChannelKeyThenDvrLiveAndAlarm) {
    PutDeviceBytes("DVRLIVE", 308 + 2, Bytes({1}));
    PutDeviceBytes("DVRLIVE", 324 + 2, Bytes({10, 0, 0, 0}));
    PutDeviceBytes("DVRLIVE", 388 + 48, Bytes({0x00, 0x01}));  // cell 0 of channel 3
    PutDeviceBytes("ALARM", 8 + 2, Bytes({1}));
    PutDeviceBytes("ALARM", 0, Bytes({0xA5, 0x5A}));
    Open(sheet.m_DetectionPage);
    DetectionPage& page = sheet.m_DetectionPage;
    EXPECT_EQ(RowTexts(page, 2), (QStringList{" 3", "ON", "10", "0", "0", "0", "HIGH"}));

    SelectRow(page, 2);
    std::size_t keysBeforeEditor = 0;
    WhenEditorOpens<CDetectionEditDlg>([this, &keysBeforeEditor](CDetectionEditDlg& d) {
        keysBeforeEditor = device.Requests("/RS485Cmd.cgi").size();
        EXPECT_EQ(d.m_stRow.text(), " 3");
        EXPECT_EQ(d.m_cbDetect.currentIndex(), 1);
        EXPECT_EQ(d.m_cbAlarm.currentIndex(), 1);
        EXPECT_EQ(d.m_edLS.text(), "10");
        EXPECT_TRUE(config::IsCellSet(d.m_WorkingMask, 0));
        Type(d.m_edLS, "300");
        EXPECT_EQ(d.m_edLS.text(), "255");
        Type(d.m_edRE, "7");
        d.OnSelectAll();
        d.m_cbAlarm.setCurrentIndex(2);
        d.m_btnOK.click();
    });
    Edit(page);
    ASSERT_EQ(keysBeforeEditor, 1u);
    EXPECT_EQ(device.Requests("/RS485Cmd.cgi")[0].body[1], '\x32');  // the key of row 3
    EXPECT_EQ(RowTexts(page, 2), (QStringList{" 3", "ON", "255", "0", "0", "7", "OFF"}));

    Apply(sheet);
    EXPECT_EQ(SentSections(), (std::vector<std::string>{"DVRLIVE", "ALARM"}));
    EXPECT_EQ(DeviceByte("DVRLIVE", 324 + 2), 255);
    EXPECT_EQ(DeviceByte("DVRLIVE", 372 + 2), 7);
    EXPECT_EQ(DeviceByte("DVRLIVE", 308 + 2), 1);
    EXPECT_EQ(device.Section("DVRLIVE")->substr(388 + 48, 24), std::string(24, '\xFF'));
    EXPECT_EQ(device.Section("DVRLIVE")->substr(388 + 72, 24), std::string(24, '\0'));
    EXPECT_EQ(DeviceByte("ALARM", 8 + 2), 2);
    EXPECT_EQ(DeviceByte("ALARM", 0), 0xA5);
}

TEST_F(ListPagesTest, DetectionKeyGoesOnlyToMastersThatShowTheChannel) {
    const struct {
        std::uint8_t masterType;
        bool peripheralSelected;
        std::size_t keys;
    } cases[] = {{19, false, 1}, {14, false, 1}, {11, false, 0}, {19, true, 0}};
    Open(sheet.m_DetectionPage);
    DetectionPage& page = sheet.m_DetectionPage;
    g_lpApp->m_DeviceProtocol[14] = 0;
    for (const auto& c : cases) {
        CDeviceList& list = g_lpApp->m_DeviceList;
        list.Clear();
        list.Add(0, 0, c.masterType, CDeviceList::kMasterKind);
        list.Add(2400, 3, 18, CDeviceList::kPeripheralKind);
        list.Select(c.peripheralSelected ? CDeviceList::kPeripheralKind : CDeviceList::kMasterKind,
                    0);
        device.ClearRequests();
        SelectRow(page, 5);
        bool opened = false;
        WhenEditorOpens<CDetectionEditDlg>([&opened](CDetectionEditDlg&) { opened = true; });
        Edit(page);
        EXPECT_TRUE(opened);
        EXPECT_EQ(device.Requests("/RS485Cmd.cgi").size(), c.keys)
            << int{c.masterType} << (c.peripheralSelected ? " peripheral" : "");
    }
    EXPECT_EQ(page.m_fDvrLiveChanged, 0u);
    EXPECT_EQ(page.m_fAlarmChanged, 0u);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ListPagesTest, DetectionOkWithTheSameValuesLeavesBothFlags) {
    PutDeviceBytes("DVRLIVE", 388, std::string(24, '\x3C'));
    PutDeviceBytes("ALARM", 8, Bytes({9}));  // shown as LOW
    Open(sheet.m_DetectionPage);
    DetectionPage& page = sheet.m_DetectionPage;
    EXPECT_EQ(Cell(page, 0, 6), "LOW");
    SelectRow(page, 0);
    WhenEditorOpens<CDetectionEditDlg>([](CDetectionEditDlg& d) { d.m_btnOK.click(); });
    Edit(page);
    EXPECT_EQ(page.m_fDvrLiveChanged, 0u);
    EXPECT_EQ(page.m_fAlarmChanged, 0u);
    Apply(sheet);
    EXPECT_TRUE(SentSections().empty());
}

// Each step sends its first section, then its second only when the first went through.
TEST_F(ListPagesTest, DetectionAndCameraSendInOrderAndStopAtAFailedFirstSend) {
    const struct {
        bool camera;
        bool firstFails;
        std::vector<std::string> sent;
    } cases[] = {
        {false, false, {"DVRLIVE", "ALARM"}},
        {false, true, {"DVRLIVE"}},
        {true, false, {"DVRLIVE", "DVRREC"}},
        {true, true, {"DVRLIVE"}},
    };
    for (const auto& c : cases) {
        FetchSections();
        MySystemDialog other("System setting", nullptr, 0);
        other.OnInitDialog();
        if (c.camera) {
            other.SetActivePage(&other.m_CameraPage);
            other.m_CameraPage.m_fDvrLiveChanged = 1;
            other.m_CameraPage.m_fDvrRecChanged = 1;
        } else {
            other.SetActivePage(&other.m_DetectionPage);
            other.m_DetectionPage.m_fDvrLiveChanged = 1;
            other.m_DetectionPage.m_fAlarmChanged = 1;
        }
        if (c.firstFails) {
            Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
        }
        const std::size_t shown = messages.Texts().size();
        Apply(other);
        EXPECT_EQ(SentSections(), c.sent) << c.camera << c.firstFails;
        EXPECT_EQ(messages.Texts().size() - shown, c.firstFails ? 1u : 0u);
        EXPECT_EQ(other.result(), MySystemDialog::kResultApplied);
    }
    EXPECT_EQ(messages.Texts().back(), ui::LoadString(4012));
}

// --- Camera page ---

TEST_F(ListPagesTest, CameraSixCharacterTitleStaysWithinItsChannel) {
    PutDeviceBytes("DVRLIVE", 116, "ABCDEFxy");
    PutDeviceBytes("DVRLIVE", 84, Bytes({1, 7}));
    PutDeviceBytes("DVRREC", 20, Bytes({0, 1}));
    Open(sheet.m_CameraPage);
    CameraPage& page = sheet.m_CameraPage;
    EXPECT_EQ(RowTexts(page, 0), (QStringList{" 1", "ABCDEF", "0", "0", "0", "0", "YES", "NO"}));
    EXPECT_EQ(RowTexts(page, 1), (QStringList{" 2", "xy", "0", "0", "0", "0", "NO", "YES"}));
    SelectRow(page, 0);
    QString title;
    WhenEditorOpens<CCameraEditDlg>([&title](CCameraEditDlg& d) { title = d.m_btnTitle.text(); });
    page.OnDblClkList();
    EXPECT_EQ(title, "ABCDEF");
}

TEST_F(ListPagesTest, CameraValuesLandAtTheirOffsetsAndOnlyDvrLiveIsSent) {
    PutDeviceBytes("DVRLIVE", 84 + 2, Bytes({1}));
    PutDeviceBytes("DVRREC", 0, std::string(128, '\x01'));
    Open(sheet.m_CameraPage);
    CameraPage& page = sheet.m_CameraPage;
    SelectRow(page, 2);
    WhenEditorOpens<CCameraEditDlg>([](CCameraEditDlg& d) {
        EXPECT_EQ(d.m_stRow.text(), " 3");
        Type(d.m_edBrightness, "300");
        EXPECT_EQ(d.m_edBrightness.text(), "255");
        Type(d.m_edSaturation, "88");
        Type(d.m_edHue, "77");
        d.m_btnOK.click();
    });
    Edit(page);
    EXPECT_EQ(page.m_fDvrLiveChanged, 1u);
    EXPECT_EQ(page.m_fDvrRecChanged, 0u);
    // BR, CT, SU, HU, COV, REC
    EXPECT_EQ(RowTexts(page, 2), (QStringList{" 3", "", "255", "0", "88", "77", "YES", "YES"}));

    Apply(sheet);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"DVRLIVE"});
    EXPECT_EQ(DeviceByte("DVRLIVE", 4 + 2), 255);
    EXPECT_EQ(DeviceByte("DVRLIVE", 52 + 2), 88);
    EXPECT_EQ(DeviceByte("DVRLIVE", 36 + 2), 77);
    EXPECT_EQ(DeviceByte("DVRLIVE", 20 + 2), 0);
    EXPECT_EQ(DeviceByte("DVRLIVE", 84 + 2), 1);
}

// --- The motion-area editor and its frame grab ---

// Plays the frame painter's side of the frame copy: whenever a copy is asked for, it copies the
// frame it holds and releases the semaphore.
class FakePainter {
public:
    void SetFrame(std::uint16_t width, std::uint16_t height, std::uint8_t value) {
        std::lock_guard lock(m_mutex);
        m_width = width;
        m_height = height;
        m_value = value;
    }
    void Start() {
        m_thread = std::thread([this] {
            KernelObject& app = *g_lpApp;
            while (!m_stop) {
                if (app.m_fFrameCopyRequest.exchange(0) != 0) {
                    std::this_thread::sleep_for(copyTime);
                    // A request raised while this copy is under way would have the next copy
                    // written over the buffer that the requester is about to read.
                    askedAgainMidCopy = askedAgainMidCopy || app.m_fFrameCopyRequest != 0;
                    ++copies;
                    std::lock_guard lock(m_mutex);
                    std::memset(app.m_lpFrameCopyBuffer.get(), m_value,
                                std::size_t{m_width} * m_height * 3);
                    app.m_wCopyWidth = m_width;
                    app.m_wCopyHeight = m_height;
                    platform::ReleaseSemaphore(app.h_FrameCopiedSem);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    std::chrono::milliseconds copyTime{0};  // set before Start
    std::atomic<int> copies{0};
    std::atomic<bool> askedAgainMidCopy{false};

    ~FakePainter() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    std::mutex m_mutex;
    std::uint16_t m_width = 0;
    std::uint16_t m_height = 0;
    std::uint8_t m_value = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class MotionEditorTest : public ConfigFixture {
protected:
    MotionEditorTest() {
        g_lpApp->m_lpFrameCopyBuffer = std::make_unique<std::uint8_t[]>(kImageSlotSize);
        g_lpApp->h_FrameCopiedSem = platform::CreateSemaphoreObject(0, 1);
    }
    ~MotionEditorTest() override { platform::CloseObject(g_lpApp->h_FrameCopiedSem); }

    // Runs the editor modally with `act` once it is shown; false when a thread it started
    // outlived it.
    bool RunEditor(std::function<void(CDetectionEditDlg&)> act) {
        const std::size_t running = platform::RunningThreadCount();
        {
            CDetectionEditDlg dlg;
            WhenEditorOpens<CDetectionEditDlg>(act);
            dlg.DoModal();
        }
        return platform::RunningThreadCount() == running;
    }

    static void Mouse(CDetectionEditDlg& d, QEvent::Type type, QPoint point) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, point, d.mapToGlobal(point), button, held, Qt::NoModifier);
        QApplication::sendEvent(&d, &event);
    }

    FakePainter painter;
};

TEST_F(MotionEditorTest, SetupShowsTheHalvedFrameAndKeepsItFresh) {
    painter.SetFrame(704, 576, 0x40);
    painter.Start();
    EXPECT_TRUE(RunEditor([this](CDetectionEditDlg& d) {
        const int heightBefore = d.height();
        EXPECT_FALSE(d.m_btnSelectAll.isVisible());
        d.m_btnSetup.click();
        EXPECT_EQ(d.height(), heightBefore + CDetectionEditDlg::kNtscDisplayHeight + 20);
        EXPECT_FALSE(d.m_btnSetup.isEnabled());
        EXPECT_TRUE(d.m_btnSelectAll.isVisible());
        EXPECT_TRUE(d.m_btnClearAll.isVisible());
        // The frame comes from the grab thread; the click waits for none.
        ASSERT_TRUE(test_support::PumpUntil([&d] { return d.CurrentStill().height == 288; }));
        const config::Still first = d.CurrentStill();
        EXPECT_EQ(first.width, 320);
        EXPECT_EQ(first.pixels.front(), 0x40);
        EXPECT_EQ(first.pixels.back(), 0x40);
        // The grab thread goes on taking frames as they are painted.
        painter.SetFrame(320, 240, 0x80);
        EXPECT_TRUE(test_support::PumpUntil([&d] {
            const config::Still still = d.CurrentStill();
            return still.height == 240 && still.pixels.front() == 0x80;
        }));
        d.repaint();  // paints the still with its grid
        d.m_btnOK.click();
    }));
}

TEST_F(MotionEditorTest, WithoutAPictureSetupGivesUpAndTheAreaCanStillBeEdited) {
    EXPECT_TRUE(RunEditor([this](CDetectionEditDlg& d) {
        d.m_btnSetup.click();
        EXPECT_EQ(d.m_fAreaEditing, 1u);
        const config::Still blank = d.CurrentStill();
        EXPECT_EQ(blank.width, 320);
        EXPECT_EQ(blank.height, CDetectionEditDlg::kNtscDisplayHeight);

        const QPoint origin(d.m_Grid.x0, d.m_Grid.y0);
        const QPoint inCell17 = origin + QPoint(30, 28);
        // A click toggles the cell under it.
        Mouse(d, QEvent::MouseButtonPress, inCell17);
        Mouse(d, QEvent::MouseButtonRelease, inCell17);
        EXPECT_TRUE(config::IsCellSet(d.m_WorkingMask, 17));
        // A drag to the right border of cell 18 sweeps cell 19 too.
        Mouse(d, QEvent::MouseButtonPress, inCell17);
        Mouse(d, QEvent::MouseMove, inCell17);
        Mouse(d, QEvent::MouseMove, origin + QPoint(60, 28));
        EXPECT_TRUE(config::IsCellSet(d.m_HoverMask, 19));
        Mouse(d, QEvent::MouseButtonRelease, origin + QPoint(60, 28));
        config::MotionAreaMask expected{};
        config::SetCell(expected, 18, true);
        config::SetCell(expected, 19, true);
        EXPECT_EQ(d.m_WorkingMask, expected);
        EXPECT_EQ(d.m_bMouseState, CDetectionEditDlg::kIdle);
        // A press let go outside the picture toggles nothing and ends the press.
        Mouse(d, QEvent::MouseButtonPress, inCell17);
        Mouse(d, QEvent::MouseButtonRelease, QPoint(2, 2));
        EXPECT_EQ(d.m_WorkingMask, expected);
        EXPECT_EQ(d.m_bMouseState, CDetectionEditDlg::kIdle);

        // A picture that comes late still reaches the editor.
        painter.SetFrame(320, 240, 0x80);
        painter.Start();
        EXPECT_TRUE(test_support::PumpUntil([&d] { return d.CurrentStill().height == 240; }));
        d.m_btnClearAll.click();
        EXPECT_FALSE(config::AnyCellSet(d.m_WorkingMask));
        d.m_btnOK.click();
    }));
}

TEST_F(MotionEditorTest, ACopyTakingLongerThanOneWaitIsNotAskedForAgain) {
    painter.SetFrame(320, 240, 0x40);
    painter.copyTime = std::chrono::milliseconds(CDetectionEditDlg::kGrabRetryMs + 300);
    painter.Start();
    EXPECT_TRUE(RunEditor([this](CDetectionEditDlg& d) {
        d.m_btnSetup.click();
        EXPECT_TRUE(test_support::PumpUntil([this] { return painter.copies >= 3; }));
        EXPECT_FALSE(painter.askedAgainMidCopy);
        d.m_btnOK.click();
    }));
}

TEST_F(MotionEditorTest, PalPicturesGetTallerCells) {
    g_lpApp->m_bVideoMode = 1;
    CDetectionEditDlg dlg;
    EXPECT_EQ(dlg.m_Grid.cellHeight, 23);
    EXPECT_EQ(dlg.m_Grid.Height(), CDetectionEditDlg::kPalDisplayHeight);
}

}  // namespace
