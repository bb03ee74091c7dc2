// The picture-adjust dialog, the PTZ chooser and the peripheral pages, the tool box page with its
// event-log reader, and the log dialog, against the device emulator.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "config/peripheral_pages.h"
#include "config/server_log_dlg.h"
#include "config/tool_box_page.h"
#include "config/upgrade_firmware_dlg.h"
#include "config/video_adjust_dlg.h"
#include "config_fixture.h"
#include "event_log.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"
#include "protocol/session.h"
#include "test_support/answer_dialog.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "ui/message_ids.h"

namespace {

using device_emulator::EventLogEntry;
using device_emulator::SampleEventLog;
using device_emulator::Settings;
using test_support::AnswerNextDialog;
using test_support::ConfigFixture;
using test_support::PumpUntil;

// Keystrokes as the user types them; a text of several characters arrives as one paste.
void Type(QLineEdit& edit, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&edit, &press);
}

void Retype(QLineEdit& edit, const QString& text) {
    edit.selectAll();
    if (text.isEmpty()) {
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QApplication::sendEvent(&edit, &erase);
    } else {
        Type(edit, text);
    }
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

// ---------------------------------------------------------------------------------------------
// Picture adjust

class PictureAdjustTest : public ConfigFixture {
protected:
    PictureAdjustTest() {
        PutDeviceBytes("IMG", 0, Bytes({1, 2, 3, 4, 5, 6, 7, 10, 20, 30, 40, 99}));
        FetchSections();
        // What the main window hands the dialog.
        for (int row = 0; row < CVideoAdjustDlg::kRows; ++row) {
            dialog.m_nCurrent[row] = g_lpApp->m_SysCfg.IMG[CVideoAdjustDlg::kFirstImgByte + row];
        }
    }

    std::vector<std::string> SentImg() const {
        std::vector<std::string> bodies;
        for (const auto& request : device.Requests("/SetSysCfg.cgi")) {
            EXPECT_EQ(request.Param("Option"), "IMG");
            bodies.push_back(request.body);
        }
        return bodies;
    }

    std::vector<int> Fields() const {
        std::vector<int> values;
        for (const QLineEdit& edit : dialog.m_edits) {
            values.push_back(edit.text().toInt());
        }
        return values;
    }

    std::vector<int> Sliders() const {
        std::vector<int> values;
        for (const QSlider& slider : dialog.m_sliders) {
            values.push_back(slider.value());
        }
        return values;
    }

    // OK, up to the device's answer.
    void PressOk() {
        dialog.m_btnOK.click();
        ASSERT_TRUE(PumpUntil([this] { return !dialog.IsWaitingForDevice(); }));
    }

    CVideoAdjustDlg dialog;
};

TEST_F(PictureAdjustTest, OkSendsTheFourValuesAndLeavesTheDialogOpen) {
    std::vector<std::string> sentBeforeOk;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(Fields(), (std::vector<int>{10, 20, 30, 40}));
        EXPECT_EQ(Sliders(), (std::vector<int>{10, 20, 30, 40}));
        Retype(dialog.m_edits[2], "999");
        EXPECT_EQ(dialog.m_edits[2].text(), "255");
        EXPECT_EQ(dialog.m_sliders[2].value(), 255);
        dialog.m_sliders[0].triggerAction(QAbstractSlider::SliderToMaximum);
        EXPECT_EQ(dialog.m_edits[0].text(), "255");
        dialog.m_sliders[1].triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(dialog.m_edits[1].text(), "10");
        sentBeforeOk = SentImg();

        PressOk();
        EXPECT_TRUE(dialog.isVisible());
        PressOk();
        EXPECT_TRUE(dialog.isVisible());
        dialog.m_btnClose.click();
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);

    EXPECT_TRUE(sentBeforeOk.empty()) << "nothing goes out while the user drags or types";
    const std::string expected = Bytes({1, 2, 3, 4, 5, 6, 7, 255, 10, 255, 40, 99});
    EXPECT_EQ(SentImg(), (std::vector<std::string>{expected, expected}));
    EXPECT_EQ(*device.Section("IMG"), expected);
    EXPECT_EQ(dialog.m_nCurrent, (std::array<int, 4>{255, 10, 255, 40}));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PictureAdjustTest, DefaultSetsEveryRowTo128AndOnlyOkSendsIt) {
    QTimer::singleShot(0, &dialog, [&] {
        dialog.m_btnDefault.click();
        EXPECT_EQ(Fields(), (std::vector<int>{128, 128, 128, 128}));
        EXPECT_EQ(Sliders(), (std::vector<int>{128, 128, 128, 128}));
        EXPECT_TRUE(SentImg().empty());
        PressOk();
        dialog.m_btnCancel.click();
    });
    dialog.DoModal();
    EXPECT_EQ(SentImg(),
              (std::vector<std::string>{Bytes({1, 2, 3, 4, 5, 6, 7, 128, 128, 128, 128, 99})}));
}

