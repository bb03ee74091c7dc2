// The windows on a small screen at a large scale: 1280 x 720 at scale 2 leaves 640 x 360 for
// windows that were drawn for 722 x 680 and more. Every window of the program opens inside the
// screen's free area with the frame the window manager puts round it, also after it has grown,
// and every part of one drawn larger than the screen can be scrolled into sight.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <filesystem>
#include <functional>
#include <memory>

#include "config/camera_page.h"
#include "config/detection_edit_dlg.h"
#include "config/device_page.h"
#include "config/dlg_get_path.h"
#include "config/download_file_page.h"
#include "config/download_progress_dlg.h"
#include "config/file_open_dialog.h"
#include "config/mail_page.h"
#include "config/my_system_dialog.h"
#include "config/peripheral_pages.h"
#include "config/schedule_record_page.h"
#include "config/server_log_dlg.h"
#include "config/upgrade_firmware_dlg.h"
#include "config/video_adjust_dlg.h"
#include "kernel/kernel_object.h"
#include "login/address_book.h"
#include "login/confirm_authority_dlg.h"
#include "login/connect_dialog.h"
#include "login/connecting_dlg.h"
#include "login/copy_program_dlg.h"
#include "login/information_dlg.h"
#include "login/login_dialog.h"
#include "login/mpeg4_stream_dlg.h"
#include "login/search_dlg.h"
#include "mainwindow/main_window_dialogs.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/paths.h"
#include "recording/recorder_set.h"
#include "status_line_on_screen.h"
#include "test_support/answer_dialog.h"
#include "test_support/initialised.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "ui/window_message.h"
#include "video/live_pipeline.h"
#include "widgets/window_fit.h"

namespace {

class SmallScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lpApp = m_app.get();
        platform::SetProgramFolder(TORVEL_SKIN_DIR);
        CDeviceList& list = g_lpApp->m_DeviceList;
        list.Add(0, 0, 19, CDeviceList::kMasterKind);
        list.Select(CDeviceList::kMasterKind, 0);
        m_app->m_wUserLevel = 30;
    }
    void TearDown() override {
        platform::SetProgramFolder({});
        g_lpApp = nullptr;
    }

    static QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // Shows the window, lets it paint and saves it for the gallery.
    static void Save(QWidget& window, const std::string& name) {
        std::filesystem::create_directories(TORVEL_SCREENSHOT_DIR);
        test_support::PumpUntil([] { return false; }, 30);
        EXPECT_TRUE(window.grab().save(
            QString::fromStdString(std::string(TORVEL_SCREENSHOT_DIR) + "/" + name + ".png")));
    }

    // Scrolls `child` into sight and checks that all of it is then inside the window.
    static void ExpectReachable(QWidget& window, QWidget& child) {
        auto* scroll = window.findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        scroll->ensureWidgetVisible(&child, 0, 0);
        const QRect shown(child.mapTo(&window, QPoint(0, 0)), child.size());
        EXPECT_TRUE(window.rect().contains(shown))
            << child.objectName().toStdString() << " at " << shown.x() << "," << shown.y();
    }

    // Shows the window and checks that it lies inside the free area with its frame, the frame
    // the window system told or, before it tells one, the one the fit allows for.
    static void ExpectInside(QWidget& window, const std::string& name) {
        SCOPED_TRACE(name);
        if (!window.isVisible()) {
            window.show();
        }
        if (!(window.windowFlags() & Qt::FramelessWindowHint)) {
            test_support::PumpUntil([&] { return window.frameGeometry() != window.geometry(); },
                                    2'000);
        }
        const QRect framed = window.geometry().marginsAdded(ui::WindowFrame(window));
        EXPECT_TRUE(Area().contains(framed)) << name << ": " << framed.x() << "," << framed.y()
                                             << " " << framed.width() << "x" << framed.height();
        EXPECT_TRUE(Area().contains(window.frameGeometry())) << name;
    }

    std::unique_ptr<KernelObject> m_app = std::make_unique<KernelObject>();
};

TEST_F(SmallScreenTest, TheScreenIsSmallAndScaled) {
    EXPECT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    EXPECT_EQ(Area().size(), QSize(640, 360));
}

