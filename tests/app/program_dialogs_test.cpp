#include "app/program_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>

#include "config/upgrade_firmware_dlg.h"
#include "login/address_book.h"
#include "login/ip_record_file.h"
#include "login/login_dialog.h"
#include "login/search_dlg.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "protocol/device_fixture.h"
#include "test_support/answer_dialog.h"
#include "test_support/search_loopback.h"
#include "test_support/temp_folder.h"
#include "test_support/window_exits.h"

namespace {

using ProgramDialogsTest = test_support::DeviceFixture;

// The login window's firmware button ends in this hook once a supervisor has logged in.
TEST_F(ProgramDialogsTest, TheUpgradeHookRunsTheFirmwareDialogWithoutAParent) {
    device.Update([](device_emulator::Settings& s) { s.identity.check_cookie = false; });
    CUpgradeFirmwareDlg* shown = nullptr;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<CUpgradeFirmwareDlg*>(window);
                dialog != nullptr && dialog->isVisible()) {
                shown = dialog;
                parent = dialog->parentWidget();
                dialog->m_btnCancel.click();
            }
        }
    });
    ProgramLoginDialogHooks().upgradeFirmware();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(parent, nullptr);
    // The cancel request goes out after the window has gone.
    EXPECT_TRUE(device.WaitForRequests("/UpgradeFW.cgi", 1, std::chrono::seconds(10)));
    EXPECT_EQ(device.Requests("/UpgradeFW.cgi").size(), 1u);
}

// A device taken from the address book or the search leaves the cursor in the password field,
// not on the icon that opened the other window: the password typed next goes in, and Enter logs
// in rather than opening that window again.
TEST_F(ProgramDialogsTest, AfterTheBookOrTheSearchThePasswordIsTypedAndEnterLogsIn) {
    using test_support::KeyToFocus;
    test_support::TempFolder folder;
    platform::SetProgramFolder(folder.Path());
    ASSERT_TRUE(WriteIPRecordFile(folder.Path() / "IPRecord.dat",
                                  {{"admin", "127.0.0.1", "", device.Port()}}));
    const LanSearchEndpoints endpoints = test_support::LoopbackSearch(device);
    // The search's 5 s of silence pass in a fraction of that.
    platform::SetClockSpeed(25.0);
    LoginDialogHooks hooks = ProgramLoginDialogHooks();
    // The program's search, on loopback.
    hooks.search = [&endpoints](QWidget* parent) {
        CSearchDlg search(parent, endpoints);
        search.DoModal();
        return search.Choice();
    };
    const struct {
        const char* name;
        int icon;
        std::function<void()> choose;
    } sources[] = {
        {"the address book", IDC_BTN_ADDRESS,
         [] {
             test_support::AnswerNextDialog<CAddressBookDialog>(
                 [](CAddressBookDialog&) { KeyToFocus(Qt::Key_Return); });
         }},
        {"the search", IDC_BTN_SEARCH,
         [] {
             test_support::AnswerNextDialog<CSearchDlg>([](CSearchDlg& search) {
                 ASSERT_TRUE(test_support::PumpUntil([&search] { return !search.Searching(); }));
                 QTreeWidgetItem* row = search.m_DeviceList->topLevelItem(0);
                 ASSERT_NE(row, nullptr);
                 QTest::mouseClick(search.m_DeviceList->viewport(), Qt::LeftButton, {},
                                   search.m_DeviceList->visualItemRect(row).center());
                 search.m_btnOK->setFocus(Qt::TabFocusReason);
                 KeyToFocus(Qt::Key_Space);
             });
         }},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.name);
        LoginDialog window(nullptr, hooks);
        window.m_strUserName = "admin";
        QTimer::singleShot(0, &window, [&] {
            ASSERT_TRUE(test_support::PumpUntil([&] { return window.isActiveWindow(); }));
            source.choose();
            QTest::mouseClick(window.Button(source.icon), Qt::LeftButton);
            // The window manager gives the login window back its activation (the offscreen
            // screen has no window manager to do it).
            window.activateWindow();
            ASSERT_TRUE(test_support::PumpUntil([&] { return window.isActiveWindow(); }));
            EXPECT_EQ(QApplication::focusWidget(), window.Edit(IDC_EDIT_PASSWORD));
            test_support::TypeToFocus("admin");
            KeyToFocus(Qt::Key_Return);
        });
        QTimer::singleShot(60'000, &window, [&window] { window.done(-100); });
        EXPECT_EQ(window.DoModal(), LoginDialog::kResultOk);
        EXPECT_EQ(window.Edit(IDC_EDIT_HOST)->text(), "127.0.0.1");
        EXPECT_EQ(window.Edit(IDC_EDIT_PORT)->text(), QString::number(device.Port()));
    }
    platform::SetClockSpeed(1.0);
    platform::SetProgramFolder({});
}

}  // namespace
