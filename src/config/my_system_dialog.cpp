#include "config/my_system_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "config/channel_sections.h"
#include "config/section_fields.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "platform/byte_order.h"
#include "platform/sync.h"
#include "protocol/blocking_socket.h"
#include "protocol/command_sender.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"
#include "widgets/field_enter.h"

namespace {

constexpr std::uint32_t kNewAddressWaitMs = 3000;
constexpr std::uint8_t kConnectionPppoe = 1;
constexpr std::uint8_t kDeviceTypeWithDatabase = 19;

std::string DottedAddress(std::uint32_t address) {
    CSocketAddress socketAddress;
    socketAddress.Raw().sin_addr.s_addr = htonl(address);
    return socketAddress.DottedText();
}

int Scaled(float scale, int value) {
    return static_cast<int>(std::trunc(value * scale));
}

}  // namespace

MySystemDialog::MySystemDialog(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_nFirstPage(firstPage), m_command(*this, [this](bool waiting) {
          // The pages too: an edit made now would be lost with the sheet.
          m_tabs.setEnabled(!waiting);
          m_btnExit.setEnabled(!waiting);
          m_btnApply.setEnabled(!waiting);
      }) {
    setWindowTitle(caption);
    // No close box in the title bar: the sheet ends through EXIT or APPLY.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Enter in a page's field neither discards (EXIT) nor sends (APPLY).
    ui::SetFieldEnterAction(*this);
    m_tabs.setParent(&m_fit.Page());
    m_btnExit.setParent(&m_fit.Page());
    m_btnApply.setParent(&m_fit.Page());
    m_btnExit.hide();
    m_btnApply.hide();

    AddPage(m_NetworkPage);
    AddPage(m_DnsPage);
    AddPage(m_AccountPage);
    AddPage(m_OnlineUserPage);
    AddPage(m_AlarmPage);
    AddPage(m_MailPage);
    AddPage(m_FtpPage);
    const bool withDatabase = g_lpApp->m_DeviceList.GetMasterType() == kDeviceTypeWithDatabase;
    if (withDatabase) {
        AddPage(m_AlarmDataPage);
    }
    AddPage(m_RecordPage);
    AddPage(m_DevicePage);
    AddPage(m_DetectionPage);
    AddPage(m_CameraPage);
    AddPage(m_ToolBoxPage);
    if (withDatabase) {
        AddPage(m_DownloadFilePage);
    }
    // Built but never shown: they keep their values for whoever presets them.
    const std::array<CConfigPage*, 6> unshown = {&m_PeripheralPage,   &m_Xr2PeripheralPage,
                                                 &m_AlarmTriggerPage, &m_ScheduleRecordPage,
                                                 &m_VideoSettingPage, &m_SntpPage};
    for (CConfigPage* page : unshown) {
        page->setParent(this);
        page->hide();
        page->SetSheet(this);
    }
    // The windows keep painting while the device takes its new address; the sheet only waits.
    m_wait = [this](std::uint32_t ms) {
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
        loop.exec();
        QApplication::restoreOverrideCursor();
        setEnabled(true);
    };
    connect(&m_tabs, &QTabWidget::currentChanged, this, &MySystemDialog::OnTabChanged);
    connect(&m_btnExit, &QPushButton::clicked, this, &MySystemDialog::OnClickOK);
    connect(&m_btnApply, &QPushButton::clicked, this, &MySystemDialog::OnClickApply);
}

MySystemDialog::~MySystemDialog() {
    // The pages leave the tabs one by one as they go; that is no tab change of the user's.
    m_tabs.disconnect(this);
}

void MySystemDialog::AddPage(CConfigPage& page) {
    page.SetSheet(this);
    m_pages.push_back(&page);
    const QSignalBlocker quiet(m_tabs);
    m_tabs.addTab(&page, page.Caption());
}

int MySystemDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void MySystemDialog::OnInitDialog() {
    if (m_fInitialised) {
        return;
    }
    m_fInitialised = true;
    m_saved = SheetOpeningValues::FromSections(g_lpApp->m_SysCfg);

    const int first = m_nFirstPage >= 0 && m_nFirstPage < m_tabs.count() ? m_nFirstPage : 0;
    {
        const QSignalBlocker quiet(m_tabs);
        m_tabs.setCurrentIndex(first);
    }
    m_nActiveTab = first;
    m_pages[first]->CreatePage();
    m_pages[first]->OnSetActive();

    const float s = g_lpApp->m_fScale;
    // Every tab title stays in sight at once, the sheet as wide as its row of tabs; on a
    // screen narrower than that the row scrolls instead, each title still whole.
    m_tabs.tabBar()->setUsesScrollButtons(false);
    m_tabs.tabBar()->setElideMode(Qt::ElideNone);
    m_tabs.adjustSize();
    int w = std::max(
        {m_tabs.width(), m_tabs.tabBar()->sizeHint().width() + Scaled(s, 4), Scaled(s, 367)});
    const int h = m_tabs.height() + Scaled(s, 32);
    if (w > m_fit.PageWidthFor(h)) {
        m_tabs.tabBar()->setUsesScrollButtons(true);
        w = std::max(m_fit.PageWidthFor(h), Scaled(s, 367));
    }
    m_tabs.setGeometry(0, 0, w, m_tabs.height());
    // A sheet taller than the screen scrolls.
    m_fit.SetSize(QSize(w, h));
    const int top = static_cast<int>(std::trunc(h - 27 * s));
    const int bottom = top + Scaled(s, 22);
    m_btnExit.setText(QString::fromStdString(ui::LoadString(kIdExit)));
    m_btnApply.setText(QString::fromStdString(ui::LoadString(kIdApply)));
    m_btnExit.setGeometry(Scaled(s, 10), top, Scaled(s, 70), bottom - top);
    // APPLY keeps its place at the right edge, however wide the tabs made the sheet.
    m_btnApply.setGeometry(w - Scaled(s, 90), top, Scaled(s, 80), bottom - top);
    m_btnExit.show();
    m_btnApply.show();
}

void MySystemDialog::SetActivePage(CConfigPage* page) {
    const int index = m_tabs.indexOf(page);
    if (index >= 0) {
        m_tabs.setCurrentIndex(index);
    }
}

void MySystemDialog::OnTabChanged(int index) {
    if (index == m_nActiveTab || index < 0) {
        return;
    }
    if (m_nActiveTab >= 0 && !m_pages[m_nActiveTab]->OnKillActive()) {
        const QSignalBlocker quiet(m_tabs);
        m_tabs.setCurrentIndex(m_nActiveTab);
        return;
    }
    m_nActiveTab = index;
    m_pages[index]->CreatePage();
    m_pages[index]->OnSetActive();
}

bool MySystemDialog::RunDeviceCommand(std::function<bool()> work, std::function<void(bool)> done) {
    return m_command.Start<bool>(std::move(work), std::move(done));
}

void MySystemDialog::DisableSheetButtons() {
    m_btnExit.setEnabled(false);
    m_btnApply.setEnabled(false);
}

void MySystemDialog::EnableSheetButtons() {
    m_btnExit.setEnabled(true);
    m_btnApply.setEnabled(true);
}

void MySystemDialog::OnClickApply() {
    if (m_command.Busy()) {
        return;
    }
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    const std::uint8_t connectionType =
        m_NetworkPage.IsPageCreated() ? m_NetworkPage.m_bConnectionType : cfg.IP[22];
    const std::uint8_t ddnsEnable =
        m_DnsPage.IsPageCreated() ? m_DnsPage.m_bDdnsEnable : cfg.SMTP[5];
    if (connectionType == kConnectionPppoe && ddnsEnable == 0) {
        ui::ShowMessage(ui::texts::kPppoeNeedsDdns);
        return;
    }
    if (!TakeCreatedPages()) {
        return;
    }
    m_fNewAddressTried = false;
    // Each apply step below works on the values TakeCreatedPages took.
    auto sends = std::make_shared<SectionSends>();
    ApplyAccountPage(*this, m_AccountPage, *sends);
    ApplyAlarmPages(*this, m_AlarmPage, *sends);
    ApplyMailPage(*this, m_MailPage, *sends);
    ApplyFtpPage(*this, m_FtpPage, *sends);
    ApplyDevicePage(*this, m_DevicePage, *sends);
    ApplyDetectionPage(*this, m_DetectionPage, *sends);
    ApplyCameraPage(*this, m_CameraPage, *sends);
    // The list is locked against the recorder thread, so the save may run among the sends.
    sends->BeginStep();
    sends->AddWork([] { AlarmDatabase().AlarmDB_Save(); });
    ApplyDnsPage(*this, m_DnsPage, *sends);
    ApplyNetworkPage(*this, m_NetworkPage, *sends);
    std::shared_ptr<const SectionSends> run = std::move(sends);
    m_command.Start<SectionSends::Outcome>([run] { return run->Run(); },
                                           [this, run](SectionSends::Outcome outcome) {
                                               run->Report(outcome);
                                               if (m_fNewAddressTried) {
                                                   m_wait(kNewAddressWaitMs);
                                               }
                                               done(kResultApplied);
                                           });
}

bool MySystemDialog::TakeCreatedPages() {
    const CConfigPage* const applied[] = {&m_AccountPage, &m_AlarmPage,  &m_MailPage,
                                          &m_FtpPage,     &m_DevicePage, &m_DetectionPage,
                                          &m_CameraPage,  &m_DnsPage,    &m_NetworkPage};
    // The page in sight first, then the others in tab order, each shown while it takes its
    // values, so that the field a page refuses is the one the cursor is in, on a page in sight.
    std::vector<int> order;
    if (m_nActiveTab >= 0) {
        order.push_back(m_nActiveTab);
    }
    for (int index = 0; index < static_cast<int>(m_pages.size()); ++index) {
        if (index != m_nActiveTab) {
            order.push_back(index);
        }
    }
    const QSignalBlocker quiet(m_tabs);
    for (const int index : order) {
        CConfigPage* page = m_pages[static_cast<std::size_t>(index)];
        if (!page->IsPageCreated() || std::ranges::find(applied, page) == std::end(applied)) {
            continue;
        }
        m_tabs.setCurrentIndex(index);
        if (!page->UpdateData(true)) {
            m_nActiveTab = index;
            return false;
        }
    }
    if (m_nActiveTab >= 0) {
        m_tabs.setCurrentIndex(m_nActiveTab);
    }
    return true;
}

void MySystemDialog::OnClickOK() {
    done(kResultExit);
}

void MySystemDialog::reject() {
    m_command.Cancel();
    done(kResultCancel);
}

void MySystemDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    m_command.Cancel();
    done(kResultCancel);
}

