#pragma once

// "Schedule Record": the schedule recorder's table of up to ten recording periods, each entered
// in the "Time Setting" dialog. The table stays sorted by start and no two periods meet or
// overlap. The sheet builds the page without showing it; nothing is sent to the device.

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/config_page.h"
#include "recording/sch_record.h"

// Why a period cannot go into the table; nothing when it can.
std::optional<std::string> SchedulePeriodRefusal(const std::vector<recording::ScheduleEntry>& table,
                                                 std::time_t start, std::time_t end,
                                                 std::optional<std::size_t> replacedRow);
// The table ordered by start.
std::vector<recording::ScheduleEntry> SortedSchedule(std::vector<recording::ScheduleEntry> table);
// "yyyy.mm.dd hh:mm:ss" in local time.
std::string ScheduleTimeText(std::time_t time);

// "Time Setting": a start and an end, each a date, an hour and a minute.
class CTimeSettingDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTimeSettingDlg(QWidget* parent = nullptr);

    int DoModal();
    void OnInitDialog();
    // OK takes the controls into the members.
    void accept() override;
    // The period the members describe, seconds 0, in local time.
    std::time_t StartTime() const;
    std::time_t EndTime() const;

    // 0: start from the current time; 1: the caller has set the times.
    int m_nMode = 0;
    std::time_t m_tmEnd = 0;
    std::time_t m_tmStart = 0;
    int m_nEndHour = -1;
    int m_nEndMinute = -1;
    int m_nStartHour = -1;
    int m_nStartMinute = -1;

    QDateEdit m_ctlStartDate;
    QDateEdit m_ctlEndDate;
    QComboBox m_ctlStartHour;
    QComboBox m_ctlStartMinute;
    QComboBox m_ctlEndHour;
    QComboBox m_ctlEndMinute;
    QPushButton m_btnOK;
    QPushButton m_btnCancel;
};

class CScheduleRecordPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CScheduleRecordPage(QWidget* parent = nullptr);

    void OnAdd();
    void OnDelete();
    void OnEdit();
    // Orders the table by start and lists it again.
    void SortAndRefresh();

    QTreeWidget m_ctlList;
    QPushButton m_btnAdd;
    QPushButton m_btnDelete;
    QPushButton m_btnEdit;

    // The table this page edits: the schedule recorder's, preset by the main window (none outside
    // a session).
    recording::CSchRecord* m_pSchRecord = nullptr;
    // Runs the time dialog; true after OK. Tests answer in the user's place.
    std::function<bool(CTimeSettingDlg& dialog)> m_runTimeDialog;

protected:
    void OnInitDialog() override;

private:
    std::vector<recording::ScheduleEntry> Table() const;
    void WriteTable(const std::vector<recording::ScheduleEntry>& table);
    void FillList(const std::vector<recording::ScheduleEntry>& table);
    // Runs the time dialog and checks its period; nothing when the user cancelled or the period
    // was refused (its box has been shown).
    std::optional<recording::ScheduleEntry> AskPeriod(CTimeSettingDlg& dialog,
                                                      std::optional<std::size_t> replacedRow);
};
