#include "widgets/window_shape.h"

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace ui {

void SetRoundedWindowShape(QWidget& window, int width, int height, int cornerEllipse) {
    window.setFixedSize(width, height);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, width, height), cornerEllipse / 2.0, cornerEllipse / 2.0);
    window.setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}

}  // namespace ui
