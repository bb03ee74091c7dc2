#include "config/video_adjust_dlg.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "kernel/kernel_object.h"
#include "kernel/utilities.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_table.h"
#include "widgets/skin_image.h"
#include "widgets/window_shape.h"

namespace {

constexpr QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

constexpr int kMaxValue = 255;
constexpr int kDefaultValue = 128;
constexpr int kPageSize = 10;
constexpr int kCornerEllipse = 5;
constexpr QColor kBackground(221, 221, 221);

struct SkinPiece {
    const char* file;
    QRect rect;
};

constexpr SkinPiece kSkin[] = {
    {"BMP\\TitleLeft.bmp", Ltrb(0, 0, 10, 32)},
    {"BMP\\TilteBar_ess.bmp", Ltrb(10, 0, 294, 32)},
    {"BMP\\TitleRight.bmp", Ltrb(294, 0, 304, 32)},
    {"BMP\\LeftSide_ess.bmp", Ltrb(0, 32, 10, 223)},
    {"BMP\\RightSide_ess.bmp", Ltrb(294, 32, 304, 223)},
    {"BMP\\BottomLeft.bmp", Ltrb(0, 223, 10, 236)},
    {"BMP\\Bottom_ess.bmp", Ltrb(10, 223, 294, 236)},
    {"BMP\\BottomRight.bmp", Ltrb(294, 223, 304, 236)},
    {"BMP\\Player_Logo.bmp", Ltrb(10, 7, 31, 22)},
};

struct Row {
    int y;
    int iconId;  // also the string id of its tooltip
    const char* icon;
};

constexpr Row kRowTable[CVideoAdjustDlg::kRows] = {
    {47, 8523, "BMP\\Dialog_Brightness.bmp"},
    {87, 8524, "BMP\\Dialog_Contrast.bmp"},
    {127, 8525, "BMP\\Dialog_Hue.bmp"},
    {167, 8526, "BMP\\Dialog_Saturation.bmp"},
};

constexpr int kIconX = 15;
constexpr int kMinusX = 50;
constexpr int kSliderX = 60;
constexpr int kPlusX = 215;
constexpr int kFieldX = 240;
constexpr int kIconSize = 20;
constexpr int kSliderWidth = 150;
constexpr int kFieldWidth = 40;
constexpr int kRowHeight = 20;

}  // namespace

int PictureFieldValue(const std::string& typed, int oldValue) {
    std::string text = typed;
    FilterDigitInput(&text, 1);
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return oldValue;
    }
    int value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kMaxValue + 1);
    }
    return std::min(value, kMaxValue);
}

CVideoAdjustDlg::CVideoAdjustDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_command(*this, [this](bool waiting) { m_btnOK.setEnabled(!waiting); }) {
    for (int row = 0; row < kRows; ++row) {
        QSlider& slider = m_sliders[row];
        slider.setParent(this);
        slider.setOrientation(Qt::Horizontal);
        m_edits[row].setParent(this);
        connect(&slider, &QSlider::valueChanged, this,
                [this, row](int position) { OnSliderMoved(row, position); });
        connect(&m_edits[row], &QLineEdit::textEdited, this, [this, row] { OnFieldChanged(row); });
    }
    connect(&m_btnOK, &QAbstractButton::clicked, this, [this] { OnOK(); });
    connect(&m_btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(&m_btnDefault, &QAbstractButton::clicked, this, [this] { OnDefault(); });
    connect(&m_btnClose, &QAbstractButton::clicked, this, &QDialog::reject);
}

int CVideoAdjustDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CVideoAdjustDlg::OnInitDialog() {
    ui::SetRoundedWindowShape(*this, kWidth, kHeight, kCornerEllipse);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - kWidth) / 2, area.top() + (area.height() - kHeight) / 2);
    }
    raise();

    // A missing frame piece is only not drawn: the controls and the values must still be set up,
    // or OK would send whatever the controls happened to hold.
    for (std::size_t i = 0; i < std::size(kSkin); ++i) {
        m_hSkin[i] = ui::LoadSkinImage(kSkin[i].file);
    }

    // The texts show only where a button's bitmaps are missing.
    struct ButtonPlace {
        ui::CVtxButton& button;
        int id;
        QRect rect;
        std::string normal;
        std::string over;
        const char* text;
    };
    const ButtonPlace buttons[] = {
        {m_btnOK, 1, Ltrb(125, 200, 213, 225), ui::LoadString(4210), ui::LoadString(4211), "OK"},
        {m_btnCancel, 2, Ltrb(216, 200, 260, 225), ui::LoadString(4208), ui::LoadString(4209),
         "Cancel"},
        {m_btnDefault, kIdDefault, Ltrb(34, 200, 122, 225), ui::LoadString(4212),
         ui::LoadString(4213), "Default"},
        {m_btnClose, kIdClose, Ltrb(280, 8, 293, 21), "BMP\\Title_Bar_Close.bmp",
         "BMP\\Title_Bar_Close_a.bmp", "x"},
    };
    for (const ButtonPlace& b : buttons) {
        b.button.Create(b.rect, this, b.id);
        b.button.setText(b.text);
        b.button.LoadButtonBitmap(b.normal, b.over, b.over, ui::kVtxPushHover);
    }

    for (int row = 0; row < kRows; ++row) {
        const Row& r = kRowTable[row];
        QSlider& slider = m_sliders[row];
        slider.setGeometry(kSliderX, r.y, kSliderWidth, kRowHeight);
        slider.setRange(0, kMaxValue);
        slider.setPageStep(kPageSize);
        slider.setTickInterval(1);
        m_edits[row].setGeometry(kFieldX, r.y, kFieldWidth, kRowHeight);
        m_nFieldValue[row] = m_nCurrent[row];
        m_nSliderPos[row] = m_nFieldValue[row];

        ui::CVtxButton& icon = m_btnIcons[row];
        icon.Create(QRect(kIconX, r.y, kIconSize, kIconSize), this, r.iconId);
        const QString name = QString::fromStdString(ui::LoadString(r.iconId));
        icon.setToolTip(name);
        icon.setText(name.left(1));
        icon.LoadButtonBitmap(r.icon, ui::kVtxSingle);
    }
    return UpdateData(false);
}

