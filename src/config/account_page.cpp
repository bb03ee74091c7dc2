#include "config/account_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/section_fields.h"
#include "kernel/utilities.h"
#include "platform/byte_order.h"
#include "protocol/config_section.h"
#include "protocol/login.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace account {

namespace {

constexpr std::size_t kMaxUsersAt = 2;
constexpr std::size_t kNameAt = 8;
constexpr std::size_t kPasswordAt = 88;
constexpr std::size_t kLevelAt = 168;
constexpr std::size_t kLifeTimeAt = 176;
constexpr std::size_t kTextWidth = 16;

template <typename Table, typename Value>
int IndexIn(const Table& table, Value value, int otherwise) {
    const auto it = std::find(table.begin(), table.end(), value);
    return it == table.end() ? otherwise : static_cast<int>(it - table.begin());
}

}  // namespace

int LevelChoice(std::uint16_t code) {
    return IndexIn(kLevelCodes, code, 3);
}

std::uint16_t LevelCode(int choice) {
    return choice >= 0 && choice < static_cast<int>(kLevelCodes.size()) ? kLevelCodes[choice]
                                                                        : std::uint16_t{0};
}

int LifeTimeChoice(std::uint32_t minutes) {
    return IndexIn(kLifeTimes, minutes, 5);
}

std::uint32_t LifeTime(int choice) {
    return choice >= 0 && choice < static_cast<int>(kLifeTimes.size()) ? kLifeTimes[choice] : 1;
}

std::string StoredLevelText(std::uint16_t code) {
    // A code the client does not know reads as the highest level.
    return ui::LoadString(kLevelTextIds[IndexIn(kLevelCodes, code, 0)]);
}

std::string StoredLifeTimeText(std::uint32_t minutes) {
    switch (minutes) {
        case kUnlimitedLifeTime:
            return ui::LoadString(ui::texts::kInfinityText);
        case 1440:
            return ui::LoadString(ui::texts::kOneDayText);
        case 60:
            return ui::LoadString(ui::texts::kOneHourText);
        default:
            return std::to_string(minutes) + " " + ui::LoadString(ui::texts::kMinuteText);
    }
}

std::uint16_t LoadRows(std::span<const std::uint8_t, 196> secure,
                       std::span<AccountRow, kRows> rows) {
    std::fill(rows.begin(), rows.end(), AccountRow{});
    std::uint16_t count = 0;
    for (std::size_t i = 0; i < kRows; ++i) {
        if (secure[kNameAt + kTextWidth * i] == 0) {
            continue;
        }
        AccountRow& row = rows[count++];
        row.user = config::ReadFieldText(secure.subspan(kNameAt + kTextWidth * i, kTextWidth));
        row.password =
            config::ReadFieldText(secure.subspan(kPasswordAt + kTextWidth * i, kTextWidth));
        row.level = secure[kLevelAt + i];
        row.lifetime = platform::GetU32(&secure[kLifeTimeAt + 4 * i]);
        row.used = 1;
    }
    return count;
}

void WriteRows(std::span<const AccountRow, kRows> rows, std::uint8_t maxUsers,
               std::span<std::uint8_t, 196> secure) {
    for (std::size_t i = 0; i < kRows; ++i) {
        const AccountRow& row = rows[i];
        const auto name = secure.subspan(kNameAt + kTextWidth * i, kTextWidth);
        const auto password = secure.subspan(kPasswordAt + kTextWidth * i, kTextWidth);
        if (row.used == 0) {
            std::fill(name.begin(), name.end(), std::uint8_t{0});
            std::fill(password.begin(), password.end(), std::uint8_t{0});
            continue;
        }
        secure[kLevelAt + i] = static_cast<std::uint8_t>(row.level);
        platform::PutU32(&secure[kLifeTimeAt + 4 * i], row.lifetime);
        config::WriteFieldText(name, row.user);
        config::WriteFieldText(password, row.password);
    }
    secure[kMaxUsersAt] = maxUsers;
}

