// Draws every skin bitmap of the program into a folder: the main window's backgrounds, status
// bar and buttons, the remote keys, the small dialogs and the login window, each at the size of
// the rectangle it fills, in one dark theme.
//
//   torvel_skin <output folder>
//
// The set of files is the program's own skin file table; nothing here names a file.

#include <QConicalGradient>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "mainwindow/skin_tables.h"
#include "widgets/skin_files.h"

namespace {

using ui::SkinArt;
using ui::SkinFile;
using ui::SkinState;

// --- The theme ------------------------------------------------------------------------------

const QColor kDeep(0x0b, 0x0e, 0x12);
const QColor kBase(0x14, 0x19, 0x20);
const QColor kPanel(0x1b, 0x21, 0x2a);
const QColor kRaised(0x27, 0x2f, 0x3a);
const QColor kRaisedTop(0x33, 0x3d, 0x4a);
const QColor kEdge(0x3a, 0x45, 0x53);
const QColor kText(0xd4, 0xdc, 0xe6);
const QColor kTextDim(0x8b, 0x97, 0xa6);
const QColor kDisabled(0x4a, 0x53, 0x5f);
const QColor kAccent(0x3e, 0xa6, 0xff);
const QColor kAccentSoft(0x2a, 0x6f, 0xb0);
const QColor kRed(0xe5, 0x48, 0x4d);
const QColor kAmber(0xf5, 0xa5, 0x24);
const QColor kGreen(0x3f, 0xcf, 0x8e);
const QColor kTitleBand(0x1f, 0x26, 0x30);
const QColor kMessageField(0xd6, 0xde, 0xe8);

QString g_fontFamily = QStringLiteral("DejaVu Sans");

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// Colour of a face's symbol or text in each state.
QColor InkFor(SkinState state, const QColor& accent = kAccent) {
    switch (state) {
        case SkinState::Normal:
            return kText;
        case SkinState::Hover:
            return Qt::white;
        case SkinState::Pressed:
            return accent;
        case SkinState::Disabled:
            return kDisabled;
        case SkinState::Active:
        case SkinState::ActiveHover:
            return Qt::white;
    }
    return kText;
}

// --- Text -----------------------------------------------------------------------------------

// Draws `text` centred in `box`, as large as `maxPixels` allows, squeezed sideways a little
// before the size is reduced.
void DrawFittedText(QPainter& p, const QRectF& box, const QString& text, const QColor& colour,
                    int maxPixels, bool bold = true, double minSqueeze = 0.78) {
    QFont font(g_fontFamily);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    for (int px = maxPixels; px >= 6; --px) {
        font.setPixelSize(px);
        const QFontMetricsF metrics(font);
        const double width = metrics.horizontalAdvance(text);
        const double squeeze = std::min(1.0, box.width() / std::max(width, 1.0));
        if (squeeze >= minSqueeze || px == 6) {
            p.save();
            p.setFont(font);
            p.setPen(colour);
            p.translate(box.center());
            p.scale(squeeze, 1.0);
            const double ascent = metrics.ascent();
            const double descent = metrics.descent();
            p.drawText(QPointF(-width / 2, (ascent - descent) / 2), text);
            p.restore();
            return;
        }
    }
}

// --- Symbols, drawn in a 24 x 24 box ----------------------------------------------------------

void Polygon(QPainter& p, std::initializer_list<QPointF> points) {
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void Magnifier(QPainter& p, const QColor& ink, const QString& sign, bool filledLens) {
    QPen pen(ink, 2.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(filledLens ? QBrush(Mix(ink, kBase, 0.6)) : Qt::NoBrush);
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.setPen(QPen(ink, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.6, 14.6), QPointF(20, 20));
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    if (sign == "+" || sign == "-") {
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
    }
    if (sign == "+") {
        p.drawLine(QPointF(10, 7), QPointF(10, 13));
    }
}

void Arrow(QPainter& p, const QColor& ink, double angleDegrees, bool doubled) {
    p.save();
    p.translate(12, 12);
    p.rotate(angleDegrees);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    if (doubled) {
        Polygon(p, {{-8, -6}, {0, 0}, {-8, 6}});
        Polygon(p, {{0, -6}, {8, 0}, {0, 6}});
    } else {
        Polygon(p, {{-4, -7}, {6, 0}, {-4, 7}});
    }
    p.restore();
}

// Four corner marks of a viewfinder; leaves the pen set.
void FocusBrackets(QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap));
    for (const auto& [x, y, dx, dy] : {std::array{4, 4, 1, 1}, std::array{20, 4, -1, 1},
                                       std::array{4, 20, 1, -1}, std::array{20, 20, -1, -1}}) {
        p.drawLine(QPointF(x, y), QPointF(x + 4 * dx, y));
        p.drawLine(QPointF(x, y), QPointF(x, y + 4 * dy));
    }
}

void Bell(QPainter& p, const QColor& ink) {
    QPainterPath bell;
    bell.moveTo(5, 17);
    bell.cubicTo(7, 15, 7, 12, 7, 10);
    bell.cubicTo(7, 6, 9, 4.5, 12, 4.5);
    bell.cubicTo(15, 4.5, 17, 6, 17, 10);
    bell.cubicTo(17, 12, 17, 15, 19, 17);
    bell.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(bell);
    p.drawEllipse(QPointF(12, 19.5), 2, 2);
}

void Person(QPainter& p, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(12, 8), 4.2, 4.2);
    QPainterPath body;
    body.moveTo(4, 21);
    body.cubicTo(4, 15, 8, 13.5, 12, 13.5);
    body.cubicTo(16, 13.5, 20, 15, 20, 21);
    body.closeSubpath();
    p.drawPath(body);
}

