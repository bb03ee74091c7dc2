#pragma once

// Nothing in the program opens this dialog.

#include <QDialog>
#include <cstdint>

class QLineEdit;

// "MPEG4 Stream Setting": four numbers of the device's stream, each refused outside its range.
class CMpeg4StreamDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMpeg4StreamDlg(QWidget* parent = nullptr);

    int DoModal() { return exec(); }
    // Takes the edits when each is a number within its range; otherwise a message names the
    // range and the dialog stays open.
    void accept() override;

    std::uint32_t m_dwTargetBitRate = 0;  // kbps, 50 .. 2000
    std::uint32_t m_dwGOP = 0;            // 1 .. 65535
    std::uint32_t m_dwImageWidth = 0;     // 1 .. 720
    std::uint32_t m_dwImageHeight = 0;    // 1 .. 576

    QLineEdit* m_editTargetBitRate;
    QLineEdit* m_editGOP;
    QLineEdit* m_editImageWidth;
    QLineEdit* m_editImageHeight;
};
