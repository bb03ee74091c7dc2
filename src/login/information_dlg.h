#pragma once

// The application information box: the maker's logo over the login background, the version text
// and a bitmap OK button, dragged by its body.

#include <QDialog>
#include <QImage>
#include <string>

namespace ui {
class CVtxButton;
}

class CApplicationInfoDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 238;

    explicit CApplicationInfoDialog(QWidget* parent = nullptr);

    // Runs the box when its bitmaps load; -1 otherwise.
    int DoModal();
    // False, with no version text set, when the background or the logo is missing.
    bool OnInitDialog();

    QImage m_hBackgroundBitmap;
    QImage m_hLogoBitmap;
    std::string m_strVersion;
    ui::CVtxButton* m_OKButton;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
