#pragma once

// The address book: the devices the user logs in to often, kept in IPRecord.dat beside the
// executable. Four side-by-side lists show user, address, port and comment of each entry and
// always select the same row. The book is read when the dialog opens and written back whole when
// the dialog object goes, unless the file was found bad.

#include <QDialog>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "login/ip_record_file.h"

class QListWidget;
class QLineEdit;
class QPushButton;
class QScrollBar;

class CAddressBookDialog : public QDialog {
    Q_OBJECT
public:
    // DoModal's result when an entry was chosen; the chosen entry is then in the m_str* members.
    static constexpr int kEntrySelected = 100;
    // DoModal's result when the file cannot be opened or is bad, or SELECT found no entries.
    static constexpr int kBookFailed = -1;

    explicit CAddressBookDialog(QWidget* parent = nullptr);
    // Writes the book back (when it was read well); a failed write is shown.
    ~CAddressBookDialog() override;

    // Reads the book and runs the dialog: kEntrySelected, 1 for CANCEL, or kBookFailed.
    int DoModal();
    // Reads IPRecord.dat into the lists; false (and the dialog's result kBookFailed) when the file
    // cannot be opened or holds a bad record, which the user is told.
    bool OnInitDialog();

    void OnAdd();
    // The confirm button: adds (mode 1) or changes the selected entry (mode 2). An entry that is
    // refused keeps its edits open with what was typed, so the user can put it right.
    void OnAddOk();
    // Leaves ADD or EDIT without changing the book (the entry's cancel button, or Escape while
    // the entry edits are open); the book stays open.
    void OnEntryCancel();
    void OnEditButton();
    void OnDelete();
    void OnSelect();

    // The chosen entry after kEntrySelected.
    std::string m_strUser;
    std::string m_strIPAddress;
    std::string m_strComment;
    std::string m_strMajorPort;
    int m_iMajorPort = 0;

    const std::vector<IPRecord>& Entries() const { return m_arrEntries; }
    int m_iUserNumber = 0;
    int m_iSelected = -1;
    bool m_fAddMode = false;
    int m_nOkMode = 0;

    QListWidget* m_UserList;
    QListWidget* m_IPAddressList;
    QListWidget* m_MajorPortList;
    QListWidget* m_CommentList;
    QScrollBar* m_ScrollBar;
    QLineEdit* m_editUser;
    QLineEdit* m_editIPAddress;
    QLineEdit* m_editMajorPort;
    QLineEdit* m_editComment;
    QPushButton* m_btnAdd;
    QPushButton* m_btnDelete;
    QPushButton* m_btnSelect;
    QPushButton* m_btnEdit;
    QPushButton* m_btnCancel;
    QPushButton* m_btnEditOk;
    QPushButton* m_btnEntryCancel;

protected:
    void reject() override;
    // The window manager's close leaves the book also while an entry is open, dropping it.
    void closeEvent(QCloseEvent* event) override;

private:
    std::filesystem::path RecordFile() const;
    // Shows the entry edits and the confirm button in place of the five buttons, or back.
    void ShowEntryEdits(bool show);
    // The edits as an entry, or null after the refusal message.
    std::optional<IPRecord> ReadEntryEdits() const;
    void AppendEntry(const IPRecord& entry);
    void SetRowTexts(int row, const IPRecord& entry);
    // Selects `row` in all four lists and follows it with the scroll bar.
    void SelectRow(int row);
    void UpdateScrollRange();
    void SetListsEnabled(bool enabled);

    std::vector<IPRecord> m_arrEntries;  // in file order
    bool m_fRecordFileGood = false;      // only a book read well is ever written back
    bool m_fSyncingRows = false;
};
