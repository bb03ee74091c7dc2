#pragma once

// "System setting": the property sheet over the device's configuration sections. The main window
// fetches the sections into KernelObject's buffers and runs the sheet; EXIT closes it sending
// nothing, APPLY takes every created page into the buffers, sends each section that changed, one
// request per section in a fixed order, and closes the sheet with result 3. The sends run as one
// command off the window's thread; closing the sheet meanwhile cancels them.

#include <QDialog>
#include <QPushButton>
#include <QTabWidget>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "config/account_page.h"
#include "config/alarm_data_page.h"
#include "config/alarm_page.h"
#include "config/alarm_trigger_page.h"
#include "config/camera_page.h"
#include "config/config_sheet.h"
#include "config/detection_page.h"
#include "config/device_page.h"
#include "config/dialog_command.h"
#include "config/dns_page.h"
#include "config/download_file_page.h"
#include "config/ftp_page.h"
#include "config/mail_page.h"
#include "config/network_config_page.h"
#include "config/online_user_page.h"
#include "config/peripheral_pages.h"
#include "config/record_page.h"
#include "config/schedule_record_page.h"
#include "config/tool_box_page.h"
#include "config/video_setting_page.h"
#include "widgets/window_fit.h"

class MySystemDialog : public QDialog, public ConfigSheet {
    Q_OBJECT

public:
    static constexpr int kIdExit = 8000;
    static constexpr int kIdApply = 8001;
    // The results of DoModal besides the framework's cancel.
    static constexpr int kResultExit = 0;
    static constexpr int kResultApplied = 3;
    static constexpr int kResultCancel = 2;

    MySystemDialog(const QString& caption, QWidget* parent, int firstPage);
    ~MySystemDialog() override;

    int DoModal();
    // Builds the buttons and the saved copy; DoModal runs it first.
    void OnInitDialog();
    void OnClickApply();
    void OnClickOK();

    bool RunDeviceCommand(std::function<bool()> work, std::function<void(bool)> done) override;
    void DisableSheetButtons() override;
    void EnableSheetButtons() override;

    // The tabs, in order.
    const std::vector<CConfigPage*>& Pages() const { return m_pages; }
    // Shows a tab as the user's click does (leaving the current page may be refused).
    void SetActivePage(CConfigPage* page);

    // The apply steps, in the order OnClickApply runs them: each writes its page into the
    // section buffers and adds what to send to `sends`; nothing when its page was never created.
    static void ApplyAccountPage(MySystemDialog& sheet, AccountPropertyPage& page,
                                 SectionSends& sends);
    static void ApplyAlarmPages(MySystemDialog& sheet, AlarmPropertyPage& page,
                                SectionSends& sends);
    static void ApplyMailPage(MySystemDialog& sheet, MailPropertyPage& page, SectionSends& sends);
    static void ApplyFtpPage(MySystemDialog& sheet, FTPPropertyPage& page, SectionSends& sends);
    static void ApplyDevicePage(MySystemDialog& sheet, DevicePage& page, SectionSends& sends);
    static void ApplyDetectionPage(MySystemDialog& sheet, DetectionPage& page, SectionSends& sends);
    static void ApplyCameraPage(MySystemDialog& sheet, CameraPage& page, SectionSends& sends);
    static void ApplyDnsPage(MySystemDialog& sheet, CDNSPage& page, SectionSends& sends);
    static void ApplyNetworkPage(MySystemDialog& sheet, NetworkConfigPage& page,
                                 SectionSends& sends);

    // From APPLY until its sends have been answered.
    bool IsWaitingForDevice() const { return m_command.Busy(); }

    SheetOpeningValues m_saved;
    std::uint32_t m_fDeviceListChanged = 0;
    // The pause after a changed IP section, while the device takes its new address; tests
    // replace it.
    std::function<void(std::uint32_t ms)> m_wait;

    // Holds the tabs and the buttons, so a sheet larger than its screen scrolls.
    ui::ScrolledWindow m_fit{*this};
    QTabWidget m_tabs;
    QPushButton m_btnExit;
    QPushButton m_btnApply;

    NetworkConfigPage m_NetworkPage;
    MailPropertyPage m_MailPage;
    FTPPropertyPage m_FtpPage;
    AccountPropertyPage m_AccountPage;
    CPeripheralPage m_PeripheralPage;
    ToolBoxPropertyPage m_ToolBoxPage;
    RecordPage m_RecordPage;
    AlarmPropertyPage m_AlarmPage;
    CXr2Peripheral m_Xr2PeripheralPage;
    CAlarmTriggerPage m_AlarmTriggerPage;
    COnlineUserPage m_OnlineUserPage;
    CScheduleRecordPage m_ScheduleRecordPage;
    AlarmDataPage m_AlarmDataPage;
    CSetVortaCmdPage m_VideoSettingPage;
    CSNTPPage m_SntpPage;
    CDNSPage m_DnsPage;
    DevicePage m_DevicePage;
    DetectionPage m_DetectionPage;
    CameraPage m_CameraPage;
    DownloadFilePage m_DownloadFilePage;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void AddPage(CConfigPage& page);
    // Takes every created page's controls into its members; a refused value keeps the sheet
    // open on its page, with the field selected for correction, and false.
    bool TakeCreatedPages();
    void OnTabChanged(int index);

    std::vector<CConfigPage*> m_pages;
    int m_nFirstPage = 0;
    int m_nActiveTab = -1;
    bool m_fInitialised = false;
    // The last APPLY tried an IP section: the device may be moving to a new address.
    bool m_fNewAddressTried = false;
    // Last, so that it goes first: a command still running ends before the pages do.
    DialogCommand m_command;
};