TEST_F(PictureAdjustTest, NumberFieldsKeepDigitsAndClampOnEveryKeystroke) {
    dialog.OnInitDialog();
    struct Case {
        const char* typed;
        int shown;  // the field and its slider afterwards; the row started at 30
    };
    const Case cases[] = {
        {"12a", 12}, {"300", 255}, {"0007", 7}, {"x", 30}, {"", 30}, {"99999999999999", 255},
    };
    for (const Case& c : cases) {
        dialog.m_nFieldValue[2] = dialog.m_nSliderPos[2] = 30;
        dialog.UpdateData(false);
        Retype(dialog.m_edits[2], c.typed);
        EXPECT_EQ(dialog.m_edits[2].text().toStdString(), std::to_string(c.shown)) << c.typed;
        EXPECT_EQ(dialog.m_sliders[2].value(), c.shown) << c.typed;
    }
    const std::vector<int> fields = Fields();
    EXPECT_EQ((std::vector<int>{fields[0], fields[1], fields[3]}), (std::vector<int>{10, 20, 40}))
        << "the other rows stay";
}

TEST_F(PictureAdjustTest, ARefusedSendSaysSoAndKeepsTheNewValuesOnScreen) {
    Faults("/SetSysCfg.cgi", {.status = 500});
    dialog.OnInitDialog();
    Retype(dialog.m_edits[0], "77");
    PressOk();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Set the system config is failed\n"}));
    EXPECT_EQ(Fields(), (std::vector<int>{77, 20, 30, 40}));
    EXPECT_EQ(g_lpApp->m_SysCfg.IMG[7], 77);
    EXPECT_TRUE(dialog.m_nCurrent == (std::array<int, 4>{77, 20, 30, 40}));
}

// A device that holds the send: the dialog goes on answering with OK held off, and Cancel leaves
// at once, ending the send without a word.
TEST_F(PictureAdjustTest, AStalledSendHoldsOnlyOkAndCancelEndsIt) {
    using namespace std::chrono_literals;
    Faults("/SetSysCfg.cgi", {.action = device_emulator::ReplyAction::Stall});
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.m_btnOK.click();
        ASSERT_TRUE(device.WaitForRequests("/SetSysCfg.cgi", 1, 10s));
        EXPECT_TRUE(PumpUntil([&ticks] { return ticks >= 10; }));
        ASSERT_TRUE(dialog.IsWaitingForDevice());
        EXPECT_FALSE(dialog.m_btnOK.isEnabled());
        EXPECT_TRUE(dialog.m_btnCancel.isEnabled());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        dialog.m_btnCancel.click();
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_FALSE(dialog.IsWaitingForDevice());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(messages.Texts().empty()) << "a cancelled send reports nothing";
}

TEST_F(PictureAdjustTest, MissingSkinFilesStillLeaveWorkingControls) {
    // The tests' program folder has no skin: without its frame the dialog must still show and
    // send the device's values, not whatever the controls held before.
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.m_hSkin[0].isNull());
    EXPECT_EQ(Fields(), (std::vector<int>{10, 20, 30, 40}));
    PressOk();
    EXPECT_EQ(SentImg(),
              (std::vector<std::string>{Bytes({1, 2, 3, 4, 5, 6, 7, 10, 20, 30, 40, 99})}));
}