using GlyphPainter = std::function<void(QPainter&, const QColor&)>;

const std::map<QString, GlyphPainter>& Glyphs() {
    static const std::map<QString, GlyphPainter> glyphs = {
        {"play",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             Polygon(p, {{8, 5}, {19, 12}, {8, 19}});
         }},
        {"pause",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(6.5, 5, 4, 14), 1, 1);
             p.drawRoundedRect(QRectF(13.5, 5, 4, 14), 1, 1);
         }},
        {"stop",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(6, 6, 12, 12), 1.5, 1.5);
         }},
        {"rew", [](QPainter& p, const QColor& c) { Arrow(p, c, 180, true); }},
        {"ff", [](QPainter& p, const QColor& c) { Arrow(p, c, 0, true); }},
        {"slow",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             Polygon(p, {{5, 6}, {14, 12}, {5, 18}});
             p.drawRect(QRectF(16, 6, 3, 12));
         }},
        {"rec",
         [](QPainter& p, const QColor&) {
             p.setPen(Qt::NoPen);
             p.setBrush(kRed);
             p.drawEllipse(QPointF(12, 12), 6, 6);
         }},
        {"left", [](QPainter& p, const QColor& c) { Arrow(p, c, 180, false); }},
        {"right", [](QPainter& p, const QColor& c) { Arrow(p, c, 0, false); }},
        {"up", [](QPainter& p, const QColor& c) { Arrow(p, c, -90, false); }},
        {"down", [](QPainter& p, const QColor& c) { Arrow(p, c, 90, false); }},
        {"menu",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
             for (double y : {7.0, 12.0, 17.0}) {
                 p.drawLine(QPointF(6, y), QPointF(18, y));
             }
         }},
        {"zoom", [](QPainter& p, const QColor& c) { Magnifier(p, c, "+", false); }},
        {"zoom_in", [](QPainter& p, const QColor& c) { Magnifier(p, c, "+", false); }},
        {"zoom_out", [](QPainter& p, const QColor& c) { Magnifier(p, c, "-", false); }},
        {"zoom_max", [](QPainter& p, const QColor& c) { Magnifier(p, c, "+", true); }},
        {"zoom_min", [](QPainter& p, const QColor& c) { Magnifier(p, c, "-", true); }},
        {"search", [](QPainter& p, const QColor& c) { Magnifier(p, c, "", false); }},
        {"focus_in",
         [](QPainter& p, const QColor& c) {
             FocusBrackets(p, c);
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
         }},
        {"focus_out",
         [](QPainter& p, const QColor& c) {
             FocusBrackets(p, c);
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
         }},
        {"select",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(12, 12), 7, 7);
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawEllipse(QPointF(12, 12), 3, 3);
         }},
        {"lock",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.2));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(7.5, 3.5, 9, 11), 0, 180 * 16);
             p.drawLine(QPointF(7.5, 9), QPointF(7.5, 11));
             p.drawLine(QPointF(16.5, 9), QPointF(16.5, 11));
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(5, 11, 14, 10), 2, 2);
         }},
        {"enter",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({{18, 5}, {18, 14}, {7, 14}}));
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             Polygon(p, {{4, 14}, {9, 9.5}, {9, 18.5}});
         }},
        {"turbo",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             Polygon(p, {{14, 2}, {5, 13.5}, {11, 13.5}, {9, 22}, {19, 9.5}, {13, 9.5}});
         }},
        {"ptz",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawEllipse(QPointF(12, 12), 3, 3);
             for (int a = 0; a < 4; ++a) {
                 p.save();
                 p.translate(12, 12);
                 p.rotate(90 * a);
                 Polygon(p, {{7, -3.5}, {11, 0}, {7, 3.5}});
                 p.restore();
             }
         }},
        {"retr", [](QPainter& p, const QColor& c) { Bell(p, c); }},
        {"alarm", [](QPainter& p, const QColor&) { Bell(p, kRed); }},
        {"user", [](QPainter& p, const QColor& c) { Person(p, c); }},
        {"name", [](QPainter& p, const QColor& c) { Person(p, c); }},
        {"link",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.2));
             p.setBrush(Qt::NoBrush);
             p.save();
             p.translate(12, 12);
             p.rotate(-45);
             p.drawRoundedRect(QRectF(-9, -3.5, 10, 7), 3.5, 3.5);
             p.drawRoundedRect(QRectF(-1, -3.5, 10, 7), 3.5, 3.5);
             p.restore();
         }},
        {"link_off",
         [](QPainter& p, const QColor&) {
             p.setPen(QPen(kRed, 2.2));
             p.setBrush(Qt::NoBrush);
             p.save();
             p.translate(12, 12);
             p.rotate(-45);
             p.drawRoundedRect(QRectF(-11, -3.5, 9, 7), 3.5, 3.5);
             p.drawRoundedRect(QRectF(2, -3.5, 9, 7), 3.5, 3.5);
             p.restore();
             p.setPen(QPen(kRed, 1.6, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(5, 5), QPointF(8, 8));
             p.drawLine(QPointF(16, 16), QPointF(19, 19));
         }},
        {"camera",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(3, 7, 18, 12), 2.5, 2.5);
             p.drawRect(QRectF(8, 5, 8, 3));
             p.setBrush(kBase);
             p.drawEllipse(QPointF(12, 13), 4, 4);
             p.setBrush(c);
             p.drawEllipse(QPointF(12, 13), 2, 2);
         }},
        {"record",
         [](QPainter& p, const QColor&) {
             p.setPen(QPen(kRed.darker(140), 1.5));
             p.setBrush(kRed);
             p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
         }},
        {"gear",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.save();
             p.translate(12, 12);
             for (int i = 0; i < 8; ++i) {
                 p.drawRoundedRect(QRectF(-1.8, -9.5, 3.6, 5), 1, 1);
                 p.rotate(45);
             }
             p.restore();
             p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
             p.setBrush(kRaised);
             p.drawEllipse(QPointF(12, 12), 2.8, 2.8);
         }},
        {"power",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(5, 5.5, 14, 14), 120 * 16, -240 * 16);
             p.drawLine(QPointF(12, 3.5), QPointF(12, 11));
         }},
        {"min",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(6, 17), QPointF(18, 17));
         }},
        {"full",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.6));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(5.5, 5.5, 13, 13));
         }},
        {"close",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
             p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
         }},
        {"open",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({{6, 7}, {12, 12}, {18, 7}}));
             p.drawPolyline(QPolygonF({{6, 13}, {12, 18}, {18, 13}}));
         }},
        {"shut",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({{6, 11}, {12, 6}, {18, 11}}));
             p.drawPolyline(QPolygonF({{6, 17}, {12, 12}, {18, 17}}));
         }},
        {"brightness",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
             for (int i = 0; i < 8; ++i) {
                 const double a = i * M_PI / 4;
                 p.drawLine(QPointF(12 + 7 * std::cos(a), 12 + 7 * std::sin(a)),
                            QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a)));
             }
             p.setPen(Qt::NoPen);
             p.setBrush(kAmber);
             p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
         }},
        {"contrast",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(12, 12), 8, 8);
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawPie(QRectF(4, 4, 16, 16), 90 * 16, 180 * 16);
         }},
        {"hue",
         [](QPainter& p, const QColor&) {
             QConicalGradient wheel(12, 12, 0);
             for (int i = 0; i <= 6; ++i) {
                 wheel.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 200, 240));
             }
             p.setPen(Qt::NoPen);
             p.setBrush(wheel);
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.setBrush(kRaised);
             p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
         }},
        {"saturation",
         [](QPainter& p, const QColor&) {
             QPainterPath drop;
             drop.moveTo(12, 3);
             drop.cubicTo(16, 9, 19, 12, 19, 15);
             drop.cubicTo(19, 19, 16, 21.5, 12, 21.5);
             drop.cubicTo(8, 21.5, 5, 19, 5, 15);
             drop.cubicTo(5, 12, 8, 9, 12, 3);
             QLinearGradient fill(0, 3, 0, 21.5);
             fill.setColorAt(0, QColor(0x9a, 0xa5, 0xb3));
             fill.setColorAt(1, kAccent);
             p.setPen(Qt::NoPen);
             p.setBrush(fill);
             p.drawPath(drop);
         }},
        {"address",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(5, 3, 14, 18), 2, 2);
             p.setBrush(kAccentSoft);
             p.drawRect(QRectF(5, 3, 3, 18));
             p.setPen(QPen(kBase, 1.5));
             for (double y : {8.0, 12.0, 16.0}) {
                 p.drawLine(QPointF(10, y), QPointF(16.5, y));
             }
         }},
        {"player",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2));
             p.setBrush(Qt::NoBrush);
             p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             Polygon(p, {{10, 8.5}, {15.5, 12}, {10, 15.5}});
         }},
        {"download",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawLine(QPointF(12, 3.5), QPointF(12, 14));
             p.drawPolyline(QPolygonF({{7.5, 10}, {12, 14.5}, {16.5, 10}}));
             p.drawPolyline(QPolygonF({{4, 15}, {4, 20}, {20, 20}, {20, 15}}));
         }},
        {"copy",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2));
             p.setBrush(kRaised);
             p.drawRoundedRect(QRectF(4, 3, 11, 14), 1.5, 1.5);
             p.drawRoundedRect(QRectF(9, 7, 11, 14), 1.5, 1.5);
         }},
        {"connect",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawLine(QPointF(4, 12), QPointF(15, 12));
             p.drawPolyline(QPolygonF({{10.5, 7.5}, {15, 12}, {10.5, 16.5}}));
             p.drawPolyline(QPolygonF({{14, 4}, {20, 4}, {20, 20}, {14, 20}}));
         }},
        {"password",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(8, 12), 4, 4);
             p.drawLine(QPointF(12, 12), QPointF(20, 12));
             p.drawLine(QPointF(17, 12), QPointF(17, 16));
             p.drawLine(QPointF(20, 12), QPointF(20, 15));
         }},
        {"ip",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 1.8));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
             p.drawEllipse(QRectF(8, 3.5, 8, 17));
             p.drawLine(QPointF(3.5, 12), QPointF(20.5, 12));
         }},
        {"port",
         [](QPainter& p, const QColor& c) {
             p.setPen(Qt::NoPen);
             p.setBrush(c);
             p.drawRoundedRect(QRectF(6, 8, 12, 9), 2, 2);
             p.drawRect(QRectF(8.5, 3.5, 2, 5));
             p.drawRect(QRectF(13.5, 3.5, 2, 5));
             p.drawRect(QRectF(11, 17, 2, 4));
         }},
    };
    return glyphs;
}