void MySystemDialog::ApplyAccountPage(MySystemDialog&, AccountPropertyPage& page,
                                      SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    auto& secure = g_lpApp->m_SysCfg.SECURE;
    if (page.m_fAccountListChanged == 0 && page.m_nMaxUsers == secure[2]) {
        return;
    }
    account::WriteRows(g_lpApp->m_AccountRows, static_cast<std::uint8_t>(page.m_nMaxUsers), secure);
    std::function<void()> takeLogin;
    if (page.m_fLoginChanged != 0) {
        takeLogin = [user = page.m_strLoginUser, password = page.m_strLoginPassword] {
            g_lpApp->CSettingINI.m_strUserName = user;
            g_lpApp->CSettingINI.m_strPassword = password;
        };
    }
    sends.BeginStep(std::move(takeLogin));
    sends.Add(CFG_SECURE, secure, account::kSendFailed);
}

void MySystemDialog::ApplyAlarmPages(MySystemDialog& sheet, AlarmPropertyPage& page,
                                     SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    auto& section = g_lpApp->m_SysCfg.ALARM;
    const alarm_section::PageValues values{page.m_bAlarmMethod, page.m_bImageResolution,
                                           page.m_nPostNumberIndex, page.m_nDurationIndex};
    if (alarm_section::WriteChanges(values, sheet.m_saved, section)) {
        sends.BeginStep();
        sends.Add(CFG_ALARM, section);
    }
}

