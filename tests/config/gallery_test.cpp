// Pictures of the configuration windows as a user meets them, saved for the gallery, with the
// checks that each shows what the user needs to read.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTabBar>
#include <functional>
#include <memory>

#include "config/camera_page.h"
#include "config/detection_edit_dlg.h"
#include "config/device_page.h"
#include "config/dlg_get_path.h"
#include "config/download_progress_dlg.h"
#include "config/mail_page.h"
#include "config/my_system_dialog.h"
#include "config/peripheral_pages.h"
#include "config/schedule_record_page.h"
#include "config/server_log_dlg.h"
#include "config/upgrade_firmware_dlg.h"
#include "config/video_adjust_dlg.h"
#include "config_fixture.h"
#include "platform/paths.h"
#include "test_support/initialised.h"
#include "test_support/screenshot.h"

namespace {

using test_support::SaveScreenshot;

class GalleryTest : public test_support::ConfigFixture {};

TEST_F(GalleryTest, EveryPageOfTheSheetWithAllTabTitlesInSight) {
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    const QTabBar& tabs = *sheet.m_tabs.tabBar();
    for (std::size_t i = 0; i < sheet.Pages().size(); ++i) {
        CConfigPage* page = sheet.Pages()[i];
        sheet.SetActivePage(page);
        const std::string caption = page->Caption().toStdString();
        const QString file = page->Caption().trimmed().toLower().replace(' ', '-');
        SaveScreenshot(
            sheet, QString("sheet-%1-%2").arg(i + 1, 2, 10, QChar('0')).arg(file).toStdString());
        // Each title whole and inside the bar: none behind scroll arrows, none cut at an edge.
        const int index = static_cast<int>(i);
        EXPECT_TRUE(tabs.rect().contains(tabs.tabRect(index))) << caption;
        EXPECT_GE(tabs.tabRect(index).width(),
                  QFontMetrics(tabs.font()).horizontalAdvance(page->Caption()))
            << caption;
    }
    EXPECT_EQ(sheet.Pages().size(), 14u);
    EXPECT_TRUE(sheet.rect().contains(sheet.m_btnApply.geometry()));
    // Fields of one short value stay about as wide as the value, however wide the sheet.
    const std::pair<const QLineEdit*, QString> fields[] = {
        {&sheet.m_NetworkPage.m_editWebPort, "65535"},
        {&sheet.m_FtpPage.m_editPort, "65535"},
        {&sheet.m_AccountPage.m_editMaxUsers, "5"},
        {&sheet.m_ToolBoxPage.m_editMaxLogList, "1000"},
    };
    for (const auto& [field, value] : fields) {
        const QFontMetrics metrics(field->font());
        EXPECT_GT(field->width(), metrics.horizontalAdvance(value)) << value.toStdString();
        EXPECT_LT(field->width(), metrics.horizontalAdvance(value) + 6 * metrics.averageCharWidth())
            << value.toStdString();
    }
}

TEST_F(GalleryTest, TheDialogsOfThePages) {
    FetchSections();
    const std::string longPath = "/home/operator/firmware/releases/2026/KERNEL.BIN";
    const std::string longAddress = "night-shift.supervisor@warehouse-east.example.org";
    ASSERT_EQ(longAddress.size(), 49u);

    CUpgradeFirmwareDlg upgrade;
    upgrade.OnInitDialog();
    upgrade.m_ctlFile.setText(QString::fromStdString(longPath));
    SaveScreenshot(upgrade, "firmware-upgrade");
    EXPECT_GE(upgrade.m_ctlFile.width(),
              QFontMetrics(upgrade.m_ctlFile.font()).horizontalAdvance(upgrade.m_ctlFile.text()));

    CMailAccountEditDlg mail("Mail to :", longAddress);
    SaveScreenshot(mail, "mail-recipient-edit");
    EXPECT_GE(mail.m_editAddress.width(),
              QFontMetrics(mail.m_editAddress.font()).horizontalAdvance(mail.m_editAddress.text()));

    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> others[] = {
        {"device-row-edit", [] { return std::make_unique<CDeviceEditDlg>(); }},
        {"detection-row-edit", [] { return std::make_unique<CDetectionEditDlg>(); }},
        {"camera-row-edit", [] { return std::make_unique<CCameraEditDlg>(); }},
        {"ptz-chooser", [] { return std::make_unique<CSelectPTZDlg>(); }},
        {"schedule-time", [] { return std::make_unique<CTimeSettingDlg>(); }},
        {"event-log", [] { return test_support::Initialised<CServerLogDlg>(); }},
        {"folder-browser", [] { return test_support::Initialised<CDlgGetPath>(); }},
    };
    DownloadFilePage backupPage;
    CDownloadProgressDlg backupProgress(nullptr, backupPage);
    SaveScreenshot(backupProgress, "network-backup-progress");
    for (const auto& [name, make] : others) {
        std::unique_ptr<QWidget> window = make();
        SaveScreenshot(*window, name);
    }
}

TEST_F(GalleryTest, PictureAdjustWithAndWithoutItsSkin) {
    FetchSections();
    for (const bool skinned : {true, false}) {
        platform::SetProgramFolder(skinned ? std::filesystem::path(TORVEL_SKIN_DIR)
                                           : std::filesystem::path());
        CVideoAdjustDlg dialog;
        dialog.OnInitDialog();
        platform::SetProgramFolder({});
        const QImage picture =
            SaveScreenshot(dialog, skinned ? "picture-adjust" : "picture-adjust-without-skin");
        // OK, Cancel and Default show something a user can press either way.
        for (const ui::CVtxButton* button :
             {&dialog.m_btnOK, &dialog.m_btnCancel, &dialog.m_btnDefault}) {
            const QImage face = picture.copy(button->geometry());
            bool plain = true;
            const QRgb first = face.pixel(0, 0);
            for (int y = 0; y < face.height() && plain; ++y) {
                for (int x = 0; x < face.width() && plain; ++x) {
                    plain = face.pixel(x, y) == first;
                }
            }
            EXPECT_FALSE(plain) << button->text().toStdString() << (skinned ? " skinned" : "");
        }
    }
}

}  // namespace
