#include "config/mail_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr int kColumnWidth = 300;
constexpr int kStoredRole = Qt::UserRole;

constexpr const char* kListFull =
    "The list holds four addresses already. Delete one before adding another.";
constexpr const char* kNotAnAddress = "Type an e-mail address such as name@example.com.";
constexpr const char* kAddressTooLong =
    "This address is too long: the device keeps at most 47 characters for the name before the "
    "\"@\" and the whole address together.";

}  // namespace

bool WriteMailChanges(const SheetOpeningValues& saved, const MailSettings& page,
                      SysCfgBlocks& cfg) {
    using namespace smtp_fields;
    bool changed = false;
    for (const auto& [offset, width, text, opening] :
         {std::tuple{kMailFrom, kMailFromWidth, &page.mailFrom, &saved.mailFrom},
          std::tuple{kServer, kServerWidth, &page.server, &saved.smtpServer},
          std::tuple{kLoginPassword, kLoginWidth, &page.loginPassword, &saved.loginPassword},
          std::tuple{kLoginUser, kLoginWidth, &page.loginUser, &saved.loginUser}}) {
        if (*text != *opening) {
            config::WriteFieldText(config::Field(cfg.SMTP, offset, width), *text);
            changed = true;
        }
    }
    if (page.needsLogin != saved.needsLogin) {
        cfg.SMTP[kNeedsLogin] = page.needsLogin;
        changed = true;
    }
    if (page.recipientsChanged) {
        const auto area = config::Field(cfg.SMTP, kRecipients, kRecipientSlots * kRecipientWidth);
        std::fill(area.begin(), area.end(), std::uint8_t{0});
        const std::size_t count = std::min(page.recipients.size(), kRecipientSlots);
        for (std::size_t i = 0; i < count; ++i) {
            config::WriteFieldText(area.subspan(i * kRecipientWidth, kRecipientWidth),
                                   page.recipients[i]);
        }
        changed = true;
    }
    return changed;
}

std::string CheckMailAddress(const std::string& address) {
    if (address.empty()) {
        return {};
    }
    // The stored form wraps the address in angle brackets, so it cannot hold them itself.
    if (address.find('@') == std::string::npos ||
        address.find_first_of("<>") != std::string::npos) {
        return kNotAnAddress;
    }
    const std::string stored =
        MailPropertyPage::ConvertMailAccount(address, MailAccountForm::Stored);
    if (stored.size() >= smtp_fields::kRecipientWidth) {
        return kAddressTooLong;
    }
    return {};
}

CMailAccountEditDlg::CMailAccountEditDlg(const std::string& prompt, const std::string& address,
                                         QWidget* parent)
    : QDialog(parent), m_strPrompt(prompt), m_strAddress(address) {
    setWindowTitle("Mail Account Edit");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_lblPrompt.setParent(this);
    m_lblPrompt.setText(QString::fromStdString(m_strPrompt));
    m_editAddress.setParent(this);
    m_editAddress.setMaxLength(kMaxAddressChars);
    // Addresses of about 50 characters are common enough to show whole.
    config::FitEditToChars(m_editAddress, 50);
    m_editAddress.setText(QString::fromStdString(m_strAddress));
    row->addWidget(&m_lblPrompt);
    row->addWidget(&m_editAddress);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    m_btnOK.setParent(this);
    m_btnOK.setText("OK");
    m_btnOK.setDefault(true);
    m_btnCancel.setParent(this);
    m_btnCancel.setText("CANCEL");
    buttons->addStretch();
    buttons->addWidget(&m_btnOK);
    buttons->addWidget(&m_btnCancel);
    layout->addLayout(buttons);
    connect(&m_btnOK, &QPushButton::clicked, this, &CMailAccountEditDlg::accept);
    connect(&m_btnCancel, &QPushButton::clicked, this, &CMailAccountEditDlg::reject);
}

int CMailAccountEditDlg::DoModal() {
    return exec();
}

void CMailAccountEditDlg::accept() {
    std::string address;
    if (!config::ExchangeText(true, m_editAddress, address, kMaxAddressChars)) {
        return;
    }
    if (const std::string problem = CheckMailAddress(address); !problem.empty()) {
        ui::ShowMessage(problem);
        m_editAddress.setFocus();
        return;
    }
    m_strAddress = address;
    QDialog::accept();
}