// Draws a named symbol into `box`, kept square and centred.
void DrawGlyph(QPainter& p, const QRectF& box, const QString& name, const QColor& ink) {
    const auto it = Glyphs().find(name);
    if (it == Glyphs().end()) {
        DrawFittedText(p, box, name.toUpper(), ink, static_cast<int>(box.height() * 0.6));
        return;
    }
    const double side = std::min(box.width(), box.height());
    p.save();
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / 24.0, side / 24.0);
    it->second(p, ink);
    p.restore();
}

// Short captions shown beside a symbol on the wide function keys.
QString CaptionFor(const QString& glyph) {
    static const std::map<QString, QString> captions = {
        {"zoom_in", "TELE"}, {"zoom_out", "WIDE"}, {"focus_in", "NEAR"}, {"focus_out", "FAR"},
        {"zoom_max", "MAX"}, {"zoom_min", "MIN"},  {"enter", "ENTER"},   {"turbo", "TURBO"},
        {"ptz", "PTZ"},      {"retr", "RETR"},
    };
    const auto it = captions.find(glyph);
    return it == captions.end() ? QString() : it->second;
}

// --- Faces ----------------------------------------------------------------------------------

// A raised, rounded key in the state's look; returns the rectangle for its content.
QRectF DrawKeyBase(QPainter& p, const QRectF& r, SkinState state, double radius,
                   const QColor& accent = kAccent) {
    QColor top = kRaisedTop;
    QColor bottom = kRaised;
    QColor border = kEdge;
    switch (state) {
        case SkinState::Normal:
            break;
        case SkinState::Hover:
            top = Mix(kRaisedTop, accent, 0.22);
            bottom = Mix(kRaised, accent, 0.12);
            border = accent;
            break;
        case SkinState::Pressed:
            top = kBase;
            bottom = kPanel;
            border = accent.darker(130);
            break;
        case SkinState::Disabled:
            top = kPanel;
            bottom = kPanel;
            border = QColor(0x2a, 0x31, 0x3b);
            break;
        case SkinState::Active:
            top = Mix(kRaised, accent, 0.55);
            bottom = Mix(kRaised, accent, 0.35);
            border = accent.lighter(115);
            break;
        case SkinState::ActiveHover:
            top = Mix(kRaised, accent, 0.75);
            bottom = Mix(kRaised, accent, 0.5);
            border = Qt::white;
            break;
    }
    p.fillRect(r, kBase);
    const QRectF face = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, radius, radius);
    if (state != SkinState::Pressed && state != SkinState::Disabled) {
        p.setPen(QPen(QColor(255, 255, 255, 28), 1));
        p.drawLine(QPointF(face.left() + radius, face.top() + 1),
                   QPointF(face.right() - radius, face.top() + 1));
    }
    QRectF content = r.adjusted(2, 2, -2, -2);
    if (state == SkinState::Pressed) {
        content.translate(0, 1);
    }
    return content;
}

