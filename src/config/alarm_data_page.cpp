#include "config/alarm_data_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <array>
#include <cstdio>
#include <filesystem>

#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "platform/process.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

constexpr const char* kPlayerProgram = "VideoPlayer";
constexpr const char* kReadFailed = "Read alarm database file is failed";
constexpr const char* kNotFoundSuffix = " (File not found)";

struct Column {
    const char* title;
    int width;
};
constexpr std::array<Column, 4> kColumns = {{
    {"NO.", 40},
    {"IP Address", 90},
    {"Time", 130},
    {"Frame", 100},
}};

bool RecordFileExists(const std::string& path) {
    std::error_code ignored;
    return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}

std::string PathText(const AlarmDBItem& item) {
    return RecordFileExists(item.strFilePath) ? item.strFilePath
                                              : item.strFilePath + kNotFoundSuffix;
}

QStringList RowTexts(int number, const AlarmDBItem& item) {
    char time[64];
    std::snprintf(time, sizeof time, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", item.wYear, item.wMonth,
                  item.wDay, item.wHour, item.wMinute, item.wSecond);
    return {QString::number(number), QString::fromStdString(item.strAddress), time,
            QString::number(item.dwFrames)};
}

bool IsLive(const AlarmDBItem& item) {
    return (item.byStatus & AlarmDBItem::kMarkedForDeletion) == 0;
}

}  // namespace

AlarmDataPage::AlarmDataPage(QWidget* parent) : CConfigPage("Alarm database", parent) {
    m_AlarmList.setRootIsDecorated(false);
    m_AlarmList.setSelectionMode(QAbstractItemView::SingleSelection);
    m_AlarmList.setSelectionBehavior(QAbstractItemView::SelectRows);
    // A long path must not widen the sheet.
    m_txtSelectedFile.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // A file name is shown as written, never as markup.
    m_txtSelectedFile.setTextFormat(Qt::PlainText);
    m_btnPlay.setText("Play");
    m_btnRefresh.setText("Refresh");
    m_btnDelete.setText("Delete");
    m_btnClearAll.setText("Clear All");

    auto* path = new QHBoxLayout;
    path->addWidget(new QLabel("Path : "));
    path->addWidget(&m_txtSelectedFile, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {&m_btnPlay, &m_btnRefresh, &m_btnDelete, &m_btnClearAll}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_AlarmList);
    layout->addLayout(path);
    layout->addLayout(buttons);

    connect(&m_btnPlay, &QPushButton::clicked, this, &AlarmDataPage::OnButtonPlay);
    connect(&m_btnRefresh, &QPushButton::clicked, this, &AlarmDataPage::OnButtonRefresh);
    connect(&m_btnDelete, &QPushButton::clicked, this, &AlarmDataPage::OnButtonDelete);
    connect(&m_btnClearAll, &QPushButton::clicked, this, &AlarmDataPage::OnButtonClearAll);
    connect(&m_AlarmList, &QTreeWidget::itemClicked, this, &AlarmDataPage::OnClickList);
    // The keyboard moves the selection too, and Play must play the row the user sees selected.
    connect(&m_AlarmList, &QTreeWidget::currentItemChanged, this, &AlarmDataPage::OnClickList);
    connect(&m_AlarmList, &QTreeWidget::itemDoubleClicked, this, &AlarmDataPage::OnDblclkList);
}

AlarmDataPage::~AlarmDataPage() {
    // An Apply has saved the marks by now; any other end of the sheet drops them.
    if (IsPageCreated()) {
        AlarmDatabase().AlarmDB_DiscardChanges();
    }
}

void AlarmDataPage::OnInitDialog() {
    LoadAlarmDatabase();
}

bool AlarmDataPage::UpdateData(bool save) {
    if (save) {
        m_strSelectedFile = m_txtSelectedFile.text().toStdString();
    } else {
        m_txtSelectedFile.setText(QString::fromStdString(m_strSelectedFile));
    }
    return true;
}

void AlarmDataPage::ResetColumns() {
    m_AlarmList.clear();
    QStringList titles;
    for (const Column& column : kColumns) {
        titles << column.title;
    }
    m_AlarmList.setHeaderLabels(titles);
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        m_AlarmList.setColumnWidth(static_cast<int>(i), kColumns[i].width);
    }
}

void AlarmDataPage::AddRows() {
    int number = 0;
    for (const AlarmDBItem& item : AlarmDatabase().Items()) {
        if (IsLive(item)) {
            m_AlarmList.addTopLevelItem(new QTreeWidgetItem(RowTexts(++number, item)));
        }
    }
}