bool RoomForAccount(std::uint16_t count, std::uint32_t maxUsers) {
    return count < kRows && (maxUsers == 0 || count < maxUsers);
}

}  // namespace account

namespace {

constexpr std::uint32_t kMaxUsersLimit = 5;
constexpr std::uint32_t kMaxUsersForZero = 3;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::span<AccountRow, account::kRows> Rows() {
    return g_lpApp->m_AccountRows;
}

}  // namespace

AccountPropertyPage::AccountPropertyPage(QWidget* parent) : CConfigPage("Account ", parent) {
    m_lblMaxUsers.setText("Max User(s) :");
    m_editMaxUsers.setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &m_editMaxUsers));
    m_btnAdd.setText("ADD");
    m_btnDelete.setText("DELETE");
    m_btnEdit.setText("EDIT");
    m_btnOk.setText("OK");
    m_btnExit.setText("EXIT");
    m_lblUserName.setText("Username :");
    m_lblPassword.setText("Password :");
    m_lblLifeTime.setText("Life time :");
    m_lblLevel.setText("User level :");
    // The device keeps 15 characters of each text and a zero byte.
    m_editUserName.setMaxLength(account::kTextChars);
    m_editPassword.setMaxLength(account::kTextChars);
    m_editPassword.setEchoMode(QLineEdit::Password);
    m_comboLifeTime.addItems(
        {"1    Min", "5    Min", "10  Min", "1    Hour", "1    Day", "INFINITY"});
    m_comboLevel.addItems({"SUPERVISOR", "HIGH         USER", "NORMAL   USER", "GUEST"});
    m_listAccount.setRootIsDecorated(false);
    m_listAccount.setSelectionMode(QAbstractItemView::SingleSelection);
    m_listAccount.setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* maxRow = new QHBoxLayout;
    maxRow->addWidget(&m_lblMaxUsers);
    config::FitEditToValue(m_editMaxUsers, 1);
    maxRow->addWidget(&m_editMaxUsers);
    maxRow->addStretch();
    maxRow->addStretch();
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* button : {&m_btnAdd, &m_btnDelete, &m_btnEdit}) {
        listButtons->addWidget(button);
    }
    auto* editArea = new QGridLayout;
    editArea->addWidget(&m_lblUserName, 0, 0);
    editArea->addWidget(&m_editUserName, 0, 1);
    editArea->addWidget(&m_lblPassword, 1, 0);
    editArea->addWidget(&m_editPassword, 1, 1);
    editArea->addWidget(&m_lblLifeTime, 0, 2);
    editArea->addWidget(&m_comboLifeTime, 0, 3);
    editArea->addWidget(&m_lblLevel, 1, 2);
    editArea->addWidget(&m_comboLevel, 1, 3);
    editArea->addWidget(&m_btnOk, 2, 2);
    editArea->addWidget(&m_btnExit, 2, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_listAccount);
    layout->addLayout(maxRow);
    layout->addLayout(listButtons);
    layout->addLayout(editArea);

    connect(&m_btnAdd, &QPushButton::clicked, this, &AccountPropertyPage::OnAdd);
    connect(&m_btnDelete, &QPushButton::clicked, this, &AccountPropertyPage::OnDelete);
    connect(&m_btnEdit, &QPushButton::clicked, this, &AccountPropertyPage::OnEdit);
    connect(&m_btnOk, &QPushButton::clicked, this, &AccountPropertyPage::OnOK);
    connect(&m_btnExit, &QPushButton::clicked, this, &AccountPropertyPage::OnExit);
    connect(&m_editMaxUsers, &QLineEdit::textEdited, this, &AccountPropertyPage::OnMaxUsersEdited);
}

