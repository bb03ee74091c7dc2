#include "config/list_page.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "config/channel_sections.h"
#include "config/config_sheet.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

void CReportList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

QString RowNumberText(int row) {
    return QString::asprintf("%2d", row + 1);
}

CListPage::CListPage(const QString& caption, bool warnOnEmptyDoubleClick, QWidget* parent)
    : CConfigPage(caption, parent), m_fWarnOnEmptyDoubleClick(warnOnEmptyDoubleClick) {
    m_List.setRootIsDecorated(false);
    m_List.setItemsExpandable(false);
    m_List.setUniformRowHeights(true);
    m_List.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_List.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_List.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_List.header()->setSectionsMovable(false);
    m_btnEdit.setText("Edit");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_List);
    layout->addWidget(&m_btnEdit, 0, Qt::AlignRight);

    connect(&m_btnEdit, &QPushButton::clicked, this, &CListPage::OnClickEdit);
    connect(&m_List, &CReportList::DoubleClicked, this, &CListPage::OnDblClkList);
}

void CListPage::InsertRows(std::span<const Column> columns) {
    QStringList headings;
    for (const Column& c : columns) {
        headings << (c.stringId != 0 ? QString::fromStdString(ui::LoadString(c.stringId))
                                     : QString(c.literal));
    }
    m_List.setColumnCount(static_cast<int>(columns.size()));
    m_List.setHeaderLabels(headings);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        m_List.setColumnWidth(static_cast<int>(i), columns[i].width);
    }
    m_List.clear();
    for (int row = 0; row < static_cast<int>(config::kListRows); ++row) {
        auto* item = new QTreeWidgetItem(&m_List);
        item->setText(0, RowNumberText(row));
    }
}

void CListPage::SetCell(int row, int column, const QString& text) {
    if (QTreeWidgetItem* item = m_List.topLevelItem(row)) {
        item->setText(column, text);
    }
}

int CListPage::FirstSelectedRow() const {
    for (int row = 0; row < m_List.topLevelItemCount(); ++row) {
        if (m_List.topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

void CListPage::OnClickEdit() {
    const int row = FirstSelectedRow();
    if (row < 0) {
        ui::ShowMessage(ui::texts::kNothingToEdit);
        return;
    }
    EditRow(row);
}

void CListPage::OnDblClkList() {
    const int row = FirstSelectedRow();
    if (row >= 0) {
        EditRow(row);
    } else if (m_fWarnOnEmptyDoubleClick) {
        ui::ShowMessage(ui::texts::kNothingToEdit);
    }
}

CRowEditDlg::CRowEditDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Edit");
    m_row.setParent(&Page());
    m_pGrid = new QGridLayout(&m_row);
    m_stRow.setAlignment(Qt::AlignCenter);
    m_btnOK.setText("OK");
    m_btnOK.setDefault(true);
    connect(&m_btnOK, &QPushButton::clicked, this, &CRowEditDlg::accept);
    AddField("NO.", m_stRow);
}

void CRowEditDlg::AddField(const QString& heading, QWidget& field) {
    auto* label = new QLabel(heading, &m_row);
    label->setAlignment(Qt::AlignCenter);
    m_pGrid->addWidget(label, 0, m_nColumns);
    m_pGrid->addWidget(&field, 1, m_nColumns);
    ++m_nColumns;
}

void CRowEditDlg::FinishRow() {
    m_pGrid->addWidget(&m_btnOK, 1, m_nColumns);
    m_row.adjustSize();
    SetPageSize(m_row.size());
}

int CRowEditDlg::DoModal() {
    UpdateData(false);
    OnInitDialog();
    return exec();
}

bool CRowEditDlg::UpdateData(bool save) {
    if (!save) {
        m_stRow.setText(m_strRow);
    }
    return true;
}

void CRowEditDlg::accept() {
    if (UpdateData(true)) {
        QDialog::accept();
    }
}

void AddFlaggedSections(CListPage& page, SectionSends& sends,
                        std::initializer_list<FlaggedSection> sections) {
    if (!page.IsPageCreated()) {
        return;
    }
    sends.BeginStep();
    for (const FlaggedSection& s : sections) {
        if (s.changed) {
            sends.Add(s.section, s.bytes);
        }
    }
}
