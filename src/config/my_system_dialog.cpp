#include "config/my_system_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

#include "config/section_fields.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "platform/byte_order.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr std::uint32_t kNewAddressWaitMs = 3000;
constexpr std::uint8_t kConnectionPppoe = 1;
constexpr std::uint8_t kDeviceTypeWithDatabase = 19;

int AlarmDurationIndex(std::uint16_t seconds) {
    static constexpr std::uint16_t kDurations[] = {3, 15, 30, 60, 1800};
    for (int i = 0; i < static_cast<int>(std::size(kDurations)); ++i) {
        if (kDurations[i] == seconds) {
            return i;
        }
    }
    return 5;
}

int Scaled(float scale, int value) {
    return static_cast<int>(std::trunc(value * scale));
}

}  // namespace

int DdnsSystemIndex(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kDdnsSystemNames)); ++i) {
        if (name == kDdnsSystemNames[i]) {
            return i;
        }
    }
    return -1;
}

SheetOpeningValues SheetOpeningValues::FromSections(SysCfgBlocks& cfg) {
    using config::Field;
    using config::ReadAddress;
    using config::ReadFieldText;
    SheetOpeningValues v;
    v.network.address = ReadAddress(&cfg.IP[4]);
    v.network.netMask = ReadAddress(&cfg.IP[8]);
    v.network.gateway = ReadAddress(&cfg.IP[12]);
    v.network.webPort = platform::GetU16(&cfg.IP[16]);
    v.network.connectionType = cfg.IP[22];
    v.network.pppoeUser = ReadFieldText(Field(cfg.PPPOE, 36, 16));
    v.network.pppoePassword = ReadFieldText(Field(cfg.PPPOE, 52, 16));

    v.dnsServer = ReadAddress(&cfg.DNS[4]);
    v.ddnsEnable = cfg.SMTP[5];
    v.ddnsUser = ReadFieldText(Field(cfg.SMTP, 104, 16));
    v.ddnsPassword = ReadFieldText(Field(cfg.SMTP, 120, 16));
    v.ddnsDomain = ReadFieldText(Field(cfg.SMTP, 328, 48));
    v.ddnsSystem = DdnsSystemIndex(ReadFieldText(Field(cfg.SMTP, 88, 16)));

    // The mail texts always end within their fields from here on, also in the buffer itself.
    for (const auto& [offset, width] : {std::pair{8, 64}, {72, 16}, {376, 32}, {408, 32}}) {
        cfg.SMTP[offset + width - 1] = 0;
    }
    v.mailFrom = ReadFieldText(Field(cfg.SMTP, 72, 16));
    v.smtpServer = ReadFieldText(Field(cfg.SMTP, 8, 64));
    v.loginPassword = ReadFieldText(Field(cfg.SMTP, 408, 32));
    v.loginUser = ReadFieldText(Field(cfg.SMTP, 376, 32));
    v.needsLogin = cfg.SMTP[4];

    const auto ftpText = [&cfg](std::size_t offset, std::size_t width) {
        std::string text = ReadFieldText(Field(cfg.FTP, offset, width));
        return text.size() < width ? text : std::string();
    };
    v.ftpServer = ftpText(4, 32);
    v.ftpUser = ftpText(36, 16);
    v.ftpPassword = ftpText(52, 16);
    v.ftpDirectory = ftpText(68, 32);
    v.ftpPort = platform::GetU16(&cfg.FTP[100]);

    v.alarmDurationIndex = AlarmDurationIndex(platform::GetU16(&cfg.ALARM[6]));
    v.alarmPostNumberIndex = cfg.ALARM[2] > 0 ? static_cast<std::uint8_t>(cfg.ALARM[2] - 1) : 0;
    v.alarmImageResolution = cfg.ALARM[5];
    v.alarmMethod = cfg.ALARM[3];
    v.maxUsers = cfg.SECURE[2];
    return v;
}

MySystemDialog::MySystemDialog(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_nFirstPage(firstPage) {
    setWindowTitle(caption);
    // No close box in the title bar: the sheet ends through EXIT or APPLY.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_tabs.setParent(this);
    m_btnExit.setParent(this);
    m_btnApply.setParent(this);
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
    m_tabs.adjustSize();
    const int w = std::max(m_tabs.width(), Scaled(s, 367));
    const int h = m_tabs.height() + Scaled(s, 32);
    m_tabs.setGeometry(0, 0, w, m_tabs.height());
    setFixedSize(w, h);
    const int top = static_cast<int>(std::trunc(h - 27 * s));
    const int bottom = top + Scaled(s, 22);
    m_btnExit.setText(QString::fromStdString(ui::LoadString(kIdExit)));
    m_btnApply.setText(QString::fromStdString(ui::LoadString(kIdApply)));
    m_btnExit.setGeometry(Scaled(s, 10), top, Scaled(s, 70), bottom - top);
    m_btnApply.setGeometry(Scaled(s, 277), top, Scaled(s, 80), bottom - top);
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

void MySystemDialog::DisableSheetButtons() {
    m_btnExit.setEnabled(false);
    m_btnApply.setEnabled(false);
}

void MySystemDialog::EnableSheetButtons() {
    m_btnExit.setEnabled(true);
    m_btnApply.setEnabled(true);
}

bool MySystemDialog::SendSection(std::uint8_t section, std::span<const std::uint8_t> bytes,
                                 const std::string& failureText) {
    if (SetConfigSection(section, bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0) != 0) {
        return true;
    }
    if (failureText.empty()) {
        ui::ShowMessage(ui::texts::kChangeConfigFailed);
    } else {
        ui::ShowMessage(failureText);
    }
    return false;
}

void MySystemDialog::OnClickApply() {
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    const std::uint8_t connectionType =
        m_NetworkPage.IsPageCreated() ? m_NetworkPage.m_bConnectionType : cfg.IP[22];
    const std::uint8_t ddnsEnable =
        m_DnsPage.IsPageCreated() ? m_DnsPage.m_bDdnsEnable : cfg.SMTP[5];
    if (connectionType == kConnectionPppoe && ddnsEnable == 0) {
        ui::ShowMessage(ui::texts::kPppoeNeedsDdns);
        return;
    }
    ApplyAccountPage(*this, m_AccountPage);
    ApplyAlarmPages(*this, m_AlarmPage);
    ApplyMailPage(*this, m_MailPage);
    ApplyFtpPage(*this, m_FtpPage);
    ApplyDevicePage(*this, m_DevicePage);
    ApplyDetectionPage(*this, m_DetectionPage);
    ApplyCameraPage(*this, m_CameraPage);
    AlarmDatabase().AlarmDB_Save();
    ApplyDnsPage(*this, m_DnsPage);
    if (ApplyNetworkPage(*this, m_NetworkPage)) {
        m_wait(kNewAddressWaitMs);
    }
    done(kResultApplied);
}

void MySystemDialog::OnClickOK() {
    done(kResultExit);
}

void MySystemDialog::reject() {
    done(kResultCancel);
}

void MySystemDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    done(kResultCancel);
}