void AccountPropertyPage::OnInitDialog() {
    ShowEditArea(false);
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    m_nMaxUsers = cfg.SECURE[2];

    const float scale = g_lpApp->m_fScale;
    m_listAccount.setHeaderLabels(
        {QString::fromStdString(ui::LoadString(ui::texts::kUserNameColumn)),
         QString::fromStdString(ui::LoadString(ui::texts::kUserLevelColumn)),
         QString::fromStdString(ui::LoadString(ui::texts::kLifeTimeColumn))});
    const int widths[] = {80, 130, 130};
    for (int column = 0; column < 3; ++column) {
        m_listAccount.header()->resizeSection(column,
                                              static_cast<int>(std::trunc(widths[column] * scale)));
    }
    const std::string minutes = ui::LoadString(ui::texts::kMinuteText);
    m_strLifeTimeText = {"1  " + minutes,
                         "5  " + minutes,
                         "10 " + minutes,
                         ui::LoadString(ui::texts::kOneHourText),
                         ui::LoadString(ui::texts::kOneDayText),
                         ui::LoadString(ui::texts::kInfinityText)};
    for (std::size_t i = 0; i < m_strLevelText.size(); ++i) {
        m_strLevelText[i] = ui::LoadString(account::kLevelTextIds[i]);
    }

    m_wAccountCount = account::LoadRows(cfg.SECURE, Rows());
    for (std::uint16_t i = 0; i < m_wAccountCount; ++i) {
        const AccountRow& row = Rows()[i];
        AppendListRow(row.user, account::StoredLevelText(row.level),
                      account::StoredLifeTimeText(row.lifetime));
    }
    m_fEditOwnAccount = 0;
    m_strLoginUser = g_lpApp->CSettingINI.m_strUserName;
    m_strLoginPassword = g_lpApp->CSettingINI.m_strPassword;
    m_fLoginChanged = 0;
    UpdateData(false);
}

bool AccountPropertyPage::UpdateData(bool save) {
    // The edits stop at 15 characters; a text whose characters take more bytes than the field
    // holds is refused rather than cut inside a character.
    constexpr int kChars = static_cast<int>(account::kTextChars);
    bool ok = config::ExchangeText(save, m_editUserName, m_strUserName, kChars);
    ok = config::ExchangeText(save, m_editPassword, m_strPassword, kChars) && ok;
    config::ExchangeIndex(save, m_comboLifeTime, m_nLifeTimeChoice);
    config::ExchangeIndex(save, m_comboLevel, m_nLevelChoice);
    int maxUsers = static_cast<int>(std::min<std::uint32_t>(m_nMaxUsers, 255));
    if (config::ExchangeInt(save, m_editMaxUsers, maxUsers, 0, 255)) {
        m_nMaxUsers = static_cast<std::uint32_t>(maxUsers);
    } else {
        ok = false;
    }
    return ok;
}

void AccountPropertyPage::ShowEditArea(bool show) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             &m_lblUserName, &m_lblPassword, &m_lblLifeTime, &m_lblLevel, &m_editUserName,
             &m_editPassword, &m_comboLifeTime, &m_comboLevel, &m_btnOk, &m_btnExit}) {
        w->setVisible(show);
        w->setEnabled(show);
    }
    for (QPushButton* button : {&m_btnAdd, &m_btnDelete, &m_btnEdit}) {
        button->setEnabled(!show);
    }
}

void AccountPropertyPage::SetSheetButtons(bool enable) {
    if (Sheet() == nullptr) {
        return;
    }
    if (enable) {
        Sheet()->EnableSheetButtons();
    } else {
        Sheet()->DisableSheetButtons();
    }
}

int AccountPropertyPage::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_listAccount.selectedItems();
    if (selected.isEmpty()) {
        return -1;
    }
    const int row = m_listAccount.indexOfTopLevelItem(selected.front());
    return row < m_wAccountCount ? row : -1;
}

bool AccountPropertyPage::IsLoginAccount(int row) const {
    return row >= 0 && row < static_cast<int>(account::kRows) &&
           SameNameIgnoringCase(Rows()[row].user, m_strLoginUser);
}

