// Every configuration window can be left from every state, by its buttons, the window manager's
// close and Escape: the sheet, the picture adjust, the PTZ chooser, the event log, the folder
// browser and the small editors of the pages. The backup download and the firmware upgrade have
// theirs beside their other tests.

#include "test_support/window_exits.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "config/camera_page.h"
#include "config/detection_edit_dlg.h"
#include "config/device_page.h"
#include "config/dlg_get_path.h"
#include "config/mail_page.h"
#include "config/my_system_dialog.h"
#include "config/peripheral_pages.h"
#include "config/schedule_record_page.h"
#include "config/server_log_dlg.h"
#include "config/video_adjust_dlg.h"
#include "config_fixture.h"
#include "test_support/temp_folder.h"

namespace {

using device_emulator::ReplyAction;
using namespace test_support;

template <class D>
void Nothing(D&) {}

// A member button of the window, for PressButton.
template <class D, class B>
std::function<QAbstractButton*(D&)> Member(B D::*button) {
    return [button](D& dialog) -> QAbstractButton* { return &(dialog.*button); };
}

class WindowExitsTest : public test_support::ConfigFixture {
protected:
    WindowExitsTest() { FetchSections(); }

    // Types `text` over the field's text, as a user does.
    static void Retype(QLineEdit& field, const QString& text) {
        field.setFocus(Qt::TabFocusReason);
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) {
            QTest::keyClick(&field, Qt::Key_Delete);
        } else {
            QTest::keyClicks(&field, text);
        }
    }

    // A press of a button that must be refused with one box.
    void PressRefused(QAbstractButton& button) {
        const std::size_t shown = messages.Texts().size();
        button.click();
        ASSERT_EQ(messages.Texts().size(), shown + 1);
    }
};

TEST_F(WindowExitsTest, TheSheet) {
    using W = MySystemDialog;
    const auto make = [] { return std::make_unique<W>("System setting", nullptr, 0); };
    const WindowExit<W> exit = PressButton<W>("EXIT", Member(&W::m_btnExit));
    const WindowExit<W> apply = PressButton<W>("APPLY", Member(&W::m_btnApply));
    const WindowExit<W> refusedApply = PressButton<W>("APPLY", Member(&W::m_btnApply), false);
    const WindowExit<W> close = CloseByWindowManager<W>();
    const WindowExit<W> escape = PressEscape<W>();
    LeaveEveryWay<W>(make, &W::DoModal,
                     {
                         {"as opened", Nothing<W>, {exit, apply, close, escape}},
                         {"a refused web port",
                          [this](W& w) {
                              Retype(w.m_NetworkPage.m_editWebPort, "0");
                              PressRefused(w.m_btnApply);
                          },
                          {exit, refusedApply, close, escape}},
                         {"PPPoE without DDNS",
                          [this](W& w) {
                              w.m_NetworkPage.m_radioPppoe.click();
                              PressRefused(w.m_btnApply);
                          },
                          {exit, refusedApply, close, escape}},
                         {"an account being added (EXIT and APPLY off)",
                          [](W& w) {
                              w.SetActivePage(&w.m_AccountPage);
                              w.m_AccountPage.m_btnAdd.click();
                              ASSERT_FALSE(w.m_btnExit.isEnabled());
                          },
                          {close, escape}},
                     });
    Faults("/SetSysCfg.cgi", {.action = ReplyAction::Stall});
    LeaveEveryWay<W>(
        make, &W::DoModal,
        {{"APPLY waiting for a silent device",
          [this](W& w) {
              // The buffers keep what an earlier sheet wrote: each run changes it.
              w.SetActivePage(&w.m_FtpPage);
              Retype(w.m_FtpPage.m_editDirectory, w.m_FtpPage.m_editDirectory.text() + "x");
              device.ClearRequests();
              w.m_btnApply.click();
              ASSERT_TRUE(PumpUntil([this] { return !device.Requests("/SetSysCfg.cgi").empty(); }));
              ASSERT_TRUE(w.IsWaitingForDevice());
          },
          {close, escape}}});
}

TEST_F(WindowExitsTest, ThePictureAdjust) {
    using W = CVideoAdjustDlg;
    const auto make = [] {
        auto window = std::make_unique<W>();
        for (int row = 0; row < W::kRows; ++row) {
            window->m_nCurrent[row] = g_lpApp->m_SysCfg.IMG[W::kFirstImgByte + row];
        }
        return window;
    };
    // OK sends the values and leaves the window open.
    const WindowExit<W> ok = PressButton<W>("OK", Member(&W::m_btnOK), false);
    const WindowExit<W> cancel = PressButton<W>("Cancel", Member(&W::m_btnCancel));
    const WindowExit<W> closeButton = PressButton<W>("the close button", Member(&W::m_btnClose));
    const WindowExit<W> close = CloseByWindowManager<W>();
    const WindowExit<W> escape = PressEscape<W>();
    LeaveEveryWay<W>(make, &W::DoModal,
                     {{"as opened", Nothing<W>, {ok, cancel, closeButton, close, escape}},
                      {"a value out of range",
                       [](W& w) { Retype(w.m_edits[2], "999"); },
                       {ok, cancel, closeButton, close, escape}}});
    Faults("/SetSysCfg.cgi", {.action = ReplyAction::Stall});
    LeaveEveryWay<W>(
        make, &W::DoModal,
        {{"OK waiting for a silent device",
          [this](W& w) {
              Retype(w.m_edits[0], "77");
              w.m_btnOK.click();
              ASSERT_TRUE(PumpUntil([this] { return !device.Requests("/SetSysCfg.cgi").empty(); }));
          },
          {cancel, closeButton, close, escape}}});
}