TEST_F(SmallScreenTest, MainWindowWithItsKeyPanelFitsAndScrollsToEveryKey) {
    LivePipeline pipeline;
    recording::RecorderSet recorders;
    CTorvelDlg dlg({pipeline, recorders, {}, {}});
    dlg.CreateSkinControls();
    dlg.show();
    dlg.m_bPanelExpanded = true;
    dlg.RelayoutControls();
    dlg.ApplyLayoutMode();
    EXPECT_TRUE(Area().contains(dlg.frameGeometry()));
    // The window's picture and controls keep their size; only the view onto them is smaller.
    auto* scroll = dlg.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    const LayoutRow& L = LayoutRectTable[m_app->m_wLayoutMode];
    EXPECT_EQ(scroll->widget()->size(), QSize(L[6] - L[4], L[7] - L[5]));
    EXPECT_EQ(dlg.VideoArea()->size(), QSize(L[14] - L[12], L[15] - L[13]));

    int keys = 0;
    for (ui::CVtxButton* button : dlg.findChildren<ui::CVtxButton*>()) {
        if (button->isVisible()) {
            ExpectReachable(dlg, *button);
            ++keys;
        }
    }
    EXPECT_GT(keys, 40);
    // The arrow, playback and close keys of the panel, at the bottom right.
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    Save(dlg, "small-screen-main-window-panel");
}

