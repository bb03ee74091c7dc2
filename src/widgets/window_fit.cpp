#include "widgets/window_fit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>

namespace ui {
namespace {

// The page of a ScrolledWindow: draws what the window would, and hands the window the mouse.
class ScrollPage : public QWidget {
public:
    ScrollPage(QWidget& window, ScrolledWindow::Paint paint)
        : m_window(window), m_paint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_paint) {
            QPainter painter(this);
            m_paint(painter);
        }
    }
    void mousePressEvent(QMouseEvent* event) override { Forward(event); }
    void mouseMoveEvent(QMouseEvent* event) override { Forward(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { Forward(event); }

private:
    // In page coordinates, the ones the window placed its picture and children in.
    void Forward(QMouseEvent* event) {
        QMouseEvent copy(event->type(), event->position(), event->scenePosition(),
                         event->globalPosition(), event->button(), event->buttons(),
                         event->modifiers(), event->pointingDevice());
        QCoreApplication::sendEvent(&m_window, &copy);
        event->setAccepted(copy.isAccepted());
    }

    QWidget& m_window;
    ScrolledWindow::Paint m_paint;
};

bool Framed(const QWidget& window) {
    return !(window.windowFlags() & Qt::FramelessWindowHint);
}

// Whether the window system has told the frame of the shown window.
bool FrameTold(const QWidget& window) {
    return window.isVisible() && window.frameGeometry() != window.geometry();
}

// Moves the window the least distance that puts all of it, frame included, inside the area.
void PlaceWindow(QWidget& window, const QRect& area) {
    const QRect frame = window.geometry().marginsAdded(WindowFrame(window));
    window.move(window.pos() + PlaceInside(area, frame) - frame.topLeft());
}

// A window that sizes itself: no larger than the room, no smaller than its least size.
void FitWindow(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) {
        return;
    }
    const QSize size = window.size()
                           .boundedTo(RoomInside(area, WindowFrame(window)))
                           .expandedTo(window.minimumSize());
    if (size != window.size()) {
        window.resize(size);
    }
    PlaceWindow(window, area);
}

// The name of the watcher a fitted window carries.
constexpr char kWatcherName[] = "window-fit";

// Fits a window when it is shown, when it is resized, and again once the window manager has
// framed it. The frame is told some time after the show, and the window hears of it by no event
// of its own (at most a move, which may come before the frame is told), so the watcher looks for
// it a while.
class FrameWatcher : public QObject {
public:
    FrameWatcher(QWidget& window, std::function<void()> fit)
        : QObject(&window), m_window(window), m_fit(std::move(fit)) {
        setObjectName(kWatcherName);
        window.installEventFilter(this);
        m_look.setInterval(kLookMs);
        connect(&m_look, &QTimer::timeout, this, [this] {
            FitToANewFrame();
            if (FrameTold(m_window) || ++m_looks >= kLooks) {
                m_look.stop();
            }
        });
    }

    void Shown() {
        Fit();
        if (Framed(m_window) && !FrameTold(m_window)) {
            m_looks = 0;
            m_look.start();
        }
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
                Shown();
                break;
            case QEvent::Resize:
                if (m_window.isVisible()) {
                    Fit();
                }
                break;
            case QEvent::Move:
                FitToANewFrame();
                break;
            case QEvent::Hide:
                m_look.stop();
                break;
            default:
                break;
        }
        return false;
    }

private:
    // Window managers frame a window within a few hundred milliseconds; one that adds no frame
    // leaves the estimate in force.
    static constexpr int kLookMs = 100;
    static constexpr int kLooks = 30;

    // The fit resizes and moves the window, which comes back here as events of its own.
    void Fit() {
        if (m_fitting) {
            return;
        }
        m_fitting = true;
        m_fitted = WindowFrame(m_window);
        m_fit();
        m_fitting = false;
    }

    void FitToANewFrame() {
        if (m_window.isVisible() && WindowFrame(m_window) != m_fitted) {
            Fit();
        }
    }

    QWidget& m_window;
    std::function<void()> m_fit;
    QTimer m_look;
    int m_looks = 0;
    bool m_fitting = false;
    // The frame the window was last fitted to.
    QMargins m_fitted;
};

// Gives each window of the application, on its first show, a watcher that fits it, unless it
// has one of its own.
class EveryWindowFit : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Show || !object->isWidgetType()) {
            return false;
        }
        auto* window = static_cast<QWidget*>(object);
        // Menus, pop-up lists and tips are placed by whatever opened them.
        const Qt::WindowType type = window->windowType();
        if (!window->isWindow() || (type != Qt::Window && type != Qt::Dialog) ||
            window->findChild<QObject*>(kWatcherName, Qt::FindDirectChildrenOnly) != nullptr) {
            return false;
        }
        (new FrameWatcher(*window, [window] { FitWindow(*window); }))->Shown();
        return false;
    }
};

}  // namespace

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

QRect AvailableArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QSize RoomInside(const QRect& area, const QMargins& frame) {
    return area.marginsRemoved(frame).size().expandedTo(QSize(0, 0));
}

QPoint PlaceInside(const QRect& area, const QRect& frame) {
    const int left = std::clamp(frame.left(), area.left(),
                                std::max(area.left(), area.right() + 1 - frame.width()));
    const int top = std::clamp(frame.top(), area.top(),
                               std::max(area.top(), area.bottom() + 1 - frame.height()));
    return QPoint(left, top);
}

ScrolledWindow::ScrolledWindow(QWidget& window, Paint paint)
    : m_window(window),
      m_scroll(new QScrollArea(&window)),
      m_page(new ScrollPage(window, std::move(paint))) {
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(m_page);
    new FrameWatcher(window, [this] { FitShownWindow(); });
}

QMargins WindowFrame(const QWidget& window) {
    if (!Framed(window)) {
        return {};
    }
    if (FrameTold(window)) {
        const QRect frame = window.frameGeometry();
        const QRect inner = window.geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    }
    // A title bar above and a border round the window are the most of any frame.
    const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return QMargins(border, window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border,
                    border);
}

void FitEveryWindow() {
    QCoreApplication::instance()->installEventFilter(
        new EveryWindowFit(QCoreApplication::instance()));
}

QMargins ScrolledWindow::Frame() const {
    return WindowFrame(m_window);
}

QSize ScrolledWindow::Room() const {
    const QRect area = AvailableArea(m_window);
    if (area.isEmpty()) {
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    return RoomInside(area, Frame());
}

int ScrolledWindow::PageWidthFor(int height) const {
    const QSize room = Room();
    return height > room.height()
               ? room.width() - m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
               : room.width();
}

void ScrolledWindow::FitShownWindow() {
    SetSize(m_page->size());
    const QRect area = AvailableArea(m_window);
    if (area.isEmpty()) {
        return;
    }
    PlaceWindow(m_window, area);
}

void ScrolledWindow::SetSize(const QSize& size) {
    m_page->setFixedSize(size);
    // A scroll bar takes its room from the window, not from the page.
    const QSize room = Room();
    const int bar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    bool across = size.height() > room.height();
    const bool down = size.width() + (across ? bar : 0) > room.width();
    across = across || (down && size.height() + bar > room.height());
    const QSize fitted(std::min(size.width() + (across ? bar : 0), room.width()),
                       std::min(size.height() + (down ? bar : 0), room.height()));
    m_window.setFixedSize(fitted);
    m_scroll->setGeometry(0, 0, fitted.width(), fitted.height());
}

}  // namespace ui
