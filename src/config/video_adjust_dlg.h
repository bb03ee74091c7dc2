#pragma once

// The picture adjustment of the device: brightness, contrast, hue and saturation, each with a
// slider and a number field, sent as the IMG section. OK sends and leaves the dialog open, so the
// user can try values on the live picture; Cancel and the close button leave without sending (and
// end a send still under way). The send runs off the window's thread.
// The dialog has no caption bar: it draws its frame from skin bitmaps and is dragged by its body.

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QSlider>
#include <array>
#include <cstdint>
#include <string>

#include "config/dialog_command.h"
#include "widgets/vtx_button.h"

// A number field's text as a value: its digits read as decimal and limited to 0..255; a text
// without digits keeps the old value.
int PictureFieldValue(const std::string& text, int oldValue);

class CVideoAdjustDlg : public QDialog {
    Q_OBJECT

public:
    // Rows in order: brightness, contrast, hue, saturation (IMG bytes 7 to 10).
    static constexpr int kRows = 4;
    static constexpr int kFirstImgByte = 7;
    static constexpr int kIdDefault = 1306;
    static constexpr int kIdClose = 8300;
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 236;

    explicit CVideoAdjustDlg(QWidget* parent = nullptr);

    // Initialises and runs the dialog; the opener sets m_nCurrent first.
    int DoModal();
    bool OnInitDialog();
    // Members into the controls, or (save) the controls into the members.
    bool UpdateData(bool save);

    void OnOK();
    void OnDefault();
    void reject() override;
    // From OK until the device has answered the send.
    bool IsWaitingForDevice() const { return m_command.Busy(); }
    void OnSliderMoved(int row, int position);
    void OnFieldChanged(int row);

    ui::CVtxButton m_btnOK;
    ui::CVtxButton m_btnCancel;
    ui::CVtxButton m_btnDefault;
    ui::CVtxButton m_btnClose;
    std::array<QSlider, kRows> m_sliders;
    std::array<QLineEdit, kRows> m_edits;
    std::array<ui::CVtxButton, kRows> m_btnIcons;

    std::array<int, kRows> m_nSliderPos{};
    std::array<int, kRows> m_nFieldValue{};
    // The values the device holds: set by the opener, replaced by OK.
    std::array<int, kRows> m_nCurrent{};

    // The frame pieces; one that failed to load is not drawn.
    std::array<QImage, 9> m_hSkin;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Last, so that a send still running ends before the controls go.
    DialogCommand m_command;
};
