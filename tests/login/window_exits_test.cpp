// Every window of the login side can be left from every state, by its buttons, the window
// manager's close and Escape. The search and the address book have their tables beside their
// other tests.

#include "test_support/window_exits.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include "login/confirm_authority_dlg.h"
#include "login/connect_dialog.h"
#include "login/connecting_dlg.h"
#include "login/copy_program_dlg.h"
#include "login/information_dlg.h"
#include "login/login_dialog.h"
#include "login/mpeg4_stream_dlg.h"
#include "login_fixture.h"
#include "test_support/temp_folder.h"
#include "widgets/vtx_button.h"

namespace {

using device_emulator::ReplyAction;
using namespace test_support;

QPushButton* ButtonNamed(QDialog& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text().remove('&').compare(text, Qt::CaseInsensitive) == 0) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

template <class D>
std::function<QAbstractButton*(D&)> Named(const char* text) {
    return [text](D& dialog) { return ButtonNamed(dialog, text); };
}

template <class D>
void Nothing(D&) {}

using WindowExitsTest = test_support::LoginFixture;

TEST_F(WindowExitsTest, TheLoginWindow) {
    using W = LoginDialog;
    const auto cancel = [](W& w) -> QAbstractButton* { return w.Button(IDC_BTN_CANCEL); };
    const auto ways = ButtonCloseEscape<W>("Cancel", cancel);
    const auto filled = [this] {
        auto window = std::make_unique<W>();
        window->m_strUserName = "admin";
        window->m_strHost = "127.0.0.1";
        window->m_strPort = Port();
        return window;
    };
    const auto connect = [](W& w) {
        w.Edit(IDC_EDIT_PASSWORD)->setFocus();
        TypeToFocus("admin");
        test_support::KeyToFocus(Qt::Key_Return);
    };
    LeaveEveryWay<W>(filled, &W::DoModal,
                     {
                         {"filled in, the password to type", Nothing<W>, ways},
                         {"a refused Connect (no password)",
                          [this](W& w) {
                              const std::size_t shown = messages.Texts().size();
                              w.Button(IDC_BTN_CONNECT)->click();
                              ASSERT_EQ(messages.Texts().size(), shown + 1);
                          },
                          ways},
                     });
    LeaveEveryWay<W>([] { return std::make_unique<W>(); }, &W::DoModal,
                     {{"empty fields", Nothing<W>, ways}});

    Faults("/Login.cgi", {.action = ReplyAction::Stall});
    LeaveEveryWay<W>(
        filled, &W::DoModal,
        {{"a login waiting for a silent device",
          [this, connect](W& w) {
              connect(w);
              ASSERT_TRUE(PumpUntil([this] { return !device.Requests("/Login.cgi").empty(); }));
          },
          ways}});
}

TEST_F(WindowExitsTest, TheConnectWindowWhileTheDeviceIsSilent) {
    using W = CConnectProgressDlg;
    Faults("/Login.cgi", {.action = ReplyAction::Stall});
    LeaveEveryWay<W>(
        [this] {
            return std::make_unique<W>(nullptr, LoginTexts{"127.0.0.1", "admin", "admin", Port()});
        },
        &W::DoModal,
        {{"waiting for the login",
          [this](W&) {
              ASSERT_TRUE(PumpUntil([this] { return !device.Requests("/Login.cgi").empty(); }));
          },
          {CloseByWindowManager<W>(), PressEscape<W>()}}});
}

TEST_F(WindowExitsTest, TheSmallDialogs) {
    {
        using W = CConfirmAuthorityDlg;
        const auto make = [] { return std::make_unique<W>(); };
        std::vector<test_support::WindowExit<W>> ways = ButtonCloseEscape<W>("OK", Named<W>("OK"));
        ways.push_back(PressButton<W>("CANCEL", Named<W>("Cancel")));
        LeaveEveryWay<W>(make, &W::DoModal,
                         {{"empty fields", Nothing<W>, ways},
                          {"typed", [](W&) { TypeToFocus("admin"); }, ways}});
    }
    {
        using W = CMpeg4StreamDlg;
        const auto make = [] { return std::make_unique<W>(); };
        std::vector<test_support::WindowExit<W>> refused = {
            PressButton<W>("OK", Named<W>("OK"), false), CloseByWindowManager<W>(),
            PressEscape<W>()};
        LeaveEveryWay<W>(
            make, &W::DoModal,
            {{"as opened (every number out of range)", Nothing<W>, refused},
             {"a bit rate of 49", [](W& w) { w.m_editTargetBitRate->setText("49"); }, refused},
             {"numbers in range",
              [](W& w) {
                  w.m_editTargetBitRate->setText("1200");
                  w.m_editGOP->setText("30");
                  w.m_editImageWidth->setText("704");
                  w.m_editImageHeight->setText("576");
              },
              ButtonCloseEscape<W>("OK", Named<W>("OK"))}});
    }
    {
        using W = CConnectingDlg;
        int ended = 0;
        LeaveEveryWay<W>(
            [&ended] {
                auto window = std::make_unique<W>();
                window->m_endProgram = [&ended] { ++ended; };
                return window;
            },
            &W::DoModal,
            {{"waiting for the device", Nothing<W>,
              ButtonCloseEscape<W>("Cancel", Named<W>("Cancel"))}});
        EXPECT_EQ(ended, 0);
    }
    {
        using W = CApplicationInfoDialog;
        LeaveEveryWay<W>(
            [] { return std::make_unique<W>(); }, &W::DoModal,
            {{"shown", Nothing<W>, ButtonCloseEscape<W>("OK", [](W& w) { return w.m_OKButton; })}});
    }
}

TEST_F(WindowExitsTest, TheCopyProgramWindow) {
    using W = CCopyProgramDlg;
    test_support::TempFolder source;
    test_support::TempFolder target;
    const auto make = [&] {
        return std::make_unique<W>(nullptr, source.Path().string(), target.Path().string());
    };
    LeaveEveryWay<W>(
        make, &W::DoModal,
        {{"before the copy begins", Nothing<W>, {CloseByWindowManager<W>(), PressEscape<W>()}},
         {"copied", [](W& w) { ASSERT_TRUE(PumpUntil([&w] { return w.m_btnOK->isEnabled(); })); },
          ButtonCloseEscape<W>("OK", [](W& w) { return w.m_btnOK; })}});
}

}  // namespace
