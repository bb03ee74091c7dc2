#pragma once

// What the device, detection and camera pages share: a sixteen-row report list with full-row
// selection whose rows are edited one at a time in a small modal row editor. "Edit" (or a double
// click on the list) edits the first selected row; "Edit" with nothing selected says so.
//
// A row editor is one line of fields under their headings with OK at the right; its OK takes the
// fields through data exchange and stays open while a value is refused. The line lies on a page
// that scrolls inside the editor where the screen is narrower than the line.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "config/config_page.h"
#include "config/config_sheet.h"
#include "widgets/window_fit.h"

class QGridLayout;

// A report list that tells of every double click, also one on its empty part, after it has
// handled the click itself (a click on the empty part clears the selection first).
class CReportList : public QTreeWidget {
    Q_OBJECT

public:
    using QTreeWidget::QTreeWidget;

signals:
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class CListPage : public CConfigPage {
    Q_OBJECT

public:
    // A heading is a numbered text, or `literal` when the number is 0.
    struct Column {
        std::uint32_t stringId;
        const char* literal;
        int width;
    };

    // `warnOnEmptyDoubleClick`: a double click with nothing selected shows the same message as
    // Edit (otherwise it does nothing).
    CListPage(const QString& caption, bool warnOnEmptyDoubleClick, QWidget* parent = nullptr);

    // The first selected row, -1 when none is.
    int FirstSelectedRow() const;
    void OnClickEdit();
    void OnDblClkList();

    CReportList m_List;
    QPushButton m_btnEdit;

protected:
    // Sets the headings and inserts the sixteen rows, each numbered in its first cell.
    void InsertRows(std::span<const Column> columns);
    void SetCell(int row, int column, const QString& text);
    virtual void EditRow(int row) = 0;

private:
    bool m_fWarnOnEmptyDoubleClick;
};

class CRowEditDlg : public QDialog {
    Q_OBJECT

public:
    explicit CRowEditDlg(QWidget* parent = nullptr);

    // Fills the fields from the members and runs the editor; QDialog::Accepted after OK.
    int DoModal();
    // Fields to members (save, false when a value was refused) or members to fields.
    virtual bool UpdateData(bool save);
    // OK: closes the editor only when every field was taken.
    void accept() override;

    // The line of headings and fields; declared first, as the fields below become its children.
    QWidget m_row;
    QString m_strRow;  // the row number, "%2d"
    QLabel m_stRow;
    QPushButton m_btnOK;

protected:
    // The next column of the row: a heading over a field.
    void AddField(const QString& heading, QWidget& field);
    // Closes the row with OK and fixes the editor's size.
    void FinishRow();
    // Runs before the editor is shown.
    virtual void OnInitDialog() {}
    // Where the line and whatever an editor adds below it lie, in the coordinates they are
    // placed in; the page draws with PaintPage and hands the editor its mouse events.
    QWidget& Page() const { return m_fit.Page(); }
    virtual void PaintPage(QPainter&) {}
    // Gives the page a new size, and the editor as much of it as the screen holds.
    void SetPageSize(const QSize& size) { m_fit.SetSize(size); }

private:
    ui::ScrolledWindow m_fit{*this, [this](QPainter& painter) { PaintPage(painter); }};
    QGridLayout* m_pGrid = nullptr;
    int m_nColumns = 0;
};

// The apply of a page whose edits went straight into the section buffers: when the page was
// created, each section whose changed flag is set goes into one step of the sends, in order, so
// that a failed send ends it.
struct FlaggedSection {
    std::uint32_t changed;
    std::uint8_t section;
    std::span<const std::uint8_t> bytes;
};
void AddFlaggedSections(CListPage& page, SectionSends& sends,
                        std::initializer_list<FlaggedSection> sections);

// The items of a row editor's drop-down list, in index order.
template <std::size_t N>
void AddComboItems(QComboBox& combo, const std::array<const char*, N>& texts) {
    for (const char* text : texts) {
        combo.addItem(text);
    }
}

// "%2d" of a row index plus one.
QString RowNumberText(int row);
