#include "widgets/vtx_button.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

#include "widgets/skin_image.h"

namespace ui {
namespace {

// The keys that press a focused button: Space, and Enter on either part of the keyboard.
bool PressesButton(const QKeyEvent& event) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    return event.key() == Qt::Key_Space || event.key() == Qt::Key_Return ||
           event.key() == Qt::Key_Enter;
}

}  // namespace

CVtxButton::CVtxButton(QWidget* parent) : QAbstractButton(parent) {
    // Hover is followed from plain mouse moves, not only while a mouse button is held.
    setMouseTracking(true);
}

void CVtxButton::Create(const QRect& rect, QWidget* parent, int controlId) {
    setParent(parent);
    setGeometry(rect);
    m_nControlId = controlId;
    show();
}

QImage CVtxButton::LoadImage(std::string_view file) {
    return m_imageCache ? m_imageCache->Load(file) : LoadSkinImage(file);
}

bool CVtxButton::LoadButtonBitmap(std::string_view file, std::uint16_t style) {
    m_phImages.assign(1, QImage());
    m_phImages[0] = LoadImage(file);
    if (m_phImages[0].isNull()) {
        return false;
    }
    m_wStyle = style;
    m_wImageCount = 0;
    update();
    return true;
}

bool CVtxButton::LoadButtonBitmap(std::uint16_t count, const std::string_view* files,
                                  std::uint16_t style) {
    m_phImages.assign(count, QImage());
    m_phHoverImages.assign(count, QImage());
    m_wImageCount = count;
    for (std::uint16_t i = 0; i < count; ++i) {
        m_phImages[i] = LoadImage(files[2 * i]);
        if (m_phImages[i].isNull()) {
            return false;
        }
        m_phHoverImages[i] = LoadImage(files[2 * i + 1]);
        if (m_phHoverImages[i].isNull()) {
            return false;
        }
    }
    m_wStyle = style;
    update();
    return true;
}

bool CVtxButton::LoadButtonBitmap(std::string_view flat, std::string_view focus,
                                  std::string_view selected, std::uint16_t style) {
    m_hFlatBitmap = QImage();
    m_hFocusBitmap = QImage();
    m_hSelectedBitmap = QImage();
    const std::pair<QImage*, std::string_view> loads[] = {
        {&m_hFlatBitmap, flat}, {&m_hFocusBitmap, focus}, {&m_hSelectedBitmap, selected}};
    for (const auto& [target, file] : loads) {
        *target = LoadImage(file);
        if (target->isNull()) {
            return false;
        }
    }
    m_wStyle = style;
    update();
    return true;
}

int CVtxButton::SetImageIndex(int index) {
    if (index == -1) {
        return m_wImageIndex == 0 ? m_wImageCount - 1 : m_wImageIndex - 1;
    }
    if (index >= 0 && index < m_wImageCount) {
        m_wImageIndex = static_cast<std::uint16_t>(index);
    }
    if (m_wImageCount == 0) {
        return -1;
    }
    Draw(Face::Image);
    return 1;
}

QImage CVtxButton::FaceImage(Face face, int index) const {
    const auto entry = [index](const std::vector<QImage>& list) {
        return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[index] : QImage();
    };
    switch (face) {
        case Face::Flat:
            return m_hFlatBitmap;
        case Face::Focus:
            return m_hFocusBitmap;
        case Face::Selected:
            return m_hSelectedBitmap;
        case Face::Image:
            return entry(m_phImages);
        case Face::HoverImage:
            return entry(m_phHoverImages);
    }
    return {};
}

CVtxButton::Face CVtxButton::ShownFace() const {
    // A repaint shows the state-chosen face, except that the picture of the pointer being over
    // the button stays until it leaves.
    return m_fTracking ? m_lastDrawn : DrawItemFace();
}

QImage CVtxButton::ShownImage() const {
    const Face face = ShownFace();
    QImage image;
    switch (face) {
        case Face::Image:
            image = ListEntry(m_phImages);
            break;
        case Face::HoverImage:
            image = ListEntry(m_phHoverImages);
            break;
        default:
            image = FaceImage(face);
            break;
    }
    if (image.isNull() && HasStyle(kVtxSingle) && !m_phImages.empty()) {
        return m_phImages[0];
    }
    return image;
}

QImage CVtxButton::ListEntry(const std::vector<QImage>& list) const {
    // After a reload with fewer images the index may lie past the list.
    if (list.empty()) {
        return {};
    }
    return list[std::min<std::size_t>(m_wImageIndex, list.size() - 1)];
}