TEST_F(WindowExitsTest, ThePtzChooserTheEventLogAndTheFolderBrowser) {
    {
        using W = CSelectPTZDlg;
        const auto make = [] { return std::make_unique<W>(); };
        const std::vector<WindowExit<W>> others = {
            PressButton<W>("Cancel", Member(&W::m_btnCancel)), CloseByWindowManager<W>(),
            PressEscape<W>()};
        std::vector<WindowExit<W>> all = others;
        all.push_back(PressButton<W>("OK", Member(&W::m_btnOk)));
        std::vector<WindowExit<W>> refused = others;
        refused.push_back(PressButton<W>("OK", Member(&W::m_btnOk), false));
        LeaveEveryWay<W>(make, &W::DoModal,
                         {{"as opened", Nothing<W>, all},
                          {"an empty number", [](W& w) { Retype(w.m_editNumber, ""); }, refused}});
    }
    {
        using W = CServerLogDlg;
        LeaveEveryWay<W>(
            [] { return std::make_unique<W>(); }, &W::DoModal,
            {{"as opened", Nothing<W>, ButtonCloseEscape<W>("OK", Member(&W::m_btnOK))}});
    }
    {
        using W = CDlgGetPath;
        test_support::TempFolder root;
        test_support::TempFolder mounts;
        std::filesystem::create_directory(root.Path() / "records");
        const auto make = [&] {
            return std::make_unique<W>(nullptr, std::vector{root.Path()}, mounts.Path() / "mounts");
        };
        const auto cancel = [](W& w) -> QAbstractButton* {
            for (QPushButton* button : w.findChildren<QPushButton*>()) {
                if (button->text() == "CANCEL") {
                    return button;
                }
            }
            return nullptr;
        };
        LeaveEveryWay<W>(
            make, &W::DoModal,
            {{"nothing chosen",
              Nothing<W>,
              {PressButton<W>("CANCEL", cancel), CloseByWindowManager<W>(), PressEscape<W>()}},
             {"a folder chosen",
              [](W& w) {
                  w.m_ctlTree->setCurrentItem(w.m_ctlTree->topLevelItem(0));
                  ASSERT_TRUE(w.m_btnOK->isEnabled());
              },
              {PressButton<W>("OK", [](W& w) -> QAbstractButton* { return w.m_btnOK; }),
               PressButton<W>("CANCEL", cancel), CloseByWindowManager<W>(), PressEscape<W>()}}});
    }
}

TEST_F(WindowExitsTest, TheEditorsOfThePages) {
    {
        using W = CMailAccountEditDlg;
        const auto make = [] { return std::make_unique<W>("Mail address :", "a@example.com"); };
        const WindowExit<W> cancel = PressButton<W>("Cancel", Member(&W::m_btnCancel));
        LeaveEveryWay<W>(make, &W::DoModal,
                         {{"as opened",
                           Nothing<W>,
                           {PressButton<W>("OK", Member(&W::m_btnOK)), cancel,
                            CloseByWindowManager<W>(), PressEscape<W>()}},
                          {"an address too long",
                           [](W& w) { Retype(w.m_editAddress, QString(80, 'a')); },
                           {PressButton<W>("OK", Member(&W::m_btnOK), false), cancel,
                            CloseByWindowManager<W>(), PressEscape<W>()}}});
    }
    {
        using W = CTimeSettingDlg;
        LeaveEveryWay<W>([] { return std::make_unique<W>(); }, &W::DoModal,
                         {{"as opened",
                           Nothing<W>,
                           {PressButton<W>("OK", Member(&W::m_btnOK)),
                            PressButton<W>("Cancel", Member(&W::m_btnCancel)),
                            CloseByWindowManager<W>(), PressEscape<W>()}}});
    }
    // The row editors have OK only; a refused value leaves them to the window's close.
    {
        using W = CCameraEditDlg;
        LeaveEveryWay<W>(
            [] { return std::make_unique<W>(); }, &W::DoModal,
            {{"as opened", Nothing<W>, ButtonCloseEscape<W>("OK", Member(&W::m_btnOK))},
             {"a brightness of 256",
              [](W& w) { Retype(w.m_edBrightness, "256"); },
              {PressButton<W>("OK", Member(&W::m_btnOK), false), CloseByWindowManager<W>(),
               PressEscape<W>()}}});
    }
    {
        using W = CDetectionEditDlg;
        LeaveEveryWay<W>(
            [] { return std::make_unique<W>(); }, &W::DoModal,
            {{"as opened", Nothing<W>, ButtonCloseEscape<W>("OK", Member(&W::m_btnOK))}});
    }
    {
        using W = CDeviceEditDlg;
        LeaveEveryWay<W>(
            [] { return std::make_unique<W>(); }, &W::DoModal,
            {{"as opened", Nothing<W>, ButtonCloseEscape<W>("OK", Member(&W::m_btnOK))}});
    }
}

}  // namespace
