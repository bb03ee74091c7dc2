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

}  // namespace

// Fits the window when it is shown, and again once the window manager has framed it. The frame
// is told some time after the show, and the window hears of it by no event of its own (at most a
// move, which may come before the frame is told), so the watcher looks for it a while.
class FrameWatcher : public QObject {
public:
    FrameWatcher(QWidget& window, ScrolledWindow& fit) : QObject(&window), m_fit(fit) {
        window.installEventFilter(this);
        m_look.setInterval(kLookMs);
        connect(&m_look, &QTimer::timeout, this, [this] {
            FitToANewFrame();
            if (m_fit.FrameTold() || ++m_looks >= kLooks) {
                m_look.stop();
            }
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
                m_fit.FitShownWindow();
                if (m_fit.Framed() && !m_fit.FrameTold()) {
                    m_looks = 0;
                    m_look.start();
                }
                break;
            case QEvent::Move:
            case QEvent::Resize:
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

    void FitToANewFrame() {
        if (m_fit.m_window.isVisible() && m_fit.Frame() != m_fit.m_fittedFrame) {
            m_fit.FitShownWindow();
        }
    }

    ScrolledWindow& m_fit;
    QTimer m_look;
    int m_looks = 0;
};

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
    new FrameWatcher(window, *this);
}

bool ScrolledWindow::FrameTold() const {
    return m_window.isVisible() && m_window.frameGeometry() != m_window.geometry();
}

bool ScrolledWindow::Framed() const {
    return !(m_window.windowFlags() & Qt::FramelessWindowHint);
}

QMargins ScrolledWindow::Frame() const {
    if (!Framed()) {
        return {};
    }
    if (FrameTold()) {
        const QRect frame = m_window.frameGeometry();
        const QRect inner = m_window.geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    }
    // A title bar above and a border round the window are the most of any frame.
    const int border = m_window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return QMargins(border, m_window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + border,
                    border, border);
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
    const QRect frame = m_window.geometry().marginsAdded(m_fittedFrame);
    m_window.move(m_window.pos() + PlaceInside(area, frame) - frame.topLeft());
}

void ScrolledWindow::SetSize(const QSize& size) {
    m_page->setFixedSize(size);
    // A scroll bar takes its room from the window, not from the page.
    m_fittedFrame = Frame();
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