TEST_F(PictureAdjustTest, TheFrameIsDrawnFromTheSkin) {
    platform::SetProgramFolder(TORVEL_SKIN_DIR);
    dialog.OnInitDialog();
    platform::SetProgramFolder({});
    for (const QImage& piece : dialog.m_hSkin) {
        EXPECT_FALSE(piece.isNull());
    }
    EXPECT_FALSE(dialog.m_btnOK.ShownImage().isNull());
    EXPECT_FALSE(dialog.m_btnIcons[3].ShownImage().isNull());
    EXPECT_EQ(dialog.m_btnIcons[3].toolTip(), "Saturation");
    EXPECT_EQ(dialog.size(), QSize(304, 236));
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 194), QColor(221, 221, 221)) << "the body between the rows";
}

// ---------------------------------------------------------------------------------------------
// PTZ chooser and the peripheral pages

class PtzChooserTest : public ConfigFixture {
protected:
    void SelectPeripheral(std::uint8_t ordinal) {
        CDeviceList& devices = g_lpApp->m_DeviceList;
        for (std::uint8_t id = 1; id <= 3; ++id) {
            devices.Add(0, id, 11, CDeviceList::kPeripheralKind);
        }
        devices.Select(CDeviceList::kPeripheralKind, ordinal);
    }
};

TEST_F(PtzChooserTest, ResultsAndTheNumberTyped) {
    struct Case {
        const char* name;
        std::optional<std::uint8_t> peripheral;  // none: the master is current
        std::function<void(CSelectPTZDlg&)> answer;
        int result;
        int number;
    };
    const Case cases[] = {
        {"OK", std::nullopt,
         [](CSelectPTZDlg& d) {
             Retype(d.m_editNumber, "3");
             d.m_btnOk.click();
         },
         CSelectPTZDlg::kIdOk, 3},
        {"cancel", 1, [](CSelectPTZDlg& d) { d.m_btnCancel.click(); }, CSelectPTZDlg::kIdCancel, 2},
        {"closed", 1, [](CSelectPTZDlg& d) { d.reject(); }, CSelectPTZDlg::kIdCancel, 2},
        {"ESC", 2, [](CSelectPTZDlg& d) { d.m_btnEsc.click(); }, CSelectPTZDlg::kIdBackToMaster, 3},
    };
    for (const Case& c : cases) {
        g_lpApp->m_DeviceList.Clear();
        g_lpApp->m_DeviceList.Add(0, 0, 19, CDeviceList::kMasterKind);
        g_lpApp->m_DeviceList.Select(CDeviceList::kMasterKind, 0);
        if (c.peripheral) {
            SelectPeripheral(*c.peripheral);
        }
        CSelectPTZDlg dialog;
        QTimer::singleShot(0, &dialog, [&] { c.answer(dialog); });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.name;
        EXPECT_EQ(dialog.m_nPtzNumber, c.number) << c.name;
    }
}

TEST_F(PtzChooserTest, WithAPeripheralESCIsOfferedAndWithTheMasterCancelTakesItsPlace) {
    g_lpApp->m_fScale = 1.5f;
    CSelectPTZDlg master;
    master.OnInitDialog();
    EXPECT_TRUE(master.m_btnEsc.isHidden());
    EXPECT_EQ(master.m_btnCancel.geometry(), QRect(258, 63, 147, 55));
    // The chooser grows with the display, so the enlarged CANCEL is inside it and clear of OK.
    EXPECT_TRUE(master.rect().contains(master.m_btnCancel.geometry()));
    EXPECT_FALSE(master.m_btnOk.geometry().intersects(master.m_btnCancel.geometry()));
    EXPECT_EQ(master.m_editNumber.text(), "1");

    SelectPeripheral(1);
    CSelectPTZDlg peripheral;
    peripheral.OnInitDialog();
    EXPECT_FALSE(peripheral.m_btnEsc.isHidden());
    EXPECT_EQ(peripheral.m_editNumber.text(), "2");
    EXPECT_EQ(peripheral.m_btnEsc.toolTip(), "Back to control center ");
}