void AccountPropertyPage::AppendListRow(const std::string& name, const std::string& level,
                                        const std::string& lifeTime) {
    m_listAccount.addTopLevelItem(
        new QTreeWidgetItem({QString::fromStdString(name), QString::fromStdString(level),
                             QString::fromStdString(lifeTime)}));
}

void AccountPropertyPage::OnAdd() {
    if (!account::RoomForAccount(m_wAccountCount, m_nMaxUsers)) {
        ui::ShowMessage(ui::texts::kAddFailed);
        return;
    }
    ShowEditArea(true);
    m_nLifeTimeChoice = -1;
    m_nLevelChoice = -1;
    m_strUserName.clear();
    m_strPassword.clear();
    UpdateData(false);
    m_bEditMode = 0;
    SetSheetButtons(false);
}

void AccountPropertyPage::OnEdit() {
    if (m_wAccountCount == 0) {
        ui::ShowMessage(ui::texts::kNothingToEdit);
    }
    const int row = SelectedRow();
    if (row < 0) {
        ui::ShowMessage(ui::texts::kSelectAccountBeforeEdit);
        return;
    }
    m_fEditOwnAccount = IsLoginAccount(row) ? 1 : 0;
    ShowEditArea(true);
    const AccountRow& account = Rows()[row];
    m_nLevelChoice = account::LevelChoice(account.level);
    m_nLifeTimeChoice = account::LifeTimeChoice(account.lifetime);
    m_nOpenedLevelChoice = m_nLevelChoice;
    m_nOpenedLifeTimeChoice = m_nLifeTimeChoice;
    m_strPassword = account.password;
    m_strUserName = account.user;
    UpdateData(false);
    m_bEditMode = 1;
    m_listAccount.setEnabled(false);
    SetSheetButtons(false);
}

void AccountPropertyPage::OnOK() {
    ShowEditArea(false);
    // A text the exchange refuses must count as missing, not leave the one the row had before.
    m_strUserName.clear();
    m_strPassword.clear();
    UpdateData(true);
    const bool complete = !m_strPassword.empty() && !m_strUserName.empty() && m_nLevelChoice >= 0 &&
                          m_nLifeTimeChoice >= 0;
    // An account whose name or password the login could not send would lock its user out: it
    // is refused here by the login's own rule and words.
    const std::optional<std::string> unsendable = RefusedLoginText(m_strUserName, m_strPassword);
    if (m_bEditMode == 1) {
        const int row = SelectedRow();
        m_listAccount.setEnabled(true);
        SetSheetButtons(true);
        if (!complete || row < 0) {
            ui::ShowMessage(ui::texts::kEditFailed);
            return;
        }
        if (unsendable) {
            ui::ShowMessage(*unsendable);
            return;
        }
        AccountRow& account = Rows()[row];
        if (m_fEditOwnAccount != 0) {
            // The own account cannot change its level: the login keeps its rights.
            m_nLevelChoice = 0;
            m_strLoginUser = m_strUserName;
            m_strLoginPassword = m_strPassword;
            m_fLoginChanged = 1;
        } else if (m_nLevelChoice != m_nOpenedLevelChoice) {
            account.level = account::LevelCode(m_nLevelChoice);
        }
        QTreeWidgetItem* item = m_listAccount.topLevelItem(row);
        // A choice the user left as it opened keeps the stored value and its text, also a value
        // the lists have no entry for (the choice then only stood for it).
        if (m_fEditOwnAccount != 0 || m_nLevelChoice != m_nOpenedLevelChoice) {
            item->setText(1, QString::fromStdString(m_strLevelText[m_nLevelChoice]));
        }
        if (m_nLifeTimeChoice != m_nOpenedLifeTimeChoice) {
            account.lifetime = account::LifeTime(m_nLifeTimeChoice);
            item->setText(2, QString::fromStdString(m_strLifeTimeText[m_nLifeTimeChoice]));
        }
        account.user = m_strUserName;
        account.password = m_strPassword;
        item->setText(0, QString::fromStdString(m_strUserName));
        m_fAccountListChanged = 1;
        m_fEditOwnAccount = 0;
        return;
    }
    SetSheetButtons(true);
    if (!complete) {
        ui::ShowMessage(ui::texts::kAddFailed);
        return;
    }
    if (unsendable) {
        ui::ShowMessage(*unsendable);
        return;
    }
    if (m_wAccountCount >= account::kRows) {
        ui::ShowMessage(ui::texts::kAccountMemoryFull);
        return;
    }
    if (!account::RoomForAccount(m_wAccountCount, m_nMaxUsers)) {
        ui::ShowMessage(ui::texts::kAddFailed);
        return;
    }
    AppendListRow(m_strUserName, m_strLevelText[m_nLevelChoice],
                  m_strLifeTimeText[m_nLifeTimeChoice]);
    AccountRow& account = Rows()[m_wAccountCount];
    account.level = account::LevelCode(m_nLevelChoice);
    account.lifetime = account::LifeTime(m_nLifeTimeChoice);
    account.user = m_strUserName;
    account.password = m_strPassword;
    account.used = 1;
    ++m_wAccountCount;
    m_fAccountListChanged = 1;
}