MailPropertyPage::MailPropertyPage(QWidget* parent) : CConfigPage("Mail", parent) {
    auto* page = new QVBoxLayout(this);
    auto* server = new QFormLayout;
    m_editServer.setParent(this);
    m_editMailFrom.setParent(this);
    m_editServer.setMaxLength(kMaxServerChars);
    m_editMailFrom.setMaxLength(kMaxMailFromChars);
    server->addRow("Server :", &m_editServer);
    server->addRow("Mail from :", &m_editMailFrom);
    page->addLayout(server);

    auto* verify = new QGroupBox("Verify Password", this);
    auto* login = new QFormLayout(verify);
    auto* choice = new QHBoxLayout;
    m_radioYes.setParent(verify);
    m_radioNo.setParent(verify);
    m_radioYes.setText("Yes");
    m_radioNo.setText("No");
    choice->addWidget(&m_radioYes);
    choice->addWidget(&m_radioNo);
    choice->addStretch();
    login->addRow("Verify :", choice);
    m_editUser.setParent(verify);
    m_editPassword.setParent(verify);
    m_editUser.setMaxLength(kMaxLoginChars);
    m_editPassword.setMaxLength(kMaxLoginChars);
    m_editPassword.setEchoMode(QLineEdit::Password);
    login->addRow("User :", &m_editUser);
    login->addRow("Password :", &m_editPassword);
    page->addWidget(verify);

    auto* recipients = new QGroupBox("Modify alarm email address ", this);
    auto* list = new QVBoxLayout(recipients);
    auto* buttons = new QHBoxLayout;
    for (auto [button, text] :
         {std::pair{&m_btnAdd, "ADD"}, {&m_btnDelete, "DELETE"}, {&m_btnEdit, "EDIT"}}) {
        button->setParent(recipients);
        button->setText(text);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    list->addLayout(buttons);
    m_listRecipients.setParent(recipients);
    m_listRecipients.setRootIsDecorated(false);
    m_listRecipients.setSelectionBehavior(QAbstractItemView::SelectRows);
    list->addWidget(&m_listRecipients);
    page->addWidget(recipients);

    connect(&m_radioYes, &QRadioButton::clicked, this, &MailPropertyPage::OnYes);
    connect(&m_radioNo, &QRadioButton::clicked, this, &MailPropertyPage::OnNo);
    connect(&m_btnAdd, &QPushButton::clicked, this, &MailPropertyPage::OnAdd);
    connect(&m_btnDelete, &QPushButton::clicked, this, &MailPropertyPage::OnDelete);
    connect(&m_btnEdit, &QPushButton::clicked, this, &MailPropertyPage::OnEdit);
}

void MailPropertyPage::OnInitDialog() {
    using namespace smtp_fields;
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    m_strMailFrom = config::ReadFieldText(config::Field(cfg.SMTP, kMailFrom, kMailFromWidth));
    m_strServer = config::ReadFieldText(config::Field(cfg.SMTP, kServer, kServerWidth));
    m_strPassword = config::ReadFieldText(config::Field(cfg.SMTP, kLoginPassword, kLoginWidth));
    m_strUser = config::ReadFieldText(config::Field(cfg.SMTP, kLoginUser, kLoginWidth));
    m_bNeedsLogin = cfg.SMTP[kNeedsLogin];
    // Any other value marks neither choice and leaves the login fields as they are.
    if (m_bNeedsLogin == kLoginNo || m_bNeedsLogin == kLoginYes) {
        ShowLoginChoice(m_bNeedsLogin == kLoginYes);
    }

    m_listRecipients.setHeaderLabels(
        {QString::fromStdString(ui::LoadString(ui::texts::kMailAccountColumn))});
    m_listRecipients.setColumnWidth(0,
                                    static_cast<int>(std::trunc(kColumnWidth * g_lpApp->m_fScale)));
    m_bRecipientCount = 0;
    for (std::size_t i = 0; i < kRecipientSlots; ++i) {
        const auto slot =
            config::Field(cfg.SMTP, kRecipients + i * kRecipientWidth, kRecipientWidth);
        if (slot[0] == 0) {
            continue;
        }
        const std::string stored = config::ReadFieldText(slot);
        SetRow(*new QTreeWidgetItem(&m_listRecipients),
               ConvertMailAccount(stored, MailAccountForm::Shown), stored);
        ++m_bRecipientCount;
    }
    UpdateData(false);
}

bool MailPropertyPage::UpdateData(bool save) {
    return config::ExchangeText(save, m_editMailFrom, m_strMailFrom, kMaxMailFromChars) &&
           config::ExchangeText(save, m_editServer, m_strServer, kMaxServerChars) &&
           config::ExchangeText(save, m_editPassword, m_strPassword, kMaxLoginChars) &&
           config::ExchangeText(save, m_editUser, m_strUser, kMaxLoginChars);
}

void MailPropertyPage::SetRow(QTreeWidgetItem& row, const std::string& shown,
                              const std::string& stored) {
    row.setText(0, QString::fromStdString(shown));
    // The stored form keeps the device's bytes, whatever their encoding.
    row.setData(0, kStoredRole, QByteArray::fromStdString(stored));
}

void MailPropertyPage::OnAdd() {
    if (m_bRecipientCount >= smtp_fields::kRecipientSlots) {
        ui::ShowMessage(kListFull);
        return;
    }
    CMailAccountEditDlg dialog(ui::LoadString(ui::texts::kAddPrompt), {}, this);
    if (dialog.DoModal() != QDialog::Accepted || dialog.m_strAddress.empty()) {
        return;
    }
    SetRow(*new QTreeWidgetItem(&m_listRecipients), dialog.m_strAddress,
           ConvertMailAccount(dialog.m_strAddress, MailAccountForm::Stored));
    ++m_bRecipientCount;
    m_fRecipientsChanged = 1;
}

void MailPropertyPage::OnDelete() {
    const QList<QTreeWidgetItem*> selected = m_listRecipients.selectedItems();
    if (selected.isEmpty()) {
        ui::ShowMessage(ui::texts::kSelectMailBeforeDelete);
        return;
    }
    --m_bRecipientCount;
    delete selected.front();
    m_fRecipientsChanged = 1;
}

void MailPropertyPage::OnEdit() {
    const QList<QTreeWidgetItem*> selected = m_listRecipients.selectedItems();
    if (selected.isEmpty()) {
        ui::ShowMessage(ui::texts::kSelectMailBeforeEdit);
        return;
    }
    QTreeWidgetItem* row = selected.front();
    CMailAccountEditDlg dialog(ui::LoadString(ui::texts::kEditPrompt), row->text(0).toStdString(),
                               this);
    // An emptied address would store as a blank recipient; DELETE is the way to remove one.
    if (dialog.DoModal() != QDialog::Accepted || dialog.m_strAddress.empty()) {
        return;
    }
    SetRow(*row, dialog.m_strAddress,
           ConvertMailAccount(dialog.m_strAddress, MailAccountForm::Stored));
    m_fRecipientsChanged = 1;
}

void MailPropertyPage::OnYes() {
    m_bNeedsLogin = kLoginYes;
    ShowLoginChoice(true);
}

void MailPropertyPage::OnNo() {
    m_bNeedsLogin = kLoginNo;
    ShowLoginChoice(false);
}

void MailPropertyPage::ShowLoginChoice(bool needsLogin) {
    m_radioYes.setChecked(needsLogin);
    m_radioNo.setChecked(!needsLogin);
    m_editUser.setEnabled(needsLogin);
    m_editPassword.setEnabled(needsLogin);
}

std::string MailPropertyPage::ConvertMailAccount(const std::string& text, MailAccountForm to) {
    if (to == MailAccountForm::Shown) {
        const std::size_t open = text.find('<');
        const std::size_t close = open == std::string::npos ? open : text.find('>', open);
        if (close == std::string::npos) {
            return text;
        }
        return text.substr(open + 1, close - open - 1);
    }
    if (text.empty()) {
        return {};
    }
    return text.substr(0, text.find('@')) + " <" + text + ">";
}

MailSettings MailPropertyPage::Settings() const {
    MailSettings s;
    s.mailFrom = m_strMailFrom;
    s.server = m_strServer;
    s.loginPassword = m_strPassword;
    s.loginUser = m_strUser;
    s.needsLogin = m_bNeedsLogin;
    s.recipientsChanged = m_fRecipientsChanged != 0;
    for (int i = 0; i < m_listRecipients.topLevelItemCount(); ++i) {
        s.recipients.push_back(
            m_listRecipients.topLevelItem(i)->data(0, kStoredRole).toByteArray().toStdString());
    }
    return s;
}
