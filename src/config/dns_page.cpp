#include "config/dns_page.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <tuple>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "ui/string_table.h"

namespace {

constexpr std::size_t kSntpServer = 4;
constexpr std::size_t kSntpServerWidth = 32;

}  // namespace

bool WriteDnsChange(const SheetOpeningValues& saved, const DdnsSettings& page, SysCfgBlocks& cfg) {
    if (page.dnsServer == saved.dnsServer) {
        return false;
    }
    config::WriteAddress(&cfg.DNS[ddns_fields::kDnsServer], page.dnsServer);
    return true;
}

bool WriteDdnsChanges(const SheetOpeningValues& saved, const DdnsSettings& page,
                      SysCfgBlocks& cfg) {
    using namespace ddns_fields;
    bool changed = false;
    if (page.enable != saved.ddnsEnable) {
        cfg.SMTP[kEnable] = page.enable;
        changed = true;
    }
    for (const auto& [offset, width, text, opening] :
         {std::tuple{kUser, kShortWidth, &page.user, &saved.ddnsUser},
          std::tuple{kPassword, kShortWidth, &page.password, &saved.ddnsPassword},
          std::tuple{kDomain, kDomainWidth, &page.domain, &saved.ddnsDomain}}) {
        if (*text != *opening) {
            config::WriteFieldText(config::Field(cfg.SMTP, offset, width), *text);
            changed = true;
        }
    }
    if (page.system != saved.ddnsSystem && page.system >= 0 &&
        page.system < static_cast<int>(std::size(kDdnsSystemNames))) {
        config::WriteFieldText(config::Field(cfg.SMTP, kSystemName, kShortWidth),
                               kDdnsSystemNames[page.system]);
        changed = true;
    }
    return changed;
}

CDNSPage::CDNSPage(QWidget* parent) : CConfigPage("DDNS", parent) {
    auto* form = new QFormLayout(this);
    m_ipDns.setParent(this);
    form->addRow("DNS:", &m_ipDns);

    auto* choice = new QHBoxLayout;
    m_radioEnable.setText("Enable");
    m_radioDisable.setText("Disable");
    m_radioEnable.setParent(this);
    m_radioDisable.setParent(this);
    choice->addWidget(&m_radioEnable);
    choice->addWidget(&m_radioDisable);
    choice->addStretch();
    form->addRow("DDNS:", choice);

    for (auto [edit, label, limit] : {std::tuple{&m_editUser, "User Name:", kMaxAccountChars},
                                      {&m_editPassword, "Password:", kMaxAccountChars},
                                      {&m_editDomain, "Domain:", kMaxDomainChars}}) {
        edit->setParent(this);
        edit->setMaxLength(limit);
        form->addRow(label, edit);
    }
    m_editPassword.setEchoMode(QLineEdit::Password);

    m_comboSystem.setParent(this);
    for (const char* name : kDdnsSystemNames) {
        m_comboSystem.addItem(name);
    }
    m_comboSystem.setCurrentIndex(-1);
    form->addRow("System Name:", &m_comboSystem);

    connect(&m_radioEnable, &QRadioButton::clicked, this, &CDNSPage::OnEnable);
    connect(&m_radioDisable, &QRadioButton::clicked, this, &CDNSPage::OnDisable);
}

void CDNSPage::OnInitDialog() {
    using namespace ddns_fields;
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    m_ipDns.SetAddress(config::ReadAddress(&cfg.DNS[kDnsServer]));
    m_bDdnsEnable = cfg.SMTP[kEnable];
    ShowEnable(m_bDdnsEnable != 0);
    m_strUser = config::ReadFieldText(config::Field(cfg.SMTP, kUser, kShortWidth));
    m_strPassword = config::ReadFieldText(config::Field(cfg.SMTP, kPassword, kShortWidth));
    m_strDomain = config::ReadFieldText(config::Field(cfg.SMTP, kDomain, kDomainWidth));
    m_nSystemIndex =
        DdnsSystemIndex(config::ReadFieldText(config::Field(cfg.SMTP, kSystemName, kShortWidth)));
    UpdateData(false);
}

bool CDNSPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_comboSystem, m_nSystemIndex);
    return config::ExchangeText(save, m_editUser, m_strUser, kMaxAccountChars) &&
           config::ExchangeText(save, m_editPassword, m_strPassword, kMaxAccountChars) &&
           config::ExchangeText(save, m_editDomain, m_strDomain, kMaxDomainChars);
}

