// The windows on a small screen at a large scale: 1280 x 720 at scale 2 leaves 640 x 360 for
// windows that were drawn for 722 x 680 and more. Each opens inside the screen, and every part
// of it can be scrolled into sight.

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <filesystem>
#include <functional>

#include "config/my_system_dialog.h"
#include "kernel/kernel_object.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/paths.h"
#include "recording/recorder_set.h"
#include "status_line_on_screen.h"
#include "test_support/pump.h"
#include "ui/message_ids.h"
#include "ui/window_message.h"
#include "video/live_pipeline.h"

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

}  // namespace