TEST_F(PtzChooserTest, AnEmptyNumberIsRefusedWithThePrompt) {
    CSelectPTZDlg dialog;
    QTimer::singleShot(0, &dialog, [&] {
        Retype(dialog.m_editNumber, "");
        dialog.m_btnOk.click();
        EXPECT_TRUE(dialog.isVisible());
        dialog.m_btnCancel.click();
    });
    EXPECT_EQ(dialog.DoModal(), CSelectPTZDlg::kIdCancel);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Enter a whole number."}));
}

TEST_F(PtzChooserTest, PeripheralPagesShowTheCurrentDeviceAndCheckTheId) {
    CDeviceList& devices = g_lpApp->m_DeviceList;
    devices.Add(0, 7, 115, CDeviceList::kPeripheralKind);
    devices.Select(CDeviceList::kPeripheralKind, 0);
    CXr2Peripheral view;
    view.CreatePage();
    EXPECT_EQ(view.m_editId.text(), "7");
    EXPECT_EQ(view.m_editModel.text(), "4CH NETWORK DVR (FULL)");
    EXPECT_TRUE(view.m_editModel.isReadOnly());
    EXPECT_EQ(Xr2ModelText(113), "4CH NETWORK DVR (BASIC)");
    EXPECT_EQ(Xr2ModelText(138), "4CH NETWORK MEPG2 DVR");
    EXPECT_EQ(Xr2ModelText(11), "");

    CPeripheralPage page;
    page.CreatePage();
    EXPECT_EQ(page.m_comboBaudRate1.currentIndex(), -1);
    EXPECT_EQ(page.m_comboModel1.currentIndex(), -1);
    EXPECT_EQ(page.m_comboModel1.itemText(10), "4CH MPEG2 DVR");
    EXPECT_EQ(page.m_editId1.text(), "0");
    page.m_editId1.setText("256");
    EXPECT_FALSE(page.UpdateData(true));
    EXPECT_EQ(messages.Texts().back(), "Enter a whole number from 0 to 255.");
}

// ---------------------------------------------------------------------------------------------
// Tool box page and the event-log reader

TEST(ToolBoxTexts, VersionAndMacEndAtTheFirstMissingCharacter) {
    EXPECT_EQ(CombinedVersionText("3.1.4", "1.0.2", "2.0.1", "1.1.0"), "3.1.-1.-2.-1.1.0");
    EXPECT_EQ(CombinedVersionText("3.1", "1.0.2", "2.0.1", "1.1.0"), "3.1");
    EXPECT_EQ(CombinedVersionText("3.10", "1", "2.0", "x"), "3.10-1");
    EXPECT_EQ(CombinedVersionText("", "1.0", "2.0", "x"), "");
    const auto mac = [](std::string_view text) {
        std::array<std::uint8_t, 12> bytes{};
        std::copy(text.begin(), text.end(), bytes.begin());
        return bytes;
    };
    EXPECT_EQ(MacAddressText(mac("0012AB34CD56")), "00:12:AB:34:CD:56");
    EXPECT_EQ(MacAddressText(mac("0012A")), "00:12:A");
    EXPECT_EQ(MacAddressText(mac("0012")), "00:12:");
}

class ToolBoxTest : public ConfigFixture {
protected:
    ToolBoxTest() {
        KernelObject& app = *g_lpApp;
        app.m_strFirmwareVersion = "3.1.4";
        app.m_strBootVersion = "1.0.2";
        app.m_strCodecVersion = "2.0.1";
        app.m_strFPGAVersion = "1.1.0";
        const std::string mac = "0012AB34CD56";
        std::copy(mac.begin(), mac.end(), app.m_DeviceID[0].bytes.begin());
        app.CSettingINI.m_strUpgradeFWPath = "/fw/";
    }

    void SetLog(std::size_t entries, std::size_t pageEntries = 32) {
        device.Update([&](Settings& s) {
            s.event_log = {};
            s.event_log.entries = SampleEventLog(entries);
            s.event_log.page_entries = pageEntries;
        });
    }