void DrawKeyText(QPainter& p, const QRectF& r, const SkinFile& f) {
    const QRectF content = DrawKeyBase(p, r, f.state, r.height() > 20 ? 4 : 3);
    DrawFittedText(p, content, QString::fromStdString(f.label), InkFor(f.state),
                   static_cast<int>(std::clamp(r.height() * 0.55, 8.0, 12.0)));
}

void DrawKeyGlyph(QPainter& p, const QRectF& r, const SkinFile& f) {
    QString glyph = QString::fromStdString(f.label);
    const bool turbo = glyph.startsWith("turbo:");
    if (turbo) {
        glyph = glyph.mid(6);
    }
    const QColor accent = turbo || glyph == "turbo" ? kAmber
                          : glyph == "ptz"          ? kGreen
                          : glyph == "retr"         ? kRed
                                                    : kAccent;
    const QRectF content = DrawKeyBase(p, r, f.state, 3, accent);
    QColor ink = InkFor(f.state, accent);
    if (turbo && f.state != SkinState::Disabled) {
        ink = f.state == SkinState::Hover ? kAmber.lighter(125) : kAmber;
    }
    const bool direction = glyph == "left" || glyph == "right" || glyph == "up" || glyph == "down";
    if (turbo && direction) {
        const double angle = glyph == "left" ? 180 : glyph == "up" ? -90 : glyph == "down" ? 90 : 0;
        const double side = std::min(content.width(), content.height());
        p.save();
        p.translate(content.center().x() - side / 2, content.center().y() - side / 2);
        p.scale(side / 24.0, side / 24.0);
        Arrow(p, ink, angle, true);
        p.restore();
        return;
    }
    const QString caption = CaptionFor(glyph);
    if (!caption.isEmpty() && content.width() >= 2.0 * content.height()) {
        // The caption in the key's full ink and at a size that reads without squeezing; the
        // symbol beside it only where both have room, else the caption alone.
        const QColor captionInk = f.state == SkinState::Normal ? kText : ink;
        QFont font(g_fontFamily);
        font.setBold(true);
        font.setPixelSize(9);
        const double needed = QFontMetricsF(font).horizontalAdvance(caption);
        const double side = std::floor(content.height() * 0.8);
        if (content.width() - side - 2 >= needed) {
            DrawGlyph(p, QRectF(content.left() + 1, content.center().y() - side / 2, side, side),
                      glyph, ink);
            DrawFittedText(p,
                           QRectF(content.left() + side + 2, content.top(),
                                  content.width() - side - 2, content.height()),
                           caption, captionInk, 9, true, 0.95);
        } else {
            DrawFittedText(p, content, caption, captionInk, 10, true, 0.9);
        }
        return;
    }
    DrawGlyph(p, content.adjusted(1, 0, -1, 0), glyph, ink);
}

