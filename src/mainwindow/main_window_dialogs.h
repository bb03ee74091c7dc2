#pragma once

// The small modal dialogs of the main window: the About box, the choice of the PTZ peripheral the
// keys go to, and the picture adjustment of the device (the IMG section).

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <array>
#include <cstdint>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CSelectPTZDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    // The ESC button: back to the master device.
    static constexpr int kIdBackToMaster = 20;

    explicit CSelectPTZDlg(QWidget* parent = nullptr);

    // 1 (OK: m_nPtzNumber holds what was typed, unchecked), 2 (cancel) or 20 (back to the master).
    int DoModal();

    int m_nPtzNumber = 0;
    QLineEdit m_editNumber;
    QPushButton m_btnOk;
    QPushButton m_btnCancel;
    QPushButton m_btnEsc;
};

class CVideoAdjustDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVideoAdjustDlg(QWidget* parent = nullptr);

    // Starts the sliders at the four values and runs the dialog; OK sends the IMG section with the
    // new values.
    int DoModal();

    int m_nBrightness = 0;
    int m_nContrast = 0;
    int m_nSaturation = 0;
    int m_nHue = 0;
    // Brightness, contrast, saturation, hue.
    std::array<QSlider, 4> m_sliders;

private:
    void OnOK();
};