std::optional<std::size_t> AlarmDataPage::RecordOfRow(int row) const {
    const std::vector<AlarmDBItem> items = AlarmDatabase().Items();
    int live = -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (IsLive(items[i]) && ++live == row) {
            return i;
        }
    }
    return std::nullopt;
}

int AlarmDataPage::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_AlarmList.selectedItems();
    return selected.isEmpty() ? -1 : m_AlarmList.indexOfTopLevelItem(selected.first());
}

bool AlarmDataPage::LoadAlarmDatabase() {
    // Signals of the rows being rebuilt would read the list half made.
    const QSignalBlocker quiet(m_AlarmList);
    ResetColumns();
    m_strSelectedFile.clear();
    const AlarmDBOpenResult result =
        AlarmDatabase().OpenAlarmDatabase(g_lpApp->CSettingINI.m_strProgramPath);
    if (result == AlarmDBOpenResult::Refused) {
        ui::ShowMessage(kReadFailed);
    }
    if (result == AlarmDBOpenResult::Foreign && AlarmDatabase().FirstForeignNotice()) {
        ui::ShowMessage(SystemConfig::ForeignNotice(g_lpApp->CSettingINI.m_strProgramPath));
    }
    const bool read = result != AlarmDBOpenResult::Refused;
    const std::vector<AlarmDBItem> items = AlarmDatabase().Items();
    if (!items.empty()) {
        AddRows();
        m_strSelectedFile = PathText(items.front());
        m_AlarmList.setCurrentItem(m_AlarmList.topLevelItem(0));
    }
    UpdateData(false);
    return read;
}

void AlarmDataPage::OnButtonRefresh() {
    LoadAlarmDatabase();
}

void AlarmDataPage::OnClickList() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    if (const std::optional<std::size_t> record = RecordOfRow(row)) {
        m_strSelectedFile = PathText(AlarmDatabase().Items()[*record]);
        UpdateData(false);
    }
}

void AlarmDataPage::OnDblclkList() {
    const int row = SelectedRow();
    const std::optional<std::size_t> record = row < 0 ? std::nullopt : RecordOfRow(row);
    if (!record) {
        return;
    }
    const std::string path = AlarmDatabase().Items()[*record].strFilePath;
    if (!RecordFileExists(path)) {
        return;
    }
    m_strSelectedFile = path;
    PlayRecordFile();
    UpdateData(false);
}

void AlarmDataPage::OnButtonPlay() {
    // A path carrying the "not found" note names no file, so it plays nothing.
    if (!AlarmDatabase().Items().empty() && RecordFileExists(m_strSelectedFile)) {
        PlayRecordFile();
    }
}

void AlarmDataPage::PlayRecordFile() {
    const std::filesystem::path program =
        std::filesystem::path(g_lpApp->CSettingINI.m_strProgramPath) / kPlayerProgram;
    if (!platform::StartProcess(program, {m_strSelectedFile})) {
        ui::ShowMessage(ui::texts::kStartPlayerFailed);
    }
}

void AlarmDataPage::OnButtonDelete() {
    if (AlarmDatabase().Items().empty()) {
        ui::ShowMessage(ui::texts::kNothingToDelete);
        return;
    }
    const int row = SelectedRow();
    const std::optional<std::size_t> record = row < 0 ? std::nullopt : RecordOfRow(row);
    if (!record) {
        ui::ShowMessage(ui::texts::kSelectAccountBeforeDelete);
        return;
    }
    const QSignalBlocker quiet(m_AlarmList);
    m_AlarmList.clear();
    AlarmDatabase().MarkForDeletion(*record);
    AddRows();
    const int rows = m_AlarmList.topLevelItemCount();
    if (rows == 0) {
        m_strSelectedFile.clear();
    } else {
        // The row that took the deleted one's place, or the first when the last one went.
        const int next = row < rows ? row : 0;
        m_AlarmList.setCurrentItem(m_AlarmList.topLevelItem(next));
        m_strSelectedFile = PathText(AlarmDatabase().Items()[*RecordOfRow(next)]);
    }
    UpdateData(false);
}

void AlarmDataPage::OnButtonClearAll() {
    const std::size_t count = AlarmDatabase().Items().size();
    if (count == 0) {
        return;
    }
    const QSignalBlocker quiet(m_AlarmList);
    m_AlarmList.clear();
    for (std::size_t i = 0; i < count; ++i) {
        AlarmDatabase().MarkForDeletion(i);
    }
    m_strSelectedFile.clear();
    UpdateData(false);
}
