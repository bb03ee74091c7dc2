#pragma once

// "Account ": the device's user accounts (at most five) and how many users it admits. While the
// sheet is open the accounts live in KernelObject's account rows, kept packed (rows in use are
// always 0 .. count - 1); the edit area under the list adds or edits one row at a time and keeps
// the sheet's EXIT and APPLY disabled meanwhile. The sheet's account step turns the rows into the
// SECURE section and sends it.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "config/config_page.h"
#include "kernel/kernel_object.h"

namespace account {

inline constexpr std::size_t kRows = 5;
// The SECURE send reports its failure in words of its own rather than the other sections' 4012.
inline constexpr const char* kSendFailed = "Set the system config is failed\n";
inline constexpr std::size_t kTextChars = 15;  // a 16-byte field holds 15 characters and a zero

// Level codes by level choice, and the string ids of the choices' texts.
inline constexpr std::array<std::uint16_t, 4> kLevelCodes = {30, 20, 10, 0};
inline constexpr std::array<std::uint32_t, 4> kLevelTextIds = {3011, 8332, 3012, 3013};
// Life times in minutes by life-time choice.
inline constexpr std::array<std::uint32_t, 6> kLifeTimes = {1, 5, 10, 60, 1440, kUnlimitedLifeTime};

int LevelChoice(std::uint16_t code);
std::uint16_t LevelCode(int choice);
int LifeTimeChoice(std::uint32_t minutes);
std::uint32_t LifeTime(int choice);
// The list's level and life-time columns for a row read from the device.
std::string StoredLevelText(std::uint16_t code);
std::string StoredLifeTimeText(std::uint32_t minutes);

// Fills the rows from SECURE, packing the accounts with a name; returns how many there are.
std::uint16_t LoadRows(std::span<const std::uint8_t, 196> secure,
                       std::span<AccountRow, kRows> rows);
// Writes the rows and the maximum users into SECURE. A row not in use clears its name and
// password and leaves its level and life time.
void WriteRows(std::span<const AccountRow, kRows> rows, std::uint8_t maxUsers,
               std::span<std::uint8_t, 196> secure);

// A further account fits while the rows last and the device's maximum allows it; a maximum of 0
// sets no limit of its own.
bool RoomForAccount(std::uint16_t count, std::uint32_t maxUsers);

}  // namespace account

class AccountPropertyPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AccountPropertyPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;
    bool OnKillActive() override;

    void OnAdd();
    void OnDelete();
    void OnEdit();
    void OnOK();
    void OnExit();
    void OnMaxUsersEdited();

    QTreeWidget m_listAccount;
    QLabel m_lblMaxUsers;
    QLineEdit m_editMaxUsers;
    QPushButton m_btnAdd;
    QPushButton m_btnDelete;
    QPushButton m_btnEdit;
    QPushButton m_btnOk;
    QPushButton m_btnExit;
    QLabel m_lblUserName;
    QLabel m_lblPassword;
    QLabel m_lblLifeTime;
    QLabel m_lblLevel;
    QLineEdit m_editUserName;
    QLineEdit m_editPassword;
    QComboBox m_comboLifeTime;
    QComboBox m_comboLevel;

    int m_nLifeTimeChoice = -1;
    std::string m_strPassword;
    int m_nLevelChoice = -1;
    // The choices an EDIT opened with, to tell the user's changes from the stored values.
    int m_nOpenedLevelChoice = -1;
    int m_nOpenedLifeTimeChoice = -1;
    std::string m_strUserName;
    std::uint32_t m_nMaxUsers = 5;
    std::uint8_t m_bEditMode = 0;  // 0 adding, 1 editing
    std::uint16_t m_wAccountCount = 0;
    std::array<std::string, 6> m_strLifeTimeText;
    std::array<std::string, 4> m_strLevelText;
    std::uint32_t m_fAccountListChanged = 0;
    std::uint32_t m_fEditOwnAccount = 0;

    // The login's user name and password as they will be once the accounts are sent: editing the
    // own account changes them, the apply step hands them to the settings after SECURE went out,
    // so a sheet left with EXIT, or a failed send, keeps the credentials the device still knows.
    std::string m_strLoginUser;
    std::string m_strLoginPassword;
    std::uint32_t m_fLoginChanged = 0;

protected:
    void OnInitDialog() override;

private:
    void ShowEditArea(bool show);
    void CloseEditArea();
    int SelectedRow() const;
    bool IsLoginAccount(int row) const;
    void AppendListRow(const std::string& name, const std::string& level,
                       const std::string& lifeTime);
    void SetSheetButtons(bool enable);
};