CVtxButton::Face CVtxButton::DrawItemFace() const {
    const Face byRelease = m_fReleased ? Face::Flat : Face::Selected;
    if (HasStyle(kVtxThreeByNumber)) {
        return m_wImageIndex == 2 ? Face::Focus : m_wImageIndex == 3 ? Face::Selected : Face::Flat;
    }
    if (HasStyle(kVtxPush | kVtxPushHover)) {
        return byRelease;
    }
    if (HasStyle(kVtxThreeByClick)) {
        return m_wImageIndex == 1 ? Face::Focus : m_wImageIndex == 2 ? Face::Selected : Face::Flat;
    }
    if (HasStyle(kVtxListByClick | kVtxListByProgram)) {
        return Face::Image;
    }
    return byRelease;
}

bool CVtxButton::TracksHover() const {
    return HasStyle(kVtxHover | kVtxListByClick | kVtxPushHover | kVtxListByProgram);
}

void CVtxButton::Draw(Face face) {
    m_lastDrawn = face;
    update();
}

void CVtxButton::paintEvent(QPaintEvent*) {
    // An empty bitmap draws nothing; an image is drawn 1:1 from the corner, as a bitmap copy of
    // the button's size would be.
    QPainter painter(this);
    const QImage image = ShownImage();
    if (!image.isNull()) {
        painter.drawImage(QPoint(0, 0), image, QRect(QPoint(0, 0), size()));
    } else if (!text().isEmpty()) {
        // Without its bitmaps a button that has a text still shows itself as a plain push
        // button, so a window whose skin files are missing keeps usable buttons.
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = text();
        if (IsHeldDown()) {
            option.state |= QStyle::State_Sunken;
        }
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        return;
    }
    // The skin has no focused face, so a button reached with the keyboard is ringed: a light
    // line outside a dark one shows on any bitmap. A click does not ring it.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void CVtxButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    OnMouseMove(event->position().toPoint());
}

void CVtxButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    OnMouseMove(event->position().toPoint());
}

void CVtxButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    OnMouseLeave();
}

void CVtxButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown();
    }
    QAbstractButton::mousePressEvent(event);
}

void CVtxButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp();
    }
    QAbstractButton::mouseReleaseEvent(event);
}

// The key goes down and up as the mouse button would, and the click comes on its release. The
// window never sees the key: Enter on a button is that button's, not the window's.
void CVtxButton::keyPressEvent(QKeyEvent* event) {
    if (!PressesButton(*event)) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat() && !isDown()) {
        OnLButtonDown();
        setDown(true);
    }
}

void CVtxButton::keyReleaseEvent(QKeyEvent* event) {
    if (!PressesButton(*event)) {
        QAbstractButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat() && isDown()) {
        setDown(false);
        OnLButtonUp();
        click();
    }
}

void CVtxButton::focusOutEvent(QFocusEvent* event) {
    // A key held on the button when the focus moves on lets it go without a click.
    if (isDown()) {
        OnLButtonUp();
    }
    QAbstractButton::focusOutEvent(event);
}

void CVtxButton::OnMouseMove(QPoint point) {
    if (m_fTracking || !TracksHover() || !rect().contains(point)) {
        return;
    }
    m_fTracking = true;
    Draw(HasStyle(kVtxListByClick | kVtxListByProgram) ? Face::HoverImage : Face::Focus);
}

void CVtxButton::OnMouseLeave() {
    if (!m_fTracking || !TracksHover()) {
        return;
    }
    m_fTracking = false;
    Draw(HasStyle(kVtxListByClick | kVtxListByProgram) ? Face::Image : Face::Flat);
}

void CVtxButton::OnLButtonDown() {
    if (HasStyle(kVtxPush | kVtxPushHover)) {
        if (m_fReleased) {
            TogglePressed();
        }
    } else if (HasStyle(kVtxThreeByClick)) {
        m_wImageIndex = static_cast<std::uint16_t>((m_wImageIndex + 1) % 3);
        Draw(DrawItemFace());
    } else if (HasStyle(kVtxListByClick)) {
        // Without images there is nothing to step through.
        if (m_wImageCount == 0) {
            return;
        }
        m_wImageIndex = static_cast<std::uint16_t>((m_wImageIndex + 1) % m_wImageCount);
        Draw(Face::Image);
    }
}

void CVtxButton::OnLButtonUp() {
    if (HasStyle(kVtxPush | kVtxPushHover) && !m_fReleased) {
        TogglePressed();
    }
}

void CVtxButton::TogglePressed() {
    m_fReleased = !m_fReleased;
    Draw(m_fReleased ? Face::Flat : Face::Selected);
}

}  // namespace ui