void AccountPropertyPage::OnDelete() {
    if (m_wAccountCount == 0) {
        ui::ShowMessage(ui::texts::kNothingToDelete);
    }
    const int row = SelectedRow();
    if (row < 0) {
        ui::ShowMessage(ui::texts::kSelectAccountBeforeDelete);
        return;
    }
    if (IsLoginAccount(row)) {
        ui::ShowMessage(ui::texts::kOwnAccount);
        return;
    }
    delete m_listAccount.takeTopLevelItem(row);
    // The list would select the next row by itself; a further DELETE must name its row anew.
    m_listAccount.clearSelection();
    const auto rows = Rows();
    std::move(rows.begin() + row + 1, rows.begin() + m_wAccountCount, rows.begin() + row);
    --m_wAccountCount;
    rows[m_wAccountCount] = AccountRow{};
    m_fAccountListChanged = 1;
}

void AccountPropertyPage::CloseEditArea() {
    ShowEditArea(false);
    m_nLifeTimeChoice = -1;
    m_nLevelChoice = -1;
    m_strUserName.clear();
    m_strPassword.clear();
    UpdateData(false);
    m_listAccount.setEnabled(true);
    SetSheetButtons(true);
}

void AccountPropertyPage::OnExit() {
    CloseEditArea();
}

void AccountPropertyPage::OnMaxUsersEdited() {
    std::string text = m_editMaxUsers.text().toStdString();
    if (text.empty()) {
        return;
    }
    FilterDigitInput(&text, 1);
    if (text.empty()) {
        return;
    }
    // Anything longer than two significant digits is far above the limit.
    const std::size_t first = std::min(text.find_first_not_of('0'), text.size());
    std::uint32_t value = 0;
    if (text.size() - first > 2) {
        value = kMaxUsersLimit + 1;
    } else if (first < text.size()) {
        value = static_cast<std::uint32_t>(std::stoul(text.substr(first)));
    }
    if (value > kMaxUsersLimit) {
        ui::ShowMessage(ui::texts::kMaxUsersRange);
        value = kMaxUsersLimit;
    } else if (value == 0) {
        ui::ShowMessage(ui::texts::kMaxUsersRange);
        value = kMaxUsersForZero;
    }
    m_nMaxUsers = value;
    const QString shown = QString::number(value);
    if (m_editMaxUsers.text() != shown) {
        m_editMaxUsers.setText(shown);
    }
}

bool AccountPropertyPage::OnKillActive() {
    if (m_editMaxUsers.text().isEmpty()) {
        ui::ShowMessage(ui::texts::kMaxUsersEmpty);
        return false;
    }
    CloseEditArea();
    return UpdateData(true);
}