void DrawCommandButton(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, kPanel);
    const QRectF disc = r.adjusted(1.5, 1.5, -1.5, -1.5);
    const bool active = f.state == SkinState::Active || f.state == SkinState::ActiveHover;
    const QString glyph = QString::fromStdString(f.label);
    const QColor accent = glyph == "record" || glyph == "link_off" ? kRed : kAccent;
    QRadialGradient fill(disc.center() - QPointF(0, disc.height() / 4), disc.width() * 0.7);
    QColor centre = kRaisedTop;
    QColor rim = kRaised.darker(115);
    QColor border = kEdge;
    if (f.state == SkinState::Hover || f.state == SkinState::ActiveHover) {
        centre = Mix(kRaisedTop, accent, 0.3);
        border = accent;
    }
    if (f.state == SkinState::Pressed) {
        centre = kBase;
        rim = kPanel;
        border = accent;
    }
    if (f.state == SkinState::Disabled) {
        centre = kPanel;
        rim = kPanel;
        border = QColor(0x2a, 0x31, 0x3b);
    }
    if (active) {
        centre = Mix(centre, accent, 0.35);
    }
    fill.setColorAt(0, centre);
    fill.setColorAt(1, rim);
    p.setPen(QPen(border, 1.2));
    p.setBrush(fill);
    p.drawEllipse(disc);
    const QRectF content = disc.adjusted(4, 4, -4, -4);
    const QColor ink = InkFor(f.state, accent);
    if (glyph == "qvga" || glyph == "vga") {
        DrawFittedText(p, disc.adjusted(2, 0, -2, 0), glyph.toUpper(), ink, 8);
    } else if (glyph == "high" || glyph == "mid" || glyph == "low") {
        const int lit = glyph == "high" ? 3 : glyph == "mid" ? 2 : 1;
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            const double h = 4 + 3.5 * i;
            p.setBrush(i < lit ? ink : Mix(kRaised, ink, 0.25));
            p.drawRoundedRect(QRectF(content.left() + 1 + i * 6, content.bottom() - h, 4, h), 1, 1);
        }
    } else if (glyph == "record") {
        p.setPen(Qt::NoPen);
        p.setBrush(f.state == SkinState::Disabled ? kDisabled : active ? kRed.lighter(120) : kRed);
        p.drawEllipse(content.center(), active ? 5.5 : 4.5, active ? 5.5 : 4.5);
        if (active) {
            p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(content.center(), 7.5, 7.5);
        }
    } else {
        DrawGlyph(p, content, glyph, ink);
    }
}

