#include "widgets/window_fit.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

namespace ui {

int FitColumns(QTreeWidget& list, std::span<const int> leastWidths, const QStringList& widest) {
    // The cells are measured in the font the list will draw with.
    list.ensurePolished();
    // The widest values are measured as a row of their own, the way the list draws a cell.
    std::unique_ptr<QTreeWidgetItem> sample;
    if (!widest.isEmpty()) {
        sample = std::make_unique<QTreeWidgetItem>(widest);
        list.addTopLevelItem(sample.get());
    }
    const auto& view = static_cast<const QAbstractItemView&>(list);
    int total = 0;
    for (int column = 0; column < static_cast<int>(leastWidths.size()); ++column) {
        const int width = std::max({leastWidths[column], list.header()->sectionSizeHint(column),
                                    view.sizeHintForColumn(column)});
        list.setColumnWidth(column, width);
        total += width;
    }
    return total;
}

QRect FitRectToArea(const QRect& wanted, const QRect& area) {
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
    return fitted;
}

QRect AvailableArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

void PlaceOnScreen(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) {
        return;
    }
    window.move(FitRectToArea(window.frameGeometry(), area).topLeft() +
                (window.pos() - window.frameGeometry().topLeft()));
}

}  // namespace ui
