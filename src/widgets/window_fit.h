#pragma once

// Windows that fit what they show and the screen they open on: list columns as wide as their
// cells, and windows inside the screen's free area (the screen without its panels), however
// large the user's scale makes them.

#include <QRect>
#include <QStringList>
#include <functional>
#include <span>

class QPainter;
class QScrollArea;
class QTreeWidget;
class QWidget;

namespace ui {

// Widens each column of the list to the largest of its least width, its title, its cells and,
// when given, the sample text of the widest value the column will hold. Returns the total
// width of the columns.
int FitColumns(QTreeWidget& list, std::span<const int> leastWidths, const QStringList& widest = {});

// The free area of the screen the window is on (the primary screen before it is shown); an
// empty rectangle when there is no screen.
QRect AvailableArea(const QWidget& window);

// A window drawn at a fixed size with its children placed by hand, which a large scale can make
// larger than its screen. Its children live on a page inside a scroll area that fills the
// window; the window takes the page's size where the screen's free area holds it (nothing
// scrolls then, nothing looks different), else as much as the area holds, and the page scrolls
// inside it so every part stays reachable. What the window drew on itself the page draws, and
// the mouse presses, moves and releases on the page reach the window in page coordinates.
class ScrolledWindow {
public:
    using Paint = std::function<void(QPainter&)>;

    explicit ScrolledWindow(QWidget& window, Paint paint = {});

    // Where the window's children go, and the coordinates they are placed in.
    QWidget& Page() const { return *m_page; }
    // Gives the page `size` and the window as much of it as the room holds.
    void SetSize(const QSize& size);
    // The largest window that fits the free area of its screen, its frame included.
    QSize Room() const;
    // The widest page that shows whole beside the scroll bar a page `height` tall needs.
    int PageWidthFor(int height) const;
    // Fits the window again once it is shown and its frame is known, and moves it the least
    // distance that puts all of it, frame included, inside the free area.
    void FitShownWindow();

private:
    QWidget& m_window;
    QScrollArea* m_scroll;
    QWidget* m_page;
};

}  // namespace ui