void DrawTitleButton(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, kTitleBand);
    const bool hover = f.state == SkinState::Hover;
    const QString glyph = QString::fromStdString(f.label);
    const QColor accent = glyph == "close" ? kRed : kAccent;
    p.setPen(Qt::NoPen);
    p.setBrush(hover ? accent : kRaised);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    DrawGlyph(p, r.adjusted(2, 2, -2, -2), glyph, hover ? QColor(Qt::white) : kTextDim);
}

void DrawChannelTab(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, kPanel);
    const QRectF tab = r.adjusted(1.5, 2.5, -1.5, -0.5);
    const QRectF content = DrawKeyBase(p, tab, f.state, 4);
    const bool selected = f.state == SkinState::Active || f.state == SkinState::ActiveHover;
    DrawFittedText(p, content, QString::fromStdString(f.label),
                   selected || f.state == SkinState::Hover ? QColor(Qt::white) : kTextDim, 12);
}

void DrawStripArrow(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, kPanel);
    const QColor ink = f.state == SkinState::Pressed ? kAccent : kTextDim;
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const double cx = r.center().x();
    const double cy = r.center().y();
    if (f.label == "left") {
        Polygon(p, {{cx + 3, cy - 5}, {cx - 3, cy}, {cx + 3, cy + 5}});
    } else {
        Polygon(p, {{cx - 3, cy - 5}, {cx + 3, cy}, {cx - 3, cy + 5}});
    }
}

void DrawPanelToggle(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, QColor(0x10, 0x14, 0x19));
    const QRectF content = DrawKeyBase(p, r.adjusted(2, 6, -2, -6), f.state, 9);
    DrawGlyph(p, content.adjusted(4, -2, -4, 2), f.label == "up" ? "open" : "shut",
              f.state == SkinState::Hover ? kAccent.lighter(120) : kTextDim);
}

void DrawStatusBar(QPainter& p, const QRectF& r) {
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0xb4, 0xc0, 0xcd));
    fill.setColorAt(1, QColor(0x98, 0xa6, 0xb6));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(QColor(0x6b, 0x78, 0x88));
    p.drawLine(r.topLeft(), r.topRight() - QPointF(1, 0));
    p.setPen(QColor(0xe6, 0xec, 0xf2));
    p.drawLine(r.bottomLeft() - QPointF(0, 1), r.bottomRight() - QPointF(1, 1));
}

// The emblem of the program: a lens in rings.
void DrawEmblem(QPainter& p, const QPointF& centre, double radius) {
    QRadialGradient outer(centre, radius);
    outer.setColorAt(0, kAccentSoft);
    outer.setColorAt(1, kBase);
    p.setPen(QPen(kAccent, radius * 0.08));
    p.setBrush(outer);
    p.drawEllipse(centre, radius * 0.92, radius * 0.92);
    p.setPen(QPen(kEdge, radius * 0.06));
    p.setBrush(kDeep);
    p.drawEllipse(centre, radius * 0.58, radius * 0.58);
    QRadialGradient lens(centre - QPointF(radius * 0.15, radius * 0.15), radius * 0.5);
    lens.setColorAt(0, kAccent.lighter(140));
    lens.setColorAt(1, kAccentSoft.darker(150));
    p.setPen(Qt::NoPen);
    p.setBrush(lens);
    p.drawEllipse(centre, radius * 0.36, radius * 0.36);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(centre - QPointF(radius * 0.14, radius * 0.14), radius * 0.09, radius * 0.09);
}