    // Presses "Server Log" and waits for the reading to end. The rows of the log dialog, or none
    // when no dialog opened.
    std::optional<std::vector<ServerLogRow>> ReadLog(ToolBoxPropertyPage& page) {
        std::optional<std::vector<ServerLogRow>> rows;
        AnswerNextDialog<CServerLogDlg>([&rows](CServerLogDlg& dialog) {
            rows.emplace();
            for (int i = 0; i < dialog.m_ctlLogList.topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = dialog.m_ctlLogList.topLevelItem(i);
                rows->push_back({item->text(0).toStdString(), item->text(1).toStdString(),
                                 item->text(2).toStdString(), item->text(3).toStdString()});
            }
            dialog.m_btnOK.click();
        });
        page.m_btnServerLog.click();
        EXPECT_EQ(page.m_btnServerLog.text(), "Cancel");
        EXPECT_TRUE(PumpUntil([&] { return page.m_nLogState == ToolBoxPropertyPage::kIdle; }));
        EXPECT_EQ(page.m_btnServerLog.text(), "Server Log");
        EXPECT_TRUE(page.m_ctlProgress.isHidden());
        // A dialog that did not open must not be answered by a later test step.
        QApplication::processEvents();
        return rows;
    }

    std::vector<std::string> LogStates() const {
        std::vector<std::string> states;
        for (const auto& request : device.Requests("/Getlog.cgi")) {
            states.push_back(request.Param("STATE").value_or("?"));
        }
        return states;
    }

    std::vector<std::string> Pages(std::size_t count) const {
        std::vector<std::string> states{"COUNT"};
        for (std::size_t i = 0; i < count; ++i) {
            states.push_back(i == 0 ? "LAST" : "PRE");
        }
        return states;
    }

    ToolBoxPropertyPage page;
};

// The version and MAC texts come from the device's replies; markup in them is shown as typed,
// never drawn (a heading, or a local picture pulled in by an image tag).
TEST_F(ToolBoxTest, DeviceTextsWithMarkupAreShownAsTyped) {
    const std::string fpga = "<img src=\"/etc/logo.png\"><h1>big</h1>";
    device.Update([&](Settings& s) {
        s.identity.firmware_version = "<h1>";
        s.identity.mac = "<b>1</b><i>2";
        s.identity.fpga_version = fpga;
    });
    ASSERT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn);
    const std::optional<std::string> info = SendDeviceInfoRequest();
    ASSERT_TRUE(info.has_value());
    StoreDeviceInfo(ParseDeviceInfoReply(*info));
    const std::string version = "<h1>-1.-2.-" + fpga;
    ASSERT_EQ(CombinedVersionText(g_lpApp->m_strFirmwareVersion, g_lpApp->m_strBootVersion,
                                  g_lpApp->m_strCodecVersion, g_lpApp->m_strFPGAVersion),
              version);

    page.CreatePage();
    CUpgradeFirmwareDlg upgrade;
    upgrade.OnInitDialog();
    const std::pair<const QLabel*, std::string> labels[] = {
        {&page.m_staticVersion, version},
        {&page.m_staticMacAddress, "<b:>1:</:b>:<i:>2"},
        {&upgrade.m_ctlVersion, version},
    };
    for (const auto& [label, text] : labels) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << text;
        EXPECT_EQ(label->text().toStdString(), text);
        // Drawn as plain text, the label asks for the width of every character typed.
        EXPECT_GE(label->sizeHint().width(),
                  label->fontMetrics().horizontalAdvance(QString::fromStdString(text)))
            << text;
    }
}

TEST_F(ToolBoxTest, ShowsTheDeviceAndTakesTheTurboStepFromTheKeyMode) {
    struct Case {
        int keyMode;
        int index;  // the preset is 6
    };
    for (const Case c : {Case{4, 3}, Case{10, 9}, Case{0, 6}, Case{11, 6}}) {
        ToolBoxPropertyPage fresh;
        fresh.m_nTurboStep = 6;
        g_lpApp->m_bKeyMode = static_cast<std::uint8_t>(c.keyMode);
        fresh.CreatePage();
        EXPECT_EQ(fresh.m_comboTurboStep.currentIndex(), c.index) << c.keyMode;
        EXPECT_EQ(fresh.m_nTurboStep, c.index) << c.keyMode;
    }
    page.CreatePage();
    EXPECT_EQ(page.m_staticVersion.text(), "3.1.-1.-2.-1.1.0");
    EXPECT_EQ(page.m_staticMacAddress.text(), "00:12:AB:34:CD:56");
    EXPECT_EQ(page.m_strFirmwareFile, "/fw/");
    EXPECT_EQ(page.m_editMaxLogList.text(), "300");
    EXPECT_EQ(page.m_comboTurboStep.count(), 10);
    EXPECT_TRUE(page.m_ctlProgress.isHidden());

    // APPLY may come while this page is still shown: the choice is already in the member.
    page.m_comboTurboStep.setCurrentIndex(7);
    emit page.m_comboTurboStep.activated(7);
    EXPECT_EQ(page.m_nTurboStep, 7);
}

