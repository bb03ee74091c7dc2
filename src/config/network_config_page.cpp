#include "config/network_config_page.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <tuple>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "platform/byte_order.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

constexpr std::uint8_t kStaticIp = 0;
constexpr std::uint8_t kPppoe = 1;
constexpr std::uint8_t kDhcp = 2;

}  // namespace

bool WritePppoeChanges(const NetworkSettings& saved, const NetworkSettings& page,
                       SysCfgBlocks& cfg) {
    using namespace pppoe_section;
    bool changed = false;
    for (const auto& [offset, text, opening] :
         {std::tuple{kUser, &page.pppoeUser, &saved.pppoeUser},
          std::tuple{kPassword, &page.pppoePassword, &saved.pppoePassword}}) {
        if (*text != *opening) {
            config::WriteFieldText(config::Field(cfg.PPPOE, offset, kTextWidth), *text);
            changed = true;
        }
    }
    return changed;
}

bool WriteIpChanges(const NetworkSettings& saved, const NetworkSettings& page, SysCfgBlocks& cfg) {
    using namespace ip_section;
    bool changed = false;
    for (const auto& [offset, address, opening] :
         {std::tuple{kAddress, page.address, saved.address},
          std::tuple{kNetMask, page.netMask, saved.netMask},
          std::tuple{kGateway, page.gateway, saved.gateway}}) {
        if (address != opening) {
            config::WriteAddress(&cfg.IP[offset], address);
            changed = true;
        }
    }
    if (page.webPort != saved.webPort) {
        platform::PutU16(&cfg.IP[kWebPort], page.webPort);
        changed = true;
    }
    if (page.connectionType != saved.connectionType) {
        cfg.IP[kConnectionType] = page.connectionType;
        changed = true;
    }
    return changed;
}

NetworkConfigPage::NetworkConfigPage(QWidget* parent) : CConfigPage("Network", parent) {
    auto* page = new QVBoxLayout(this);

    auto* addresses = new QGridLayout;
    const std::array<std::pair<const char*, CIPAddressCtrl*>, 3> rows = {
        {{"Server IP :", &m_ipServer}, {"Gateway :", &m_ipGateway}, {"Net Mask :", &m_ipNetMask}}};
    for (int i = 0; i < 3; ++i) {
        m_lblAddresses[i].setText(rows[i].first);
        m_lblAddresses[i].setParent(this);
        rows[i].second->setParent(this);
        addresses->addWidget(&m_lblAddresses[i], i, 0);
        addresses->addWidget(rows[i].second, i, 1);
    }
    m_editWebPort.setParent(this);
    m_editWebPort.setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &m_editWebPort));
    addresses->addWidget(new QLabel("Web Port :", this), 3, 0);
    config::FitEditToValue(m_editWebPort, 5);
    addresses->addWidget(&m_editWebPort, 3, 1);
    page->addLayout(addresses);

    auto* ipType = new QGroupBox("IP TYPE", this);
    auto* radios = new QVBoxLayout(ipType);
    for (auto [radio, text] : {std::pair{&m_radioStatic, "Static IP"},
                               {&m_radioPppoe, "PPPOE"},
                               {&m_radioDhcp, "DHCP"}}) {
        radio->setText(text);
        radio->setParent(ipType);
        radios->addWidget(radio);
    }
    page->addWidget(ipType);

    m_grpPppoe.setTitle("PPPOE");
    m_grpPppoe.setParent(this);
    auto* account = new QFormLayout(&m_grpPppoe);
    m_editPppoeUser.setParent(&m_grpPppoe);
    m_editPppoePassword.setParent(&m_grpPppoe);
    m_editPppoeUser.setMaxLength(kMaxPppoeChars);
    m_editPppoePassword.setMaxLength(kMaxPppoeChars);
    m_editPppoePassword.setEchoMode(QLineEdit::Password);
    account->addRow("User Name :", &m_editPppoeUser);
    account->addRow("Password :", &m_editPppoePassword);
    page->addWidget(&m_grpPppoe);
    page->addStretch();

    connect(&m_radioStatic, &QRadioButton::clicked, this, &NetworkConfigPage::OnStaticIp);
    connect(&m_radioPppoe, &QRadioButton::clicked, this, &NetworkConfigPage::OnPppoe);
    connect(&m_radioDhcp, &QRadioButton::clicked, this, &NetworkConfigPage::OnDhcp);
}

void NetworkConfigPage::OnInitDialog() {
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    using namespace ip_section;
    m_bConnectionType = cfg.IP[kConnectionType];
    LayOut(m_bConnectionType);
    m_ipServer.SetAddress(config::ReadAddress(&cfg.IP[kAddress]));
    m_ipGateway.SetAddress(config::ReadAddress(&cfg.IP[kGateway]));
    m_ipNetMask.SetAddress(config::ReadAddress(&cfg.IP[kNetMask]));
    m_iWeb_Port = platform::GetU16(&cfg.IP[kWebPort]);
    m_strPppoeUser = config::ReadFieldText(
        config::Field(cfg.PPPOE, pppoe_section::kUser, pppoe_section::kTextWidth));
    m_strPppoePassword = config::ReadFieldText(
        config::Field(cfg.PPPOE, pppoe_section::kPassword, pppoe_section::kTextWidth));
    UpdateData(false);
}

bool NetworkConfigPage::UpdateData(bool save) {
    return config::ExchangeInt(save, m_editWebPort, m_iWeb_Port, 1, 65535) &&
           config::ExchangeText(save, m_editPppoePassword, m_strPppoePassword, kMaxPppoeChars) &&
           config::ExchangeText(save, m_editPppoeUser, m_strPppoeUser, kMaxPppoeChars);
}

bool NetworkConfigPage::OnKillActive() {
    if (m_editWebPort.text().isEmpty()) {
        ui::ShowMessage(ui::texts::kTypeThePortNumber);
        return false;
    }
    return UpdateData(true);
}

void NetworkConfigPage::OnStaticIp() {
    m_bConnectionType = kStaticIp;
    LayOut(kStaticIp);
}

void NetworkConfigPage::OnPppoe() {
    m_bConnectionType = kPppoe;
    LayOut(kPppoe);
}

void NetworkConfigPage::OnDhcp() {
    m_bConnectionType = kDhcp;
    LayOut(kDhcp);
}

void NetworkConfigPage::LayOut(std::uint8_t connectionType) {
    const bool staticIp = connectionType == kStaticIp;
    const bool pppoe = !staticIp && connectionType != kDhcp;
    m_radioStatic.setChecked(staticIp);
    m_radioPppoe.setChecked(pppoe);
    m_radioDhcp.setChecked(connectionType == kDhcp);
    for (QLabel& label : m_lblAddresses) {
        label.setEnabled(staticIp);
    }
    for (CIPAddressCtrl* control : {&m_ipServer, &m_ipGateway, &m_ipNetMask}) {
        control->setEnabled(staticIp);
    }
    m_grpPppoe.setVisible(pppoe);
}

NetworkSettings NetworkConfigPage::Settings() const {
    NetworkSettings s;
    m_ipServer.GetAddress(s.address);
    m_ipNetMask.GetAddress(s.netMask);
    m_ipGateway.GetAddress(s.gateway);
    s.webPort = static_cast<std::uint16_t>(m_iWeb_Port);
    s.connectionType = m_bConnectionType;
    s.pppoeUser = m_strPppoeUser;
    s.pppoePassword = m_strPppoePassword;
    return s;
}
