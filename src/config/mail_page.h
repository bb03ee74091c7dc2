#pragma once

// "Mail": how the device sends alarm e-mail: the SMTP server, the sender, whether the server wants
// a login, and up to four recipients. All of it lives in the SMTP section. The device stores a
// recipient as "local <address>"; the list shows the address alone, and "Mail Account Edit" takes
// one address for ADD and EDIT.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/config_page.h"

struct SheetOpeningValues;
struct SysCfgBlocks;

namespace smtp_fields {
inline constexpr std::size_t kNeedsLogin = 4;
inline constexpr std::size_t kServer = 8;
inline constexpr std::size_t kServerWidth = 64;
inline constexpr std::size_t kMailFrom = 72;
inline constexpr std::size_t kMailFromWidth = 16;
inline constexpr std::size_t kRecipients = 136;
inline constexpr std::size_t kRecipientWidth = 48;
inline constexpr std::size_t kRecipientSlots = 4;
inline constexpr std::size_t kLoginUser = 376;
inline constexpr std::size_t kLoginPassword = 408;
inline constexpr std::size_t kLoginWidth = 32;
}  // namespace smtp_fields

// What the mail page holds. The recipients are in stored form, in list order.
struct MailSettings {
    std::string mailFrom;
    std::string server;
    std::string loginPassword;
    std::string loginUser;
    std::uint8_t needsLogin = 0;
    bool recipientsChanged = false;
    std::vector<std::string> recipients;
};

// Writes the mail fields that differ from the opening values, and the whole recipient area when
// the list changed; true when anything was written.
bool WriteMailChanges(const SheetOpeningValues& saved, const MailSettings& page, SysCfgBlocks& cfg);

enum class MailAccountForm { Shown, Stored };

// Why an address typed into "Mail Account Edit" cannot be stored; empty when it can (an empty
// address can: ADD and EDIT then change nothing).
std::string CheckMailAddress(const std::string& address);

class CMailAccountEditDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxAddressChars = 63;

    CMailAccountEditDlg(const std::string& prompt, const std::string& address,
                        QWidget* parent = nullptr);

    int DoModal();
    // OK: takes the address, or shows why it cannot be stored and stays open.
    void accept() override;

    std::string m_strPrompt;
    std::string m_strAddress;

    QLabel m_lblPrompt;
    QLineEdit m_editAddress;
    QPushButton m_btnOK;
    QPushButton m_btnCancel;
};

class MailPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    static constexpr int kMaxMailFromChars = 15;
    static constexpr int kMaxServerChars = 63;
    static constexpr int kMaxLoginChars = 31;
    static constexpr std::uint8_t kLoginYes = 2;
    static constexpr std::uint8_t kLoginNo = 0;

    explicit MailPropertyPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    void OnAdd();
    void OnDelete();
    void OnEdit();
    void OnYes();
    void OnNo();

    // Stored form "local <address>" to the address between the angle brackets, or an address to
    // its stored form. A stored text without the brackets is shown as it is; an empty address
    // stores as nothing.
    static std::string ConvertMailAccount(const std::string& text, MailAccountForm to);

    MailSettings Settings() const;

    std::uint8_t m_bRecipientCount = 0;
    QTreeWidget m_listRecipients;
    std::string m_strMailFrom;
    std::string m_strServer;
    std::string m_strPassword;
    std::string m_strUser;
    std::uint8_t m_bNeedsLogin = 0;
    std::uint32_t m_fRecipientsChanged = 0;

    QLineEdit m_editServer;
    QLineEdit m_editMailFrom;
    QRadioButton m_radioYes;
    QRadioButton m_radioNo;
    QLineEdit m_editUser;
    QLineEdit m_editPassword;
    QPushButton m_btnAdd;
    QPushButton m_btnDelete;
    QPushButton m_btnEdit;

protected:
    void OnInitDialog() override;

private:
    void ShowLoginChoice(bool needsLogin);
    // A row shows the address and keeps the stored form it is written back as.
    void SetRow(QTreeWidgetItem& row, const std::string& shown, const std::string& stored);
};