void CDNSPage::OnEnable() {
    ShowEnable(true);
    m_bDdnsEnable = 1;
}

void CDNSPage::OnDisable() {
    ShowEnable(false);
    m_bDdnsEnable = 0;
}

void CDNSPage::ShowEnable(bool enabled) {
    m_radioEnable.setChecked(enabled);
    m_radioDisable.setChecked(!enabled);
    for (QWidget* control : std::initializer_list<QWidget*>{&m_editUser, &m_editPassword,
                                                            &m_editDomain, &m_comboSystem}) {
        control->setEnabled(enabled);
    }
}

DdnsSettings CDNSPage::Settings() const {
    DdnsSettings s;
    m_ipDns.GetAddress(s.dnsServer);
    s.enable = m_bDdnsEnable;
    s.user = m_strUser;
    s.password = m_strPassword;
    s.domain = m_strDomain;
    s.system = m_nSystemIndex;
    return s;
}

// The names are string-table texts 8448 onward, in index order; each row's offset is the one its
// name states.
const std::array<TimeZoneRow, 75> kTimeZones = {{
    {8448, -12, 0},  {8449, -11, 0}, {8450, -10, 0}, {8451, -9, 0}, {8452, -8, 0}, {8453, -7, 0},
    {8454, -7, 0},   {8455, -7, 0},  {8456, -6, 0},  {8457, -6, 0}, {8458, -6, 0}, {8459, -6, 0},
    {8460, -5, 0},   {8461, -5, 0},  {8462, -5, 0},  {8463, -4, 0}, {8464, -4, 0}, {8465, -4, 0},
    {8466, -3, -30}, {8467, -3, 0},  {8468, -3, 0},  {8469, -3, 0}, {8470, -2, 0}, {8471, -1, 0},
    {8472, -1, 0},   {8473, 0, 0},   {8474, 0, 0},   {8475, 1, 0},  {8476, 1, 0},  {8477, 1, 0},
    {8478, 1, 0},    {8479, 1, 0},   {8480, 2, 0},   {8481, 2, 0},  {8482, 2, 0},  {8483, 2, 0},
    {8484, 2, 0},    {8485, 2, 0},   {8486, 3, 0},   {8487, 3, 0},  {8488, 3, 0},  {8489, 3, 0},
    {8490, 3, 30},   {8491, 4, 0},   {8492, 4, 0},   {8493, 4, 30}, {8494, 5, 0},  {8495, 5, 0},
    {8496, 5, 30},   {8497, 5, 45},  {8498, 6, 0},   {8499, 6, 0},  {8500, 6, 0},  {8501, 6, 30},
    {8502, 7, 0},    {8503, 7, 0},   {8504, 8, 0},   {8505, 8, 0},  {8506, 8, 0},  {8507, 8, 0},
    {8508, 8, 0},    {8509, 9, 0},   {8510, 9, 0},   {8511, 9, 0},  {8512, 9, 30}, {8513, 9, 30},
    {8514, 10, 0},   {8515, 10, 0},  {8516, 10, 0},  {8517, 10, 0}, {8518, 10, 0}, {8519, 11, 0},
    {8520, 12, 0},   {8521, 12, 0},  {8522, 13, 0},
}};

CSNTPPage::CSNTPPage(QWidget* parent) : CConfigPage("SNTP", parent) {
    auto* form = new QFormLayout(this);
    m_editServerName.setParent(this);
    m_editServerName.setMaxLength(kMaxServerChars);
    form->addRow("Server Name:", &m_editServerName);
    m_comboZone.setParent(this);
    form->addRow("GMT:", &m_comboZone);
}

void CSNTPPage::OnInitDialog() {
    m_strServerName =
        config::ReadFieldText(config::Field(g_lpApp->m_SysCfg.SNTP, kSntpServer, kSntpServerWidth));
    for (const TimeZoneRow& zone : kTimeZones) {
        m_comboZone.addItem(QString::fromStdString(ui::LoadString(zone.stringId)));
    }
    m_nZoneIndex = kDefaultZone;
    UpdateData(false);
}

bool CSNTPPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_comboZone, m_nZoneIndex);
    return config::ExchangeText(save, m_editServerName, m_strServerName, kMaxServerChars);
}