TEST_F(SmallScreenTest, EveryStatusTextReachesTheScreenOnAScrolledPage) {
    LivePipeline pipeline;
    recording::RecorderSet recorders;
    CTorvelDlg dlg({pipeline, recorders, {}, {}});
    dlg.CreateSkinControls();
    dlg.show();
    // The line stays in sight, but no longer where the page puts it in the window.
    auto* scroll = dlg.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    ASSERT_GT(scroll->verticalScrollBar()->maximum(), 20);
    scroll->verticalScrollBar()->setValue(20);
    // A notice holds the texts that come after it, so it comes last.
    const struct {
        const char* route;
        std::function<void()> show;
        std::string text;
    } cases[] = {
        {"a re-login code", [&] { ui::PostMessage(dlg.Handle(), ui::WM_SHOWSTATUS, 0, 1); },
         "Start login"},
        {"a status text", [&] { dlg.ShowStatusText("No picture for 7 s"); }, "No picture for 7 s"},
        {"a notice", [&] { dlg.ShowNoticeText("Snapshot 20261211093000.jpg saved"); },
         "Snapshot 20261211093000.jpg saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        c.show();
        EXPECT_TRUE(test_support::PumpUntil(
            [&] { return test_support::ShowsStatusText(dlg, c.text); }, 5'000));
    }
}

TEST_F(SmallScreenTest, SheetTabsScrollAndTheSheetScrollsToItsButtons) {
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    sheet.show();
    EXPECT_TRUE(Area().contains(sheet.frameGeometry()))
        << sheet.frameGeometry().x() << "," << sheet.frameGeometry().y() << " "
        << sheet.frameGeometry().width() << "x" << sheet.frameGeometry().height() << " "
        << sheet.geometry().width() << "x" << sheet.geometry().height();
    const QTabBar& tabs = *sheet.m_tabs.tabBar();
    EXPECT_TRUE(tabs.usesScrollButtons());
    // Every title whole: scrolled to, not cut or elided.
    for (int i = 0; i < tabs.count(); ++i) {
        EXPECT_GE(tabs.tabRect(i).width(), tabs.fontMetrics().horizontalAdvance(tabs.tabText(i)))
            << tabs.tabText(i).toStdString();
    }
    Save(sheet, "small-screen-sheet");
    ExpectReachable(sheet, sheet.m_btnApply);
    ExpectReachable(sheet, sheet.m_btnExit);
    Save(sheet, "small-screen-sheet-buttons");
}

// The sheet scrolled to its buttons, APPLY with a port refused: the field to correct comes back
// into sight, selected, and the sheet stays.
TEST_F(SmallScreenTest, ARefusedFieldIsScrolledIntoSight) {
    test_support::RecordingMessageSink boxes;
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    sheet.show();
    QLineEdit& port = sheet.m_NetworkPage.m_editWebPort;
    port.setText("0");
    ExpectReachable(sheet, sheet.m_btnApply);
    const auto inSight = [&] {
        return sheet.rect().contains(QRect(port.mapTo(&sheet, QPoint(0, 0)), port.size()));
    };
    ASSERT_FALSE(inSight());
    sheet.m_btnApply.click();
    test_support::PumpUntil([&] { return !boxes.Texts().empty(); }, 5'000);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Enter a whole number from 1 to 65535."});
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(port.selectedText(), "0");
    EXPECT_TRUE(inSight());
}

TEST_F(SmallScreenTest, TheLoginSideWindows) {
    test_support::TempFolder folder;
    LoginDialog login;
    login.OnInitDialog();
    ExpectInside(login, "login window");

    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> windows[] = {
        {"address book",
         [&folder] {
             platform::SetProgramFolder(folder.Path());
             auto book = std::make_unique<CAddressBookDialog>();
             book->OnInitDialog();
             platform::SetProgramFolder(TORVEL_SKIN_DIR);
             return book;
         }},
        {"LAN search", [] { return std::make_unique<CSearchDlg>(); }},
        {"confirm authority", [] { return std::make_unique<CConfirmAuthorityDlg>(); }},
        {"information", [] { return test_support::Initialised<CApplicationInfoDialog>(); }},
        {"stream settings", [] { return std::make_unique<CMpeg4StreamDlg>(); }},
        {"connecting", [] { return std::make_unique<CConnectingDlg>(); }},
        {"login progress",
         [] {
             return std::make_unique<CConnectProgressDlg>(
                 nullptr, LoginTexts{"127.0.0.1", "admin", "", "80"});
         }},
        {"program copy",
         [&folder] {
             return std::make_unique<CCopyProgramDlg>(nullptr, folder.Path().string(),
                                                      folder.Path().string());
         }},
    };
    for (const auto& [name, make] : windows) {
        std::unique_ptr<QWidget> window = make();
        ExpectInside(*window, name);
    }
}

TEST_F(SmallScreenTest, TheMainWindowAndItsAbout) {
    LivePipeline pipeline;
    recording::RecorderSet recorders;
    CTorvelDlg dlg({pipeline, recorders, {}, {}});
    dlg.CreateSkinControls();
    ExpectInside(dlg, "main window");
    CAboutDlg about;
    ExpectInside(about, "about");
}

TEST_F(SmallScreenTest, TheSheetWithEachPage) {
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    for (CConfigPage* page : sheet.Pages()) {
        sheet.SetActivePage(page);
        ExpectInside(sheet, "sheet, page " + page->Caption().trimmed().toStdString());
    }
}

TEST_F(SmallScreenTest, TheDialogsOfThePages) {
    DownloadFilePage backupPage;
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> windows[] = {
        {"device Edit", [] { return std::make_unique<CDeviceEditDlg>(); }},
        {"camera Edit", [] { return std::make_unique<CCameraEditDlg>(); }},
        {"detection Edit", [] { return std::make_unique<CDetectionEditDlg>(); }},
        {"mail recipient Edit",
         [] {
             return std::make_unique<CMailAccountEditDlg>(
                 "Mail to :", "night-shift.supervisor@warehouse-east.example.org");
         }},
        {"PTZ chooser", [] { return std::make_unique<CSelectPTZDlg>(); }},
        {"schedule time", [] { return std::make_unique<CTimeSettingDlg>(); }},
        {"server log", [] { return test_support::Initialised<CServerLogDlg>(); }},
        {"folder browser", [] { return test_support::Initialised<CDlgGetPath>(); }},
        {"firmware upgrade", [] { return test_support::Initialised<CUpgradeFirmwareDlg>(); }},
        {"network backup progress",
         [&backupPage] { return std::make_unique<CDownloadProgressDlg>(nullptr, backupPage); }},
        {"picture adjust", [] { return test_support::Initialised<CVideoAdjustDlg>(); }},
    };
    for (const auto& [name, make] : windows) {
        std::unique_ptr<QWidget> window = make();
        ExpectInside(*window, name);
    }

    // The open-file box of the firmware and alarm-sound pickers.
    bool answered = false;
    test_support::AnswerNextDialog<QFileDialog>([&answered](QFileDialog& box) {
        ExpectInside(box, "open-file box");
        answered = true;
        box.reject();
    });
    ChooseFileToOpen(nullptr, {"Firmware|*.bin||", "bin", "", ""});
    EXPECT_TRUE(answered);
}

// The line of a row editor wider than the screen scrolls to OK at its end.
TEST_F(SmallScreenTest, TheCameraEditScrollsToItsOK) {
    CCameraEditDlg edit;
    ExpectInside(edit, "camera Edit");
    ExpectReachable(edit, edit.m_btnOK);
}

// Setup grows the detection Edit by the picture below its line: grown, it is fitted again, and
// its page scrolls to the picture's last row and the area buttons.
TEST_F(SmallScreenTest, TheDetectionEditAfterSetupGrows) {
    CDetectionEditDlg edit;
    ExpectInside(edit, "detection Edit");
    edit.move(Area().topLeft() + QPoint(0, Area().height() / 2));
    edit.m_btnSetup.click();
    EXPECT_TRUE(edit.m_fAreaEditing);
    ExpectInside(edit, "detection Edit after Setup");
    ExpectReachable(edit, edit.m_btnSelectAll);
    ExpectReachable(edit, edit.m_btnClearAll);
}

}  // namespace
