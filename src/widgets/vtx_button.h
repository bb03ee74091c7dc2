#pragma once

// The skinned push button of every window: it draws itself from bitmap files, never in the
// system look. It holds three bitmaps (flat, focus, selected), or an image list with a hover image
// per entry, or one single image, and a style word that says how hover, clicks and the image
// index change what it shows. Clicks reach the owner as the ordinary clicked() signal; Space or
// Enter on the focused button press it as the left mouse button does.

#include <QAbstractButton>
#include <QImage>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ui {

class SkinImageCache;

// Style bits of CVtxButton.
inline constexpr std::uint16_t kVtxHover = 0x01;          // focus bitmap while hovered
inline constexpr std::uint16_t kVtxPush = 0x02;           // selected bitmap while held down
inline constexpr std::uint16_t kVtxThreeByNumber = 0x04;  // index 1 flat, 2 focus, 3 selected
inline constexpr std::uint16_t kVtxThreeByClick = 0x08;   // clicks step flat, focus, selected
inline constexpr std::uint16_t kVtxListByClick = 0x10;    // each click shows the next image
inline constexpr std::uint16_t kVtxPushHover = 0x20;      // push and hover together
inline constexpr std::uint16_t kVtxListByProgram = 0x40;  // the program picks the image
inline constexpr std::uint16_t kVtxSingle = 0x80;         // one image for every state

class CVtxButton : public QAbstractButton {
    Q_OBJECT

public:
    // What the button shows: one of the three bitmaps, or an entry of the image list or of the
    // hover list.
    enum class Face { Flat, Focus, Selected, Image, HoverImage };

    explicit CVtxButton(QWidget* parent = nullptr);

    // Makes the button a shown child of `parent` at `rect` with that control id.
    void Create(const QRect& rect, QWidget* parent, int controlId);
    int GetDlgCtrlID() const { return m_nControlId; }
    // The bitmaps are taken from `cache` (its window's, which outlives the button) from now on,
    // instead of being read for this button alone.
    void SetImageCache(SkinImageCache* cache) { m_imageCache = cache; }

    // Single image for every state. On failure the style is kept.
    bool LoadButtonBitmap(std::string_view file, std::uint16_t style);
    // `count` pairs (image, hover image) from `files` (2 x count names). The first file that
    // fails ends the load; what was not loaded stays empty and the style is kept.
    bool LoadButtonBitmap(std::uint16_t count, const std::string_view* files, std::uint16_t style);
    // Flat, focus and selected bitmaps. The first file that fails ends the load.
    bool LoadButtonBitmap(std::string_view flat, std::string_view focus, std::string_view selected,
                          std::uint16_t style);

    // -1 asks for the previous index (wrapping) and changes nothing. Any other index within the
    // list becomes current (others keep the current one) and the current image is shown: 1; with
    // no image list: -1.
    int SetImageIndex(int index);

    std::uint16_t GetStyle() const { return m_wStyle; }
    int GetImageIndex() const { return m_wImageIndex; }
    int GetImageCount() const { return m_wImageCount; }
    bool IsHeldDown() const { return !m_fReleased; }
    bool IsHovered() const { return m_fTracking; }

    // A loaded bitmap (index for the two lists); null when not loaded.
    QImage FaceImage(Face face, int index = 0) const;
    // What the button shows now.
    Face ShownFace() const;
    QImage ShownImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void OnMouseMove(QPoint point);
    void OnMouseLeave();
    void OnLButtonDown();
    void OnLButtonUp();
    void TogglePressed();
    void Draw(Face face);
    // The face chosen from the button's state alone, as a full repaint shows it.
    Face DrawItemFace() const;
    bool HasStyle(std::uint16_t bits) const { return (m_wStyle & bits) != 0; }
    bool TracksHover() const;
    // The entry of a list that the index names, kept inside the list.
    QImage ListEntry(const std::vector<QImage>& list) const;
    QImage LoadImage(std::string_view file);

    int m_nControlId = 0;
    SkinImageCache* m_imageCache = nullptr;
    QImage m_hFlatBitmap;
    QImage m_hFocusBitmap;
    QImage m_hSelectedBitmap;
    bool m_fTracking = false;
    std::uint16_t m_wStyle = 0;
    bool m_fReleased = true;
    std::uint16_t m_wImageIndex = 0;
    std::uint16_t m_wImageCount = 0;
    std::vector<QImage> m_phImages;
    std::vector<QImage> m_phHoverImages;
    // What the last state change drew; it stays on screen while the pointer is over the button.
    Face m_lastDrawn = Face::Flat;
};

}  // namespace ui
