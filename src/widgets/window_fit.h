#pragma once

// Windows that fit what they show and the screen they open on: list columns as wide as their
// cells, and windows inside the screen's free area (the screen without its panels), however
// large the user's scale makes them.

#include <QRect>
#include <QStringList>
#include <span>

class QTreeWidget;
class QWidget;

namespace ui {

// Widens each column of the list to the largest of its least width, its title, its cells and,
// when given, the sample text of the widest value the column will hold. Returns the total
// width of the columns.
int FitColumns(QTreeWidget& list, std::span<const int> leastWidths,
               const QStringList& widest = {});

// Where a window that wants `wanted` goes in the free area `area`: no larger than the area, and
// moved the least distance that puts it wholly inside.
QRect FitRectToArea(const QRect& wanted, const QRect& area);

// The free area of the screen the window is on (the primary screen before it is shown); an
// empty rectangle when there is no screen.
QRect AvailableArea(const QWidget& window);

// Moves a top-level window the least distance that puts it inside its screen's free area.
void PlaceOnScreen(QWidget& window);

}  // namespace ui