TEST_F(ToolBoxTest, MaxLogListKeepsDigitsWithinItsLimitAndLeavesTheOtherControlsAlone) {
    page.CreatePage();
    page.m_comboTurboStep.setCurrentIndex(7);  // chosen, not yet saved
    Retype(page.m_editMaxLogList, "2500");
    EXPECT_EQ(page.m_editMaxLogList.text(), "2048");
    EXPECT_EQ(page.m_nMaxLogList, 2048);
    Retype(page.m_editMaxLogList, "1a2b3");
    EXPECT_EQ(page.m_editMaxLogList.text(), "123");
    EXPECT_EQ(page.m_nMaxLogList, 123);
    EXPECT_EQ(page.m_comboTurboStep.currentIndex(), 7);
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.m_nTurboStep, 7);
}

TEST_F(ToolBoxTest, ReadsTheLogPageByPageAndListsIt) {
    g_szSessionCookie.Set("S1");
    SetLog(100);
    page.CreatePage();
    const auto rows = ReadLog(page);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 100u);
    const auto requests = device.Requests("/Getlog.cgi");
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].query, "Cookie=S1&STATE=COUNT");
    EXPECT_EQ(requests[1].query, "Cookie=S1&STATE=LAST");
    EXPECT_EQ(requests[4].query, "Cookie=S1&STATE=PRE");
    EXPECT_EQ(page.m_nLogCount, 100);

    // The newest page comes first: entry 68 (event bit 1 << 8, a remote login) heads the list.
    const auto sample = SampleEventLog(100);
    EXPECT_EQ((*rows)[0],
              (ServerLogRow{" 1", "REMOTE LOGIN ( 10.0.0.69 )", "26-03-13 20:56:44", "NO"}));
    EXPECT_EQ((*rows)[99].number, "100");
}

TEST_F(ToolBoxTest, PagesAreReadUntilTheListIsFullOrThePageIsShort) {
    struct Case {
        const char* name;
        std::size_t entries;
        std::size_t pageEntries;
        int maxLogList;
        std::function<void(device_emulator::EventLogSettings&)> more;
        std::size_t rows;
        std::size_t pages;
    };
    const Case cases[] = {
        // The page that passes the limit is kept whole.
        {"500 of 300", 500, 32, 300, nullptr, 320, 10},
        {"short first page", 12, 32, 300, nullptr, 12, 1},
        {"empty first page", 0, 32, 300, [](auto& log) { log.reported_count = 5; }, 0, 1},
        // Stray bytes after a page's entries are not an entry.
        {"ragged pages", 40, 32, 300, [](auto& log) { log.page_tail_bytes = 5; }, 40, 2},
        // The 69th page finds room for 8 of its 30 entries.
        {"full buffer", 2100, 30, 2048, nullptr, 2048, 69},
        {"nothing asked", 50, 32, 0, nullptr, 0, 0},
    };
    page.CreatePage();
    for (const Case& c : cases) {
        SetLog(c.entries, c.pageEntries);
        if (c.more) {
            device.Update([&](Settings& s) { c.more(s.event_log); });
        }
        device.ClearRequests();
        // One page for every reading: what an earlier one stored must not show up again.
        page.m_editMaxLogList.setText(QString::number(c.maxLogList));
        const auto rows = ReadLog(page);
        ASSERT_TRUE(rows) << c.name;
        EXPECT_EQ(rows->size(), c.rows) << c.name;
        EXPECT_EQ(LogStates(), Pages(c.pages)) << c.name;
    }
}

