#pragma once

// "Alarm database": the client's own list of its alarm recordings (AlarmData.dat in the program
// folder), one row per recording with the device's address, the time and the number of frames.
// The user can play a recording, mark one or all of them for deletion and reload the list.
// Marks reach the file only through the sheet's Apply, which saves the database; closing the
// sheet any other way forgets them. Nothing is sent to the device.

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <cstddef>
#include <optional>
#include <string>

#include "config/config_page.h"

class AlarmDataPage : public CConfigPage {
    Q_OBJECT

public:
    explicit AlarmDataPage(QWidget* parent = nullptr);
    ~AlarmDataPage() override;

    bool UpdateData(bool save) override;

    // (Re)builds the list from the file; false when the file was unreadable or not ours.
    bool LoadAlarmDatabase();
    void OnButtonRefresh();
    void OnButtonDelete();
    void OnButtonClearAll();
    void OnButtonPlay();
    void OnClickList();
    void OnDblclkList();
    void PlayRecordFile();

    QTreeWidget m_AlarmList;
    QLabel m_txtSelectedFile;
    QPushButton m_btnPlay;
    QPushButton m_btnRefresh;
    QPushButton m_btnDelete;
    QPushButton m_btnClearAll;
    // The selected recording's path, with " (File not found)" when its file is missing.
    std::string m_strSelectedFile;

protected:
    void OnInitDialog() override;

private:
    void ResetColumns();
    // One row per live record, numbered from 1.
    void AddRows();
    // The database index of the live record shown in `row`.
    std::optional<std::size_t> RecordOfRow(int row) const;
    int SelectedRow() const;
};
