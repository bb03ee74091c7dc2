#include "login/address_book.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <charconv>

#include "kernel/damaged_file.h"
#include "platform/paths.h"
#include "ui/message_sink.h"
#include "widgets/field_enter.h"

namespace {

// From this many entries on the rows no longer fit and the scroll bar takes over.
constexpr int kScrollBarEntries = 11;
constexpr int kUserMaxLength = 15;

std::string Trimmed(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

// A web port typed into the port edit: 1 to 65535, anything else (text, blanks) refused.
std::optional<std::uint16_t> ParsePort(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

CAddressBookDialog::CAddressBookDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("IP Address Book");
    m_UserList = new QListWidget(this);
    m_IPAddressList = new QListWidget(this);
    m_MajorPortList = new QListWidget(this);
    m_CommentList = new QListWidget(this);
    m_ScrollBar = new QScrollBar(Qt::Vertical, this);
    m_editUser = new QLineEdit(this);
    m_editUser->setMaxLength(kUserMaxLength);
    m_editIPAddress = new QLineEdit(this);
    m_editMajorPort = new QLineEdit(this);
    m_editComment = new QLineEdit(this);
    m_btnAdd = new QPushButton("ADD", this);
    m_btnDelete = new QPushButton("DELETE", this);
    m_btnSelect = new QPushButton("SELECT", this);
    m_btnEdit = new QPushButton("EDIT", this);
    m_btnCancel = new QPushButton("CANCEL", this);
    m_btnEditOk = new QPushButton("OK", this);
    m_btnEntryCancel = new QPushButton("Cancel", this);

    // One column per field: its heading, its list, and below it the edit that ADD and EDIT
    // show for it.
    static constexpr const char* kHeadings[] = {"User", "IP Address", "Port", "Comment"};
    static constexpr int kMinimumWidths[] = {110, 150, 70, 160};
    QListWidget* const columnLists[] = {m_UserList, m_IPAddressList, m_MajorPortList,
                                        m_CommentList};
    QLineEdit* const columnEdits[] = {m_editUser, m_editIPAddress, m_editMajorPort, m_editComment};
    auto* columns = new QGridLayout;
    for (int column = 0; column < 4; ++column) {
        QListWidget* list = columnLists[column];
        auto* heading = new QLabel(kHeadings[column], this);
        heading->setBuddy(columnEdits[column]);
        columnEdits[column]->setPlaceholderText(kHeadings[column]);
        columns->addWidget(heading, 0, column);
        columns->addWidget(list, 1, column);
        columns->addWidget(columnEdits[column], 2, column);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setMinimumWidth(kMinimumWidths[column]);
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (!m_fSyncingRows && row >= 0 && row < m_iUserNumber) {
                SelectRow(row);
            }
        });
    }
    columns->addWidget(m_ScrollBar, 1, 4);
    columns->setColumnStretch(1, 2);
    columns->setColumnStretch(3, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_btnAdd, m_btnDelete, m_btnSelect, m_btnEdit, m_btnCancel,
                                m_btnEditOk, m_btnEntryCancel}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    m_ScrollBar->setSingleStep(1);
    m_ScrollBar->setPageStep(5);
    connect(m_ScrollBar, &QScrollBar::valueChanged, this, [this](int row) {
        if (!m_fSyncingRows && row >= 0 && row < m_iUserNumber) {
            SelectRow(row);
        }
    });
    connect(m_btnAdd, &QPushButton::clicked, this, &CAddressBookDialog::OnAdd);
    connect(m_btnEditOk, &QPushButton::clicked, this, &CAddressBookDialog::OnAddOk);
    connect(m_btnEntryCancel, &QPushButton::clicked, this, &CAddressBookDialog::OnEntryCancel);
    connect(m_btnEdit, &QPushButton::clicked, this, &CAddressBookDialog::OnEditButton);
    connect(m_btnDelete, &QPushButton::clicked, this, &CAddressBookDialog::OnDelete);
    connect(m_btnSelect, &QPushButton::clicked, this, &CAddressBookDialog::OnSelect);
    // The button reads CANCEL but ends the dialog as OK does; only 100 hands over an entry.
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    // Enter from a field of the open entry confirms it, Enter in the lists takes the chosen
    // entry; no button Qt made the default on its own (one hidden meanwhile, say) gets it.
    ui::SetFieldEnterAction(*this, [this] { m_fAddMode ? OnAddOk() : OnSelect(); });
}

CAddressBookDialog::~CAddressBookDialog() {
    if (!m_fRecordFileGood) {
        return;
    }
    if (const platform::FileStatus saved = WriteIPRecordFile(RecordFile(), m_arrEntries); !saved) {
        ui::ShowMessage("The address book could not be saved: " + RecordFile().string() + " " +
                        saved.Describe() + ".");
    }
}