void MySystemDialog::ApplyMailPage(MySystemDialog& sheet, MailPropertyPage& page,
                                   SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    if (WriteMailChanges(sheet.m_saved, page.Settings(), g_lpApp->m_SysCfg)) {
        sends.BeginStep();
        sends.Add(CFG_SMTP, g_lpApp->m_SysCfg.SMTP);
    }
}

void MySystemDialog::ApplyFtpPage(MySystemDialog& sheet, FTPPropertyPage& page,
                                  SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    if (WriteFtpChanges(sheet.m_saved, page.Settings(), g_lpApp->m_SysCfg)) {
        sends.BeginStep();
        sends.Add(CFG_FTP, g_lpApp->m_SysCfg.FTP);
    }
}

void MySystemDialog::ApplyDevicePage(MySystemDialog& sheet, DevicePage& page, SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    if (!page.m_fChanged) {
        return;
    }
    std::array<std::uint8_t, 124>& rs485 = g_lpApp->m_SysCfg.RS485;
    config::WriteRs485Entries(page.m_Entries, rs485);
    // The main window rebuilds its peripherals from the section after the sheet.
    sheet.m_fDeviceListChanged = 1;
    sends.BeginStep();
    sends.Add(CFG_RS485, rs485);
}

void MySystemDialog::ApplyDetectionPage(MySystemDialog&, DetectionPage& page, SectionSends& sends) {
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    AddFlaggedSections(page, sends,
                       {{page.m_fDvrLiveChanged, CFG_DVRLIVE, cfg.DVRLIVE},
                        {page.m_fAlarmChanged, CFG_ALARM, cfg.ALARM}});
}

