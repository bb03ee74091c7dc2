#include "config/schedule_record_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <algorithm>
#include <cstdio>

#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

using recording::ScheduleEntry;

constexpr const char* kTimeWrong = "Time setting is wrong";
constexpr const char* kTimeCovered = "Time setting is covered with other setting";
constexpr const char* kTooMany = "Schedule record setting is too many,you could not add any more.";
// The time dialog's proposal when it starts from the current time.
constexpr std::time_t kProposalAheadSeconds = 5 * 60;

std::tm LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    return parts;
}

// The local time of `date`'s day at hour:minute:00.
std::time_t LocalTimeAt(std::time_t date, int hour, int minute) {
    std::tm parts = LocalTime(date);
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = 0;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

QDate DateOf(std::time_t time) {
    const std::tm parts = LocalTime(time);
    return QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

std::time_t TimeOfDate(const QDate& date) {
    std::tm parts{};
    parts.tm_year = date.year() - 1900;
    parts.tm_mon = date.month() - 1;
    parts.tm_mday = date.day();
    parts.tm_hour = 12;  // noon: the day's own date whatever the daylight saving
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

void FillNumbers(QComboBox& combo, int count) {
    combo.clear();
    for (int i = 0; i < count; ++i) {
        combo.addItem(QString::asprintf("%.2d", i));
    }
}

}  // namespace

std::optional<std::string> SchedulePeriodRefusal(const std::vector<ScheduleEntry>& table,
                                                 std::time_t start, std::time_t end,
                                                 std::optional<std::size_t> replacedRow) {
    if (start >= end) {
        return kTimeWrong;
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        // Periods that only touch are refused too.
        if (i != replacedRow && !(start > table[i].tmEnd || end < table[i].tmStart)) {
            return kTimeCovered;
        }
    }
    if (!replacedRow && table.size() >= recording::kScheduleRowCount) {
        return kTooMany;
    }
    return std::nullopt;
}

std::vector<ScheduleEntry> SortedSchedule(std::vector<ScheduleEntry> table) {
    std::stable_sort(
        table.begin(), table.end(),
        [](const ScheduleEntry& a, const ScheduleEntry& b) { return a.tmStart < b.tmStart; });
    return table;
}

std::string ScheduleTimeText(std::time_t time) {
    const std::tm t = LocalTime(time);
    // Room for six numbers of any int value, so no time can cut the text short.
    char text[6 * 12 + 1];
    std::snprintf(text, sizeof text, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

CTimeSettingDlg::CTimeSettingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Time Setting");
    m_btnOK.setText("OK");
    m_btnCancel.setText("Cancel");
    m_ctlStartDate.setCalendarPopup(true);
    m_ctlEndDate.setCalendarPopup(true);

    auto* layout = new QGridLayout(this);
    const auto addGroup = [this, layout](const char* title, QDateEdit& date, QComboBox& hour,
                                         QComboBox& minute, int column) {
        auto* group = new QGroupBox(title, this);
        auto* rows = new QGridLayout(group);
        rows->addWidget(new QLabel("Date :", group), 0, 0);
        rows->addWidget(&date, 0, 1);
        rows->addWidget(new QLabel("Hour :", group), 1, 0);
        rows->addWidget(&hour, 1, 1);
        rows->addWidget(new QLabel("Minute :", group), 2, 0);
        rows->addWidget(&minute, 2, 1);
        layout->addWidget(group, 0, column);
    };
    addGroup("Start", m_ctlStartDate, m_ctlStartHour, m_ctlStartMinute, 0);
    addGroup("End", m_ctlEndDate, m_ctlEndHour, m_ctlEndMinute, 1);
    layout->addWidget(&m_btnOK, 1, 0);
    layout->addWidget(&m_btnCancel, 1, 1);
    connect(&m_btnOK, &QPushButton::clicked, this, &CTimeSettingDlg::accept);
    connect(&m_btnCancel, &QPushButton::clicked, this, &CTimeSettingDlg::reject);
}

int CTimeSettingDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CTimeSettingDlg::OnInitDialog() {
    if (m_nMode == 0) {
        m_tmStart = m_tmEnd = std::time(nullptr) + kProposalAheadSeconds;
    }
    FillNumbers(m_ctlStartHour, 24);
    FillNumbers(m_ctlEndHour, 24);
    FillNumbers(m_ctlStartMinute, 60);
    FillNumbers(m_ctlEndMinute, 60);
    m_ctlStartDate.setDate(DateOf(m_tmStart));
    m_ctlEndDate.setDate(DateOf(m_tmEnd));
    const std::tm start = LocalTime(m_tmStart);
    const std::tm end = LocalTime(m_tmEnd);
    m_ctlStartHour.setCurrentIndex(start.tm_hour);
    m_ctlStartMinute.setCurrentIndex(start.tm_min);
    m_ctlEndHour.setCurrentIndex(end.tm_hour);
    m_ctlEndMinute.setCurrentIndex(end.tm_min);
}

void CTimeSettingDlg::accept() {
    m_tmStart = TimeOfDate(m_ctlStartDate.date());
    m_tmEnd = TimeOfDate(m_ctlEndDate.date());
    m_nStartHour = m_ctlStartHour.currentIndex();
    m_nStartMinute = m_ctlStartMinute.currentIndex();
    m_nEndHour = m_ctlEndHour.currentIndex();
    m_nEndMinute = m_ctlEndMinute.currentIndex();
    QDialog::accept();
}

std::time_t CTimeSettingDlg::StartTime() const {
    return LocalTimeAt(m_tmStart, m_nStartHour, m_nStartMinute);
}

std::time_t CTimeSettingDlg::EndTime() const {
    return LocalTimeAt(m_tmEnd, m_nEndHour, m_nEndMinute);
}

CScheduleRecordPage::CScheduleRecordPage(QWidget* parent)
    : CConfigPage("Schedule Record", parent), m_runTimeDialog([](CTimeSettingDlg& dialog) {
          return dialog.DoModal() == QDialog::Accepted;
      }) {
    m_btnAdd.setText("Add");
    m_btnDelete.setText("Delete");
    m_btnEdit.setText("Edit");
    m_ctlList.setRootIsDecorated(false);
    m_ctlList.setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* layout = new QGridLayout(this);
    layout->addWidget(&m_ctlList, 0, 0, 1, 3);
    layout->addWidget(&m_btnAdd, 1, 0);
    layout->addWidget(&m_btnDelete, 1, 1);
    layout->addWidget(&m_btnEdit, 1, 2);

    connect(&m_btnAdd, &QPushButton::clicked, this, &CScheduleRecordPage::OnAdd);
    connect(&m_btnDelete, &QPushButton::clicked, this, &CScheduleRecordPage::OnDelete);
    connect(&m_btnEdit, &QPushButton::clicked, this, &CScheduleRecordPage::OnEdit);
}

void CScheduleRecordPage::OnInitDialog() {
    m_ctlList.setHeaderLabels({"NO.", "Start", "End"});
    m_ctlList.setColumnWidth(0, 50);
    m_ctlList.setColumnWidth(1, 130);
    m_ctlList.setColumnWidth(2, 130);
    // Without a recorder there is no table to edit.
    for (QPushButton* button : {&m_btnAdd, &m_btnDelete, &m_btnEdit}) {
        button->setEnabled(m_pSchRecord != nullptr);
    }
    FillList(Table());
}

std::vector<ScheduleEntry> CScheduleRecordPage::Table() const {
    return m_pSchRecord != nullptr ? m_pSchRecord->ScheduleEntries() : std::vector<ScheduleEntry>{};
}

void CScheduleRecordPage::WriteTable(const std::vector<ScheduleEntry>& table) {
    while (m_pSchRecord->RemoveScheduleEntry(0)) {
    }
    for (const ScheduleEntry& entry : table) {
        m_pSchRecord->AddScheduleEntry(entry);
    }
    m_pSchRecord->m_fScheduleChanged = 1;
}

void CScheduleRecordPage::FillList(const std::vector<ScheduleEntry>& table) {
    m_ctlList.clear();
    for (std::size_t i = 0; i < table.size(); ++i) {
        m_ctlList.addTopLevelItem(new QTreeWidgetItem(
            {QString::number(i + 1), QString::fromStdString(ScheduleTimeText(table[i].tmStart)),
             QString::fromStdString(ScheduleTimeText(table[i].tmEnd))}));
    }
}

void CScheduleRecordPage::SortAndRefresh() {
    const std::vector<ScheduleEntry> sorted = SortedSchedule(Table());
    WriteTable(sorted);
    FillList(sorted);
}

std::optional<ScheduleEntry> CScheduleRecordPage::AskPeriod(
    CTimeSettingDlg& dialog, std::optional<std::size_t> replacedRow) {
    if (m_pSchRecord == nullptr || !m_runTimeDialog(dialog)) {
        return std::nullopt;
    }
    const ScheduleEntry period{dialog.StartTime(), dialog.EndTime(), 1};
    if (const std::optional<std::string> refusal =
            SchedulePeriodRefusal(Table(), period.tmStart, period.tmEnd, replacedRow)) {
        ui::ShowMessage(*refusal);
        return std::nullopt;
    }
    return period;
}

void CScheduleRecordPage::OnAdd() {
    CTimeSettingDlg dialog;
    dialog.m_nMode = 0;
    const std::optional<ScheduleEntry> period = AskPeriod(dialog, std::nullopt);
    if (!period) {
        return;
    }
    m_pSchRecord->AddScheduleEntry(*period);
    SortAndRefresh();
}

void CScheduleRecordPage::OnEdit() {
    const QList<QTreeWidgetItem*> selected = m_ctlList.selectedItems();
    if (selected.isEmpty()) {
        ui::ShowMessage(ui::texts::kSelectAccountBeforeDelete);
        return;
    }
    const auto row = static_cast<std::size_t>(m_ctlList.indexOfTopLevelItem(selected.front()));
    const std::vector<ScheduleEntry> table = Table();
    if (row >= table.size()) {
        return;
    }
    CTimeSettingDlg dialog;
    dialog.m_tmStart = table[row].tmStart;
    dialog.m_tmEnd = table[row].tmEnd;
    dialog.m_nMode = 1;
    const std::optional<ScheduleEntry> period = AskPeriod(dialog, row);
    if (!period) {
        return;
    }
    m_pSchRecord->RemoveScheduleEntry(row);
    m_pSchRecord->AddScheduleEntry(*period);
    SortAndRefresh();
}

void CScheduleRecordPage::OnDelete() {
    if (m_pSchRecord == nullptr) {
        return;
    }
    const QList<QTreeWidgetItem*> selected = m_ctlList.selectedItems();
    if (selected.isEmpty()) {
        ui::ShowMessage(ui::texts::kSelectAccountBeforeDelete);
        return;
    }
    const int row = m_ctlList.indexOfTopLevelItem(selected.front());
    m_pSchRecord->RemoveScheduleEntry(static_cast<std::size_t>(row));
    m_pSchRecord->m_fScheduleChanged = 1;
    FillList(Table());
    const int count = m_ctlList.topLevelItemCount();
    if (count > 0) {
        m_ctlList.setCurrentItem(m_ctlList.topLevelItem(row < count ? row : 0));
    }
}
