#include "app/program_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "config/upgrade_firmware_dlg.h"
#include "protocol/device_fixture.h"

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
    EXPECT_EQ(device.Requests("/UpgradeFW.cgi").size(), 1u);
}

}  // namespace