std::filesystem::path CAddressBookDialog::RecordFile() const {
    return platform::ProgramFolder() / "IPRecord.dat";
}

int CAddressBookDialog::DoModal() {
    if (!OnInitDialog()) {
        return kBookFailed;
    }
    return exec();
}

bool CAddressBookDialog::OnInitDialog() {
    m_ScrollBar->setEnabled(false);
    const IPRecordFileContents contents = ReadIPRecordFile(RecordFile());
    if (contents.status != IPRecordFileStatus::Ok) {
        const std::string file = RecordFile().string();
        if (contents.status == IPRecordFileStatus::NotKeptAside) {
            TellDamagedFileNotKeptAside("address book", RecordFile(), contents.why);
        } else {
            ui::ShowMessage(
                contents.status == IPRecordFileStatus::Bad
                    ? "The address book " + file +
                          " holds a damaged entry. It was not opened and is left as it is."
                    : "The address book " + file + " cannot be opened: it " +
                          contents.why.Describe() + ".");
        }
        m_fRecordFileGood = false;
        setResult(kBookFailed);
        return false;
    }
    m_fRecordFileGood = true;
    for (const IPRecord& entry : contents.records) {
        AppendEntry(entry);
    }
    ShowEntryEdits(false);
    if (contents.keptAside) {
        TellDamagedFileKeptAside("address book", RecordFile(), *contents.keptAside,
                                 contents.records.size());
    }
    return true;
}

void CAddressBookDialog::ShowEntryEdits(bool show) {
    for (QWidget* edit :
         {static_cast<QWidget*>(m_editUser), static_cast<QWidget*>(m_editIPAddress),
          static_cast<QWidget*>(m_editMajorPort), static_cast<QWidget*>(m_editComment),
          static_cast<QWidget*>(m_btnEditOk), static_cast<QWidget*>(m_btnEntryCancel)}) {
        edit->setVisible(show);
    }
    for (QPushButton* button : {m_btnAdd, m_btnDelete, m_btnSelect, m_btnCancel, m_btnEdit}) {
        button->setVisible(!show);
    }
    // Typing goes where the user looks: the entry's first field, or the lists once it is closed;
    // in a book with no entry, ADD, where the drawing of the buttons shows the key goes.
    QWidget* const typed = show                ? static_cast<QWidget*>(m_editUser)
                           : m_iUserNumber > 0 ? static_cast<QWidget*>(m_UserList)
                                               : m_btnAdd;
    typed->setFocus();
    m_fAddMode = show;
}

std::optional<IPRecord> CAddressBookDialog::ReadEntryEdits() const {
    IPRecord entry{Trimmed(m_editUser), Trimmed(m_editIPAddress),
                   m_editComment->text().toStdString(), 0};
    if (entry.user.empty() || entry.address.empty()) {
        ui::ShowMessage("User name & ip address cant be empty,try again");
        return std::nullopt;
    }
    if (!IsDeviceAddressText(entry.address)) {
        ui::ShowMessage("IP address \"" + entry.address +
                        "\" is no address: type four numbers 0 ~ 255 separated by dots, or a "
                        "host name,try again");
        return std::nullopt;
    }
    const std::optional<std::uint16_t> port = ParsePort(Trimmed(m_editMajorPort));
    if (!port) {
        ui::ShowMessage("Port number can't be out of range 1 ~ 65535,try again");
        return std::nullopt;
    }
    entry.port = *port;
    return entry;
}

void CAddressBookDialog::OnAdd() {
    m_nOkMode = 1;
    if (!m_fAddMode) {
        m_editUser->clear();
        m_editIPAddress->clear();
        m_editMajorPort->clear();
        m_editComment->clear();
        ShowEntryEdits(true);
        return;
    }
    if (const std::optional<IPRecord> entry = ReadEntryEdits()) {
        AppendEntry(*entry);
        ShowEntryEdits(false);
    }
}

void CAddressBookDialog::OnAddOk() {
    if (m_nOkMode != 2) {
        OnAdd();
        return;
    }
    const int row = m_iSelected;
    if (row < 0 || row >= m_iUserNumber) {
        OnEntryCancel();
        return;
    }
    const std::optional<IPRecord> entry = ReadEntryEdits();
    if (!entry) {
        return;
    }
    m_arrEntries[static_cast<std::size_t>(row)] = *entry;
    SetRowTexts(row, *entry);
    OnEntryCancel();
}

