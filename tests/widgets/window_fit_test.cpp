#include "widgets/window_fit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "test_support/pump.h"

namespace {

// A window drawn for 722 x 680 fitted with the frames window managers put round it, in a small
// screen's free area with a panel above it: the frame, not only the window, lies inside.
TEST(WindowFit, TheWindowAndItsFrameLieInsideTheFreeArea) {
    const QRect area(0, 27, 640, 333);
    const struct {
        const char* name;
        QMargins frame;
        QPoint opened;  // where the frame's corner was put before the fit
    } cases[] = {
        {"no frame", QMargins(), QPoint(0, 0)},
        {"a title bar and a thin border", QMargins(1, 20, 1, 1), QPoint(0, 27)},
        {"a tall title bar, a wide border", QMargins(4, 30, 4, 4), QPoint(-10, 200)},
        {"placed right of the area", QMargins(1, 20, 1, 1), QPoint(900, 600)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QSize room = ui::RoomInside(area, c.frame);
        EXPECT_EQ(room, QSize(640 - c.frame.left() - c.frame.right(),
                              333 - c.frame.top() - c.frame.bottom()));
        const QSize window = QSize(722, 680).boundedTo(room);
        const QRect frame(c.opened, window.grownBy(c.frame));
        const QRect placed(ui::PlaceInside(area, frame), frame.size());
        EXPECT_TRUE(area.contains(placed)) << placed.x() << "," << placed.y();
        // The window itself sits inside its frame there.
        EXPECT_TRUE(area.contains(placed.marginsRemoved(c.frame)));
    }
    // A frame larger than the area keeps its corner, and with it the title bar, in sight.
    EXPECT_EQ(ui::PlaceInside(area, QRect(-50, 0, 900, 500)), area.topLeft());
    EXPECT_EQ(ui::RoomInside(QRect(0, 0, 20, 20), QMargins(15, 15, 15, 15)), QSize(0, 0));
}

// A framed window keeps room for its frame (the offscreen screen tells a thin border), a
// frameless window takes the whole area.
TEST(WindowFit, AShownWindowFitsTheFreeAreaWithItsFrame) {
    for (const bool frameless : {false, true}) {
        SCOPED_TRACE(frameless ? "frameless" : "framed");
        QWidget window(nullptr, frameless ? Qt::Window | Qt::FramelessWindowHint : Qt::Window);
        ui::ScrolledWindow fit(window);
        const QRect area = ui::AvailableArea(window);
        fit.SetSize(area.size() + QSize(100, 100));
        window.move(area.topLeft() + QPoint(50, 50));
        window.show();
        test_support::PumpUntil([] { return false; }, 20);
        const QMargins frame = fit.Frame();
        EXPECT_EQ(frame.isNull(), frameless);
        EXPECT_EQ(window.size(), ui::RoomInside(area, frame));
        EXPECT_TRUE(area.contains(window.geometry().marginsAdded(frame)));
        EXPECT_TRUE(area.contains(window.frameGeometry()));
    }
}

}  // namespace
