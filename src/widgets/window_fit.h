#pragma once

// Windows that fit what they show and the screen they open on: list columns as wide as their
// cells, and windows inside the screen's free area (the screen without its panels), however
// large the user's scale makes them.

#include <QMargins>
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

// The largest window, without its frame, that the area holds with the frame round it.
QSize RoomInside(const QRect& area, const QMargins& frame);
// Where a window's frame goes to lie inside the area, moved the least distance: its top left
// corner. A frame larger than the area keeps its top left corner inside it.
QPoint PlaceInside(const QRect& area, const QRect& frame);

// The frame the window manager puts round a window: what the window system reports once it has
// framed the shown window; until then, for a window that has a frame, an estimate of a title bar
// and a border.
QMargins WindowFrame(const QWidget& window);

// Every window the application opens, dialogs and boxes alike, is kept inside the free area of
// its screen, frame included: no larger than the area holds (nor smaller than the window's least
// size) and moved the least distance that puts it inside, when it is shown, whenever it is
// resized, and again once the window manager has told its frame. A ScrolledWindow is fitted its
// own way, with its page scrolling inside it.
void FitEveryWindow();

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
    // The frame the window manager puts round the window (WindowFrame).
    QMargins Frame() const;
    // Fits the window again to the frame it has now, and moves it the least distance that puts
    // all of it, frame included, inside the free area. The window calls it when it is shown,
    // when it is resized and whenever its frame turns out other than the one it was fitted to.
    void FitShownWindow();

private:
    QWidget& m_window;
    QScrollArea* m_scroll;
    QWidget* m_page;
};

}  // namespace ui