// No dialog opens on a log the device does not hold or could not give: the user is told which,
// and why.
TEST_F(ToolBoxTest, AFailedOrEmptyReadingSaysWhyWithoutADialog) {
    struct Case {
        const char* name;
        std::function<void(Settings&)> setup;
        std::size_t pages;
        std::string message;
    };
    const std::string notRead = "The event log could not be read: ";
    const Case cases[] = {
        {"no entries", [](Settings&) {}, 0, "The device's event log holds no entries."},
        {"count refused",
         [](Settings& s) { s.faults["/Getlog.cgi"] = {.status = 500, .times = 1}; }, 0,
         notRead + "the device refused the request (status 500)."},
        {"count without its key",
         [](Settings& s) { s.faults["/Getlog.cgi"] = {.body = "TOTAL=5;", .times = 1}; }, 0,
         notRead + "the device's entry count could not be read."},
        {"count not a number",
         [](Settings& s) { s.faults["/Getlog.cgi"] = {.body = "COUNT=;", .times = 1}; }, 0,
         notRead + "the device's entry count could not be read."},
        {"count cut off",
         [](Settings& s) {
             s.faults["/Getlog.cgi"] = {.action = device_emulator::ReplyAction::CloseWithoutReply,
                                        .times = 1};
         },
         0, notRead + "the device did not answer."},
        {"second page refused",
         [](Settings& s) {
             s.event_log.entries = SampleEventLog(100);
             s.event_log.failing_page = 1;
         },
         2, notRead + "the device refused the request (status 500)."},
    };
    page.CreatePage();
    for (const Case& c : cases) {
        device.Update([&](Settings& s) {
            s.event_log = {};
            s.faults.clear();
            c.setup(s);
        });
        device.ClearRequests();
        test_support::RecordingMessageSink shown;
        EXPECT_FALSE(ReadLog(page)) << c.name;
        EXPECT_EQ(LogStates(), Pages(c.pages)) << c.name;
        EXPECT_EQ(shown.Texts(), std::vector<std::string>{c.message}) << c.name;
    }
}

TEST_F(ToolBoxTest, AReaderThatCannotStartLeavesThePageIdleAndSaysSo) {
    test_support::RecordingMessageSink shown;
    ToolBoxPropertyPage page;
    page.CreatePage();
    platform::FailObjectCreationAfter(1);  // the stop event, then not the thread
    page.m_btnServerLog.click();
    platform::FailObjectCreationAfter(-1);
    EXPECT_EQ(page.m_nLogState, ToolBoxPropertyPage::kIdle);
    EXPECT_EQ(page.m_btnServerLog.text(), "Server Log");
    EXPECT_TRUE(page.m_ctlProgress.isHidden());
    EXPECT_EQ(shown.Texts(),
              std::vector<std::string>{
                  "The event log could not be read: its reader could not be started."});
}

TEST_F(ToolBoxTest, CancelStopsAStalledReadingAndTheNextOneStartsAfresh) {
    SetLog(100);
    Faults("/Getlog.cgi", {.action = device_emulator::ReplyAction::Stall});
    auto stalled = std::make_unique<ToolBoxPropertyPage>();
    stalled->CreatePage();
    stalled->m_btnServerLog.click();
    ASSERT_TRUE(device.WaitForRequests("/Getlog.cgi", 1, std::chrono::seconds(5)));
    const platform::Handle firstStop = stalled->m_hLogStopEvent;

    // The reader is woken from its wait on the stalled device and ends; one that missed its
    // stop would still be running.
    const std::size_t running = platform::RunningThreadCount();
    stalled->m_btnServerLog.click();
    EXPECT_LT(platform::RunningThreadCount(), running);
    EXPECT_EQ(stalled->m_nLogState, ToolBoxPropertyPage::kIdle);
    EXPECT_FALSE(stalled->m_hLogThread);
    EXPECT_EQ(stalled->m_btnServerLog.text(), "Server Log");
    EXPECT_TRUE(stalled->m_ctlProgress.isHidden());

    stalled->m_btnServerLog.click();
    EXPECT_NE(stalled->m_hLogStopEvent, firstStop);
    ASSERT_TRUE(device.WaitForRequests("/Getlog.cgi", 2, std::chrono::seconds(5)));
    // A late answer of the first reading does not end the second.
    ui::PostMessage(stalled->Handle(), ui::WM_SERVERLOGRESULT, kServerLogDone, 1);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(stalled->m_nLogState, ToolBoxPropertyPage::kReading);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Closing the sheet with a reading under way stops the reader.
    const std::size_t reading = platform::RunningThreadCount();
    stalled.reset();
    EXPECT_LT(platform::RunningThreadCount(), reading);
}

