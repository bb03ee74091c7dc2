#include "login/information_dlg.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "widgets/skin_image.h"
#include "widgets/vtx_button.h"
#include "widgets/window_shape.h"

namespace {

constexpr int kCornerEllipse = 10;
constexpr QRect kOkButtonRect(250, 200, 49, 25);
constexpr QRect kLogoRect(12, 38, 71, 74);
constexpr QPoint kVersionAt(160, 50);

}  // namespace

CApplicationInfoDialog::CApplicationInfoDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    m_OKButton = new ui::CVtxButton(this);
    connect(m_OKButton, &ui::CVtxButton::clicked, this, &QDialog::accept);
}

int CApplicationInfoDialog::DoModal() {
    if (!OnInitDialog()) {
        return -1;
    }
    return exec();
}

bool CApplicationInfoDialog::OnInitDialog() {
    ui::SetRoundedWindowShape(*this, kWidth, kHeight, kCornerEllipse);
    m_hBackgroundBitmap = ui::LoadSkinImage("BMP\\login_background.bmp");
    if (m_hBackgroundBitmap.isNull()) {
        return false;
    }
    m_hLogoBitmap = ui::LoadSkinImage("BMP\\ORVANE_LOGO.bmp");
    if (m_hLogoBitmap.isNull()) {
        return false;
    }
    m_OKButton->Create(kOkButtonRect, this, 1);
    m_OKButton->LoadButtonBitmap("BMP\\login_ok.bmp", "BMP\\login_ok_over.bmp",
                                 "BMP\\login_ok_over.bmp", ui::kVtxPush);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - kWidth) / 2, area.top() + (area.height() - kHeight) / 2);
    }
    m_strVersion = "Version : 1.0.1.6";
    return true;
}

void CApplicationInfoDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_hBackgroundBitmap.isNull()) {
        painter.drawImage(QRect(0, 0, kWidth, kHeight), m_hBackgroundBitmap);
    }
    if (!m_hLogoBitmap.isNull()) {
        painter.drawImage(kLogoRect, m_hLogoBitmap);
    }
    // The skin's background is dark; light text stays readable on it.
    painter.setPen(Qt::white);
    painter.drawText(kVersionAt + QPoint(0, painter.fontMetrics().ascent()),
                     QString::fromStdString(m_strVersion));
}

void CApplicationInfoDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
    }
    QDialog::mousePressEvent(event);
}