bool CVideoAdjustDlg::UpdateData(bool save) {
    for (int row = 0; row < kRows; ++row) {
        if (save) {
            m_nSliderPos[row] = m_sliders[row].value();
            m_nFieldValue[row] =
                PictureFieldValue(m_edits[row].text().toStdString(), m_nFieldValue[row]);
        } else {
            // The slider's signal would write the field back from a half-updated state.
            const QSignalBlocker quiet(m_sliders[row]);
            m_sliders[row].setValue(m_nSliderPos[row]);
            m_edits[row].setText(QString::number(m_nFieldValue[row]));
        }
    }
    return true;
}

void CVideoAdjustDlg::OnOK() {
    if (m_command.Busy()) {
        return;
    }
    UpdateData(true);
    auto& block = g_lpApp->m_SysCfg.IMG;
    for (int row = 0; row < kRows; ++row) {
        m_nCurrent[row] = m_nFieldValue[row];
        block[kFirstImgByte + row] = static_cast<std::uint8_t>(m_nFieldValue[row]);
    }
    m_command.Start<bool>(
        [bytes = block] {
            return SetConfigSection(CFG_IMG, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                    0) != 0;
        },
        [](bool sent) {
            if (!sent) {
                ui::ShowMessage("Set the system config is failed\n");
            }
        });
}

void CVideoAdjustDlg::reject() {
    m_command.Cancel();
    QDialog::reject();
}

void CVideoAdjustDlg::OnDefault() {
    m_nSliderPos.fill(kDefaultValue);
    m_nFieldValue.fill(kDefaultValue);
    UpdateData(false);
}

void CVideoAdjustDlg::OnSliderMoved(int row, int position) {
    const int value = std::clamp(position, 0, kMaxValue);
    m_nSliderPos[row] = value;
    m_nFieldValue[row] = value;
    UpdateData(false);
}

void CVideoAdjustDlg::OnFieldChanged(int row) {
    const int value = PictureFieldValue(m_edits[row].text().toStdString(), m_nFieldValue[row]);
    m_nFieldValue[row] = value;
    m_nSliderPos[row] = value;
    UpdateData(false);
}

void CVideoAdjustDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (std::size_t i = 0; i < std::size(kSkin); ++i) {
        if (!m_hSkin[i].isNull()) {
            painter.drawImage(kSkin[i].rect, m_hSkin[i]);
        }
    }
    painter.setPen(kBackground);
    painter.setBrush(kBackground);
    painter.drawPolygon(
        QPolygon({QPoint(10, 32), QPoint(294, 32), QPoint(294, 223), QPoint(10, 223)}));
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int ascent = painter.fontMetrics().ascent();
    for (const Row& r : kRowTable) {
        painter.drawText(QPoint(kMinusX, r.y + ascent), "-");
        painter.drawText(QPoint(kPlusX, r.y + ascent), "+");
    }
}

void CVideoAdjustDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
    }
    QDialog::mousePressEvent(event);
}