// ---------------------------------------------------------------------------------------------
// Log dialog

ServerLogEntry LogEntry(const EventLogEntry& entry) {
    ServerLogEntry out;
    const std::string bytes = device_emulator::EncodeEventLogEntry(entry);
    std::copy(bytes.begin(), bytes.end(), out.bytes.begin());
    return out;
}

TEST(ServerLogDialog, ListsTheEntriesAndFiltersThemByEvent) {
    const std::vector<ServerLogEntry> entries = {
        LogEntry({.event_id = 1, .date = {26, 1, 2}, .hour = 3, .minute = 4, .second = 5}),
        LogEntry({.event_id = 256, .channel = 4, .detail = "10.0.0.5"}),
        LogEntry({.event_id = 3, .channel = 16}),
        LogEntry({.event_id = 4096}),
        LogEntry({.event_id = 65535}),
        LogEntry({.event_id = 1, .hour = 23}),
        LogEntry({.event_id = 2048}),
        LogEntry({.event_id = 256, .detail = std::string(25, 'a')}),
    };
    CServerLogDlg dialog;
    dialog.plogList = entries.data();
    dialog.m_nLogCount = static_cast<int>(entries.size());
    dialog.OnInitDialog();
    const auto rows = [&] {
        std::vector<std::string> texts;
        for (int i = 0; i < dialog.m_ctlLogList.topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = dialog.m_ctlLogList.topLevelItem(i);
            texts.push_back(
                (item->text(0) + "|" + item->text(1) + "|" + item->text(2) + "|" + item->text(3))
                    .toStdString());
        }
        return texts;
    };
    const std::string aaa(21, 'a');
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          " 1|POWER ON|26-01-02 03:04:05|NO",
                          " 2|REMOTE LOGIN ( 10.0.0.5 )|26-12-10 00:00:00|4",
                          " 3|NO EVENT|26-12-10 00:00:00|16",
                          " 4|POWER ON|26-12-10 23:00:00|NO",
                          " 5|USB_ERROR|26-12-10 00:00:00|NO",
                          " 6|REMOTE LOGIN ( " + aaa + " )|26-12-10 00:00:00|NO",
                      }));
    EXPECT_EQ(dialog.m_ctlLogList.headerItem()->text(1), "EVENT");

    QCheckBox& powerOn = dialog.m_chkFilter[7];
    ASSERT_EQ(powerOn.text(), "POWER ON");
    EXPECT_TRUE(powerOn.isChecked());
    powerOn.click();
    EXPECT_FALSE(powerOn.isChecked());
    EXPECT_EQ(dialog.m_dwEventMask, 0xFFEu);
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          " 1|REMOTE LOGIN ( 10.0.0.5 )|26-12-10 00:00:00|4",
                          " 2|NO EVENT|26-12-10 00:00:00|16",
                          " 3|USB_ERROR|26-12-10 00:00:00|NO",
                          " 4|REMOTE LOGIN ( " + aaa + " )|26-12-10 00:00:00|NO",
                      }));
    // Event 3 also carries the video-loss bit; USB errors have no box.
    dialog.m_chkFilter[9].click();
    dialog.m_chkFilter[8].click();
    EXPECT_EQ(rows(), (std::vector<std::string>{" 1|USB_ERROR|26-12-10 00:00:00|NO"}));
    powerOn.click();
    dialog.m_chkFilter[8].click();
    EXPECT_EQ(rows().size(), 6u);
    EXPECT_EQ(rows()[1], " 2|REMOTE LOGIN ( 10.0.0.5 )|26-12-10 00:00:00|4");
}

}  // namespace