void MySystemDialog::ApplyCameraPage(MySystemDialog&, CameraPage& page, SectionSends& sends) {
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    AddFlaggedSections(page, sends,
                       {{page.m_fDvrLiveChanged, CFG_DVRLIVE, cfg.DVRLIVE},
                        {page.m_fDvrRecChanged, CFG_DVRREC, cfg.DVRREC}});
}

void MySystemDialog::ApplyDnsPage(MySystemDialog& sheet, CDNSPage& page, SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    const DdnsSettings settings = page.Settings();
    // One step: a failed DNS send keeps the DDNS fields from going out, and from the buffer.
    sends.BeginStep();
    if (WriteDnsChange(sheet.m_saved, settings, cfg)) {
        sends.Add(CFG_DNS, cfg.DNS);
    }
    SysCfgBlocks next = cfg;
    if (WriteDdnsChanges(sheet.m_saved, settings, next)) {
        sends.Add(CFG_SMTP, next.SMTP, {}, [smtp = next.SMTP] { g_lpApp->m_SysCfg.SMTP = smtp; });
    }
}

void MySystemDialog::ApplyNetworkPage(MySystemDialog& sheet, NetworkConfigPage& page,
                                      SectionSends& sends) {
    if (!page.IsPageCreated()) {
        return;
    }
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    const NetworkSettings settings = page.Settings();
    // One step: a failed PPPOE send ends it before the IP fields are written, sent or switched
    // to.
    sends.BeginStep();
    if (WritePppoeChanges(sheet.m_saved.network, settings, cfg)) {
        sends.Add(CFG_PPPOE, cfg.PPPOE);
    }
    SysCfgBlocks next = cfg;
    if (!WriteIpChanges(sheet.m_saved.network, settings, next)) {
        return;
    }
    // The device answers the IP send from its old address and then moves; the client follows
    // when, and only when, the device accepted that send, so the commands after it reach it.
    std::optional<std::string> server;
    if (settings.address != sheet.m_saved.network.address) {
        server = DottedAddress(settings.address);
    }
    std::optional<std::uint16_t> webPort;
    if (settings.webPort != sheet.m_saved.network.webPort && settings.webPort != 0) {
        webPort = settings.webPort;
    }
    // The device may already be moving to its new address when the send fails, so the sheet
    // waits either way.
    sends.Add(
        CFG_IP, next.IP, {},
        [&sheet, ip = next.IP] {
            g_lpApp->m_SysCfg.IP = ip;
            sheet.m_fNewAddressTried = true;
        },
        [server, webPort] { SwitchDeviceAddress(server, webPort); });
}
