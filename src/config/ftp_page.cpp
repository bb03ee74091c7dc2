#include "config/ftp_page.h"

#include <QFormLayout>
#include <tuple>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "kernel/utilities.h"
#include "platform/byte_order.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

constexpr std::uint32_t kMaxPort = 65535;

// The port a digit string stands for; any number above 65535, however long, is kMaxPort + 1.
std::uint32_t ReadPort(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return 0;
    }
    if (digits.size() - first > 5) {
        return kMaxPort + 1;
    }
    return static_cast<std::uint32_t>(std::stoul(digits.substr(first)));
}

}  // namespace

bool WriteFtpChanges(const SheetOpeningValues& saved, const FtpSettings& page, SysCfgBlocks& cfg) {
    using namespace ftp_fields;
    bool changed = false;
    for (const auto& [offset, width, text, opening] :
         {std::tuple{kServer, kLongWidth, &page.server, &saved.ftpServer},
          std::tuple{kUser, kShortWidth, &page.user, &saved.ftpUser},
          std::tuple{kPassword, kShortWidth, &page.password, &saved.ftpPassword},
          std::tuple{kDirectory, kLongWidth, &page.directory, &saved.ftpDirectory}}) {
        if (*text != *opening && text->size() < width) {
            config::WriteFieldText(config::Field(cfg.FTP, offset, width), *text);
            changed = true;
        }
    }
    if (page.port != saved.ftpPort) {
        platform::PutU16(&cfg.FTP[kPort], static_cast<std::uint16_t>(page.port));
        changed = true;
    }
    return changed;
}

FTPPropertyPage::FTPPropertyPage(QWidget* parent) : CConfigPage("FTP", parent) {
    auto* form = new QFormLayout(this);
    for (auto [edit, label, limit] : {std::tuple{&m_editServer, "Server  : ", kMaxServerChars},
                                      {&m_editPort, "Port : ", 0},
                                      {&m_editUserName, "UserName : ", kMaxAccountChars},
                                      {&m_editPassword, "Password : ", kMaxAccountChars},
                                      {&m_editDirectory, "Directory :", kMaxDirectoryChars}}) {
        edit->setParent(this);
        if (limit > 0) {
            edit->setMaxLength(limit);
        }
        form->addRow(label, edit);
    }
    m_editPassword.setEchoMode(QLineEdit::Password);
    config::FitEditToValue(m_editPort, 5);
    connect(&m_editPort, &QLineEdit::textEdited, this, &FTPPropertyPage::OnChangePort);
}

void FTPPropertyPage::OnInitDialog() {
    using namespace ftp_fields;
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    // A text without its zero byte inside the field reads as empty, and stays untouched in the
    // section unless the user types a new one.
    m_strFtpServer = config::ReadFieldText(config::Field(cfg.FTP, kServer, kLongWidth));
    m_strFtpUserName = config::ReadFieldText(config::Field(cfg.FTP, kUser, kShortWidth));
    m_strFtpPassword = config::ReadFieldText(config::Field(cfg.FTP, kPassword, kShortWidth));
    m_strFtpDirectory = config::ReadFieldText(config::Field(cfg.FTP, kDirectory, kLongWidth));
    m_nFtpPort = platform::GetU16(&cfg.FTP[kPort]);
    UpdateData(false);
}

bool FTPPropertyPage::UpdateData(bool save) {
    int port = static_cast<int>(m_nFtpPort);
    const bool ok =
        config::ExchangeText(save, m_editServer, m_strFtpServer, kMaxServerChars) &&
        config::ExchangeText(save, m_editPassword, m_strFtpPassword, kMaxAccountChars) &&
        config::ExchangeInt(save, m_editPort, port, 0, static_cast<int>(kMaxPort)) &&
        config::ExchangeText(save, m_editUserName, m_strFtpUserName, kMaxAccountChars) &&
        config::ExchangeText(save, m_editDirectory, m_strFtpDirectory, kMaxDirectoryChars);
    m_nFtpPort = static_cast<std::uint32_t>(port);
    return ok;
}

bool FTPPropertyPage::OnKillActive() {
    if (m_editPort.text().isEmpty()) {
        ui::ShowMessage(ui::texts::kTypeThePortNumber);
        return false;
    }
    return UpdateData(true);
}

void FTPPropertyPage::OnChangePort() {
    std::string text = m_editPort.text().toStdString();
    if (text.empty()) {
        return;
    }
    // The filter gives up on very long texts; such a paste is no port either.
    const bool filtered = FilterDigitInput(&text, 1) != 0;
    if (filtered && text.empty()) {
        return;
    }
    const std::uint32_t port = filtered ? ReadPort(text) : kMaxPort + 1;
    if (port == 0 || port > kMaxPort) {
        ui::ShowMessage(ui::texts::kPortNumberIsWrong);
        m_nFtpPort = kDefaultPort;
    } else {
        m_nFtpPort = port;
    }
    // Only the port is shown again: the other edits keep what the user typed into them.
    const QString shown = QString::number(m_nFtpPort);
    if (m_editPort.text() != shown) {
        m_editPort.setText(shown);
    }
}

FtpSettings FTPPropertyPage::Settings() const {
    return {m_strFtpServer, m_strFtpUserName, m_strFtpPassword, m_strFtpDirectory, m_nFtpPort};
}