void DrawWindowBackground(QPainter& p, const QRectF& r, const SkinFile& f) {
    static const std::map<std::string, int> kModes = {
        {"N_VGA", 0}, {"N_QVGA", 1}, {"P_VGA", 2}, {"P_QVGA", 3}};
    const LayoutRow& L = LayoutRectTable[kModes.at(f.label)];
    const bool open = f.state == SkinState::Active;
    const double width = r.width();
    const double height = r.height();

    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(0x1c, 0x23, 0x2c));
    fill.setColorAt(1, QColor(0x0f, 0x13, 0x18));
    p.fillRect(r, fill);

    // Title band with the emblem, then the tool band of the command buttons.
    p.fillRect(QRectF(0, 0, width, 27), kTitleBand);
    p.setPen(QColor(0x2e, 0x38, 0x45));
    p.drawLine(QPointF(0, 27.5), QPointF(width, 27.5));
    DrawEmblem(p, QPointF(18, 13.5), 8.5);
    DrawFittedText(p, QRectF(31, 4, 90, 19), "LIVE VIEW", kTextDim, 11);
    p.fillRect(QRectF(0, 28, width, 33), kPanel);
    p.setPen(QColor(0x0a, 0x0d, 0x11));
    p.drawLine(QPointF(0, 60.5), QPointF(width, 60.5));

    // The well the picture sits in.
    const QRectF video(L[12], L[13], L[14] - L[12], L[15] - L[13]);
    const QRectF well = video.adjusted(-6, -6, 6, 6);
    p.setPen(QPen(QColor(0x2c, 0x35, 0x41), 1));
    p.setBrush(kDeep);
    p.drawRoundedRect(well.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.fillRect(video, Qt::black);

    // Below the picture: the deck of the panel buttons, and with the panel open the key deck.
    const double deckTop = well.bottom() + 6;
    if (open) {
        const double margin = width < 400 ? 2.5 : 6.5;
        const QRectF deck(margin, deckTop + 0.5, width - 2 * margin, height - deckTop - 8);
        QLinearGradient deckFill(deck.topLeft(), deck.bottomLeft());
        deckFill.setColorAt(0, QColor(0x12, 0x16, 0x1c));
        deckFill.setColorAt(1, QColor(0x0d, 0x10, 0x14));
        p.setPen(QPen(QColor(0x2a, 0x32, 0x3d), 1));
        p.setBrush(deckFill);
        p.drawRoundedRect(deck, 6, 6);
    }
    const double notchX = L[24] + L[26] / 2.0;
    p.setPen(QPen(QColor(0x2e, 0x38, 0x45), 1));
    p.drawLine(QPointF(notchX - 60, deckTop - 2.5), QPointF(notchX - 24, deckTop - 2.5));
    p.drawLine(QPointF(notchX + 24, deckTop - 2.5), QPointF(notchX + 60, deckTop - 2.5));

    // The window's rim.
    p.setPen(QPen(QColor(0x34, 0x3f, 0x4c), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
}

void DrawDialogFrame(QPainter& p, const QRectF& r, const SkinFile& f) {
    if (f.label == "title") {
        QLinearGradient fill(0, 0, 0, r.height());
        fill.setColorAt(0, QColor(0x26, 0x2e, 0x39));
        fill.setColorAt(1, kTitleBand);
        p.fillRect(r, fill);
        p.setPen(QColor(0x2e, 0x38, 0x45));
        p.drawLine(QPointF(0, r.height() - 0.5), QPointF(r.width(), r.height() - 0.5));
    } else if (f.label == "side" || f.label == "bottom") {
        p.fillRect(r, kPanel);
    } else {
        p.fillRect(r, kTitleBand);
        DrawEmblem(p, r.center(), std::min(r.width(), r.height()) / 2);
    }
}

void DrawDialogButton(QPainter& p, const QRectF& r, const SkinFile& f) {
    const QString label = QString::fromStdString(f.label);
    if (Glyphs().count(label) != 0) {
        p.fillRect(r, kPanel);
        DrawGlyph(p, r.adjusted(1, 1, -1, -1), label, kText);
        return;
    }
    const QRectF content = DrawKeyBase(p, r, f.state, 5);
    DrawFittedText(p, content, label, InkFor(f.state), 11);
}

// The login window: a title band on top, thin sides, a bottom band.
void DrawLoginFrame(QPainter& p, const QRectF& r, const SkinFile& f) {
    const std::string& piece = f.label;
    if (piece == "spacer") {
        QLinearGradient fill(0, 0, 0, r.height());
        fill.setColorAt(0, QColor(0x1c, 0x23, 0x2c));
        fill.setColorAt(1, QColor(0x10, 0x14, 0x19));
        p.fillRect(r, fill);
        p.setPen(QPen(QColor(0x2a, 0x32, 0x3d), 1));
        p.setBrush(QColor(0x14, 0x19, 0x20));
        p.drawRoundedRect(QRectF(22.5, 92.5, 259, 150), 6, 6);
        // The message field under the fields: the window writes its error text here in a
        // saturated blue, which needs a light ground to be read.
        p.setPen(QPen(QColor(0x8a, 0x9b, 0xb0), 1));
        p.setBrush(kMessageField);
        p.drawRoundedRect(QRectF(68.5, 241.5, 209, 32), 4, 4);
        return;
    }
    if (piece.starts_with("top") || piece.ends_with("_top")) {
        p.fillRect(r, kTitleBand);
        if (piece == "top_middle2") {
            DrawEmblem(p, QPointF(12, 10), 7.5);
            DrawFittedText(p, QRectF(24, 1, 110, 19), "SIGN IN", kText, 11);
            DrawFittedText(p, QRectF(120, 1, 38, 19), "v", kTextDim, 10, false);
        }
        if (piece == "top_middle1") {
            p.setPen(QPen(kAccent, 2));
            p.drawLine(QPointF(0, 1), QPointF(r.width(), 1));
        }
        if (piece == "left_top" || piece == "right_top") {
            p.setPen(QPen(kAccent, 2));
            p.drawLine(QPointF(0, 1), QPointF(r.width(), 1));
        }
        p.setPen(QColor(0x2e, 0x38, 0x45));
        if (r.height() > 20) {
            p.drawLine(QPointF(0, r.height() - 0.5), QPointF(r.width(), r.height() - 0.5));
        }
        return;
    }
    if (piece.ends_with("middle")) {
        p.fillRect(r, QColor(0x16, 0x1b, 0x22));
        return;
    }
    p.fillRect(r, kTitleBand);
    p.setPen(QColor(0x2e, 0x38, 0x45));
    p.drawLine(QPointF(0, 0.5), QPointF(r.width(), 0.5));
}

void DrawLoginButton(QPainter& p, const QRectF& r, const SkinFile& f) {
    p.fillRect(r, QColor(0x18, 0x1e, 0x26));
    const QString glyph = QString::fromStdString(f.label);
    const QColor accent = glyph == "cancel" ? kRed : glyph == "enter" ? kGreen : kAccent;
    const QRectF content = DrawKeyBase(p, r.adjusted(1, 1, -1, -1), f.state, 7, accent);
    const QString symbol = glyph == "enter" ? "connect" : glyph == "cancel" ? "close" : glyph;
    const QColor ink = f.state == SkinState::Normal
                           ? (glyph == "enter" || glyph == "cancel" ? accent : kText)
                           : InkFor(f.state, accent);
    DrawGlyph(p, content.adjusted(3, 3, -3, -3), symbol, ink);
}

void DrawSkinFile(QPainter& p, const SkinFile& f) {
    const QRectF r(0, 0, f.width, f.height);
    switch (f.art) {
        case SkinArt::WindowBackground:
            DrawWindowBackground(p, r, f);
            break;
        case SkinArt::StatusBar:
            DrawStatusBar(p, r);
            break;
        case SkinArt::StatusIcon:
            p.fillRect(r, QColor(0xa6, 0xb3, 0xc1));
            DrawGlyph(p, r, QString::fromStdString(f.label), QColor(0x2a, 0x33, 0x3f));
            break;
        case SkinArt::TitleButton:
            DrawTitleButton(p, r, f);
            break;
        case SkinArt::ChannelTab:
            DrawChannelTab(p, r, f);
            break;
        case SkinArt::StripArrow:
            DrawStripArrow(p, r, f);
            break;
        case SkinArt::CommandButton:
            DrawCommandButton(p, r, f);
            break;
        case SkinArt::PanelToggle:
            DrawPanelToggle(p, r, f);
            break;
        case SkinArt::KeyText:
            DrawKeyText(p, r, f);
            break;
        case SkinArt::KeyGlyph:
            DrawKeyGlyph(p, r, f);
            break;
        case SkinArt::DialogFrame:
            DrawDialogFrame(p, r, f);
            break;
        case SkinArt::DialogButton:
            DrawDialogButton(p, r, f);
            break;
        case SkinArt::LoginFrame:
            DrawLoginFrame(p, r, f);
            break;
        case SkinArt::LoginDigit:
            p.fillRect(r, kTitleBand);
            DrawFittedText(p, r, QString::fromStdString(f.label), kTextDim, 12, false);
            break;
        case SkinArt::LoginRunning:
            p.fillRect(r, QColor(157, 216, 244));
            p.setPen(Qt::NoPen);
            p.setBrush(kAccentSoft);
            p.drawRoundedRect(r.adjusted(1, 2, -1, -2), 4, 4);
            break;
        case SkinArt::LoginButton:
            DrawLoginButton(p, r, f);
            break;
        case SkinArt::LoginLabel:
            p.fillRect(r, QColor(0x14, 0x19, 0x20));
            p.setPen(QPen(kEdge, 1));
            p.setBrush(kRaised);
            p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
            DrawGlyph(p, r.adjusted(5, 5, -5, -5), QString::fromStdString(f.label), kTextDim);
            break;
        case SkinArt::AboutBackground: {
            QLinearGradient fill(0, 0, r.width(), r.height());
            fill.setColorAt(0, QColor(0x22, 0x2a, 0x35));
            fill.setColorAt(1, QColor(0x0f, 0x13, 0x18));
            p.fillRect(r, fill);
            p.setPen(QPen(kAccent, 2));
            p.drawLine(QPointF(0, 1), QPointF(r.width(), 1));
            break;
        }
        case SkinArt::Logo:
            p.fillRect(r, QColor(0x1e, 0x25, 0x2f));
            DrawEmblem(p, r.center(), std::min(r.width(), r.height()) / 2 - 2);
            break;
    }
}

void LoadFont() {
    for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(file);
        if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty()) {
            g_fontFamily = QFontDatabase::applicationFontFamilies(id).first();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    LoadFont();

    const std::filesystem::path root(argv[1]);
    int written = 0;
    for (const SkinFile& f : ui::SkinFiles()) {
        std::string relative = f.name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::filesystem::path target = root / relative;
        std::error_code ec;
        std::filesystem::create_directories(target.parent_path(), ec);

        QImage image(f.width, f.height, QImage::Format_RGB32);
        image.fill(kBase);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            DrawSkinFile(painter, f);
        }
        if (!image.save(QString::fromStdString(target.string()), "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", target.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d skin bitmaps written to %s\n", written, root.c_str());
    return 0;
}
