#pragma once

// The main window's status line as the screen shows it: the pixels the window system holds for
// the window (what was really repainted, not a fresh rendering of the window's state), where the
// scrolled page puts the line, read against the ink the status font gives a text.

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>
#include <string>

#include "kernel/kernel_object.h"
#include "mainwindow/skin_tables.h"
#include "mainwindow/torvel_dlg.h"

namespace test_support {

// The line's rectangle on the page, in the layout of the window's mode.
inline QRect StatusLineOnPage() {
    const LayoutRow& L =
        LayoutRectTable[std::min<int>(g_lpApp->m_wLayoutMode, kLayoutModeCount - 1)];
    const int s = layout_word::kStatus;
    return QRect(QPoint(L[s], L[s + 1]), QPoint(L[s + 2] - 1, L[s + 3] - 1));
}

// In the screen's pixels, so at a scale of 2 twice the line's size.
inline QImage StatusLineOnScreen(CTorvelDlg& window) {
    const auto* scroll = window.findChild<QScrollArea*>();
    const QRect line = StatusLineOnPage();
    const QRect inWindow(scroll->widget()->mapTo(&window, line.topLeft()), line.size());
    const qreal scale = window.devicePixelRatioF();
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
    const QRect pixels(inWindow.topLeft() * scale, inWindow.size() * scale);
    QImage cut = shown.copy(pixels).convertToFormat(QImage::Format_RGB32);
    cut.setDevicePixelRatio(scale);
    return cut;
}

// True when the screen's status line shows `text` where the window writes it: nearly every pixel
// the status font inks fully for the text is dark on screen, and within the text's width hardly
// a pixel the text leaves blank is (an old text left standing, or one painted over another).
inline bool ShowsStatusText(CTorvelDlg& window, const std::string& text) {
    const QImage shown = StatusLineOnScreen(window);
    const QFont font = CTorvelDlg::CreateStatusFont();
    const QFontMetrics metrics(font);
    const QString written = QString::fromStdString(text);
    QImage ink(shown.size(), QImage::Format_RGB32);
    ink.setDevicePixelRatio(shown.devicePixelRatio());
    ink.fill(Qt::white);
    {
        QPainter painter(&ink);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(5, 2 + metrics.ascent(), written);
    }
    const int right = std::min(
        shown.width(),
        static_cast<int>((5 + metrics.horizontalAdvance(written)) * shown.devicePixelRatio()));
    int inked = 0;
    int inkedShown = 0;
    int stray = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < right; ++x) {
            const int want = qGray(ink.pixel(x, y));
            const int has = qGray(shown.pixel(x, y));
            if (want < 64) {
                ++inked;
                inkedShown += has < 110;
            } else if (want > 200) {
                stray += has < 60;
            }
        }
    }
    return inked > 0 && inkedShown * 20 >= inked * 19 && stray * 10 <= inked;
}

}  // namespace test_support