void CAddressBookDialog::OnEntryCancel() {
    SetListsEnabled(true);
    ShowEntryEdits(false);
    if (m_iSelected >= 0 && m_iSelected < m_iUserNumber) {
        SelectRow(m_iSelected);
    }
}

void CAddressBookDialog::reject() {
    if (m_fAddMode) {
        OnEntryCancel();
        return;
    }
    QDialog::reject();
}

void CAddressBookDialog::closeEvent(QCloseEvent* event) {
    if (m_fAddMode) {
        OnEntryCancel();
    }
    QDialog::closeEvent(event);
}

void CAddressBookDialog::OnEditButton() {
    const int row = m_UserList->currentRow();
    if (row < 0 || row >= m_iUserNumber) {
        ui::ShowMessage("Please select a setting");
        return;
    }
    m_nOkMode = 2;
    m_iSelected = row;
    const IPRecord& entry = m_arrEntries[static_cast<std::size_t>(row)];
    m_editUser->setText(QString::fromStdString(entry.user));
    m_editIPAddress->setText(QString::fromStdString(entry.address));
    m_editMajorPort->setText(QString::number(entry.port));
    m_editComment->setText(QString::fromStdString(entry.comment));
    ShowEntryEdits(true);
    SetListsEnabled(false);
}

void CAddressBookDialog::OnDelete() {
    const int row = m_UserList->currentRow();
    if (row < 0 || row >= m_iUserNumber) {
        ui::ShowMessage("Please select a setting");
        return;
    }
    m_fSyncingRows = true;
    m_arrEntries.erase(m_arrEntries.begin() + row);
    for (QListWidget* list : {m_UserList, m_IPAddressList, m_MajorPortList, m_CommentList}) {
        delete list->takeItem(row);
    }
    m_fSyncingRows = false;
    --m_iUserNumber;
    if (m_iUserNumber > 0) {
        UpdateScrollRange();
        SelectRow(m_iUserNumber - 1);
    } else {
        m_iSelected = -1;
        m_ScrollBar->setEnabled(false);
    }
}

void CAddressBookDialog::OnSelect() {
    if (m_iUserNumber == 0) {
        ui::ShowMessage("It couldn't select any data");
        done(kBookFailed);
        return;
    }
    const int row = m_UserList->currentRow();
    if (row < 0 || row >= m_iUserNumber) {
        ui::ShowMessage("Please select an item");
        return;
    }
    m_iSelected = row;
    const IPRecord& entry = m_arrEntries[static_cast<std::size_t>(row)];
    m_strUser = entry.user;
    m_strComment = entry.comment;
    m_strIPAddress = entry.address;
    m_strMajorPort = std::to_string(entry.port);
    m_iMajorPort = entry.port;
    done(kEntrySelected);
}

void CAddressBookDialog::AppendEntry(const IPRecord& entry) {
    m_arrEntries.push_back(entry);
    for (QListWidget* list : {m_UserList, m_IPAddressList, m_MajorPortList, m_CommentList}) {
        m_fSyncingRows = true;
        list->addItem(QString());
        m_fSyncingRows = false;
    }
    SetRowTexts(m_iUserNumber, entry);
    ++m_iUserNumber;
    UpdateScrollRange();
    SelectRow(m_iUserNumber - 1);
}

void CAddressBookDialog::SetRowTexts(int row, const IPRecord& entry) {
    m_UserList->item(row)->setText(QString::fromStdString(entry.user));
    m_IPAddressList->item(row)->setText(QString::fromStdString(entry.address));
    m_MajorPortList->item(row)->setText(QString::number(entry.port));
    m_CommentList->item(row)->setText(QString::fromStdString(entry.comment));
}

void CAddressBookDialog::SelectRow(int row) {
    m_fSyncingRows = true;
    for (QListWidget* list : {m_UserList, m_IPAddressList, m_MajorPortList, m_CommentList}) {
        list->setCurrentRow(row);
    }
    m_ScrollBar->setValue(row);
    m_fSyncingRows = false;
    m_iSelected = row;
    m_ScrollBar->setEnabled(m_iUserNumber >= kScrollBarEntries);
}

void CAddressBookDialog::UpdateScrollRange() {
    m_fSyncingRows = true;
    m_ScrollBar->setRange(0, std::max(0, m_iUserNumber - 1));
    m_fSyncingRows = false;
    m_ScrollBar->setEnabled(m_iUserNumber >= kScrollBarEntries);
}

void CAddressBookDialog::SetListsEnabled(bool enabled) {
    for (QListWidget* list : {m_UserList, m_IPAddressList, m_MajorPortList, m_CommentList}) {
        list->setEnabled(enabled);
    }
}
