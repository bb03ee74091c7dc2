#pragma once

// The skinned windows are fixed-size rectangles with rounded corners, the corners given as the
// width and height of the ellipse that rounds them.

class QWidget;

namespace ui {

void SetRoundedWindowShape(QWidget& window, int width, int height, int cornerEllipse);

}  // namespace ui
