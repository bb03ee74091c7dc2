#include "login/mpeg4_stream_dlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <charconv>
#include <string>

#include "ui/message_sink.h"

CMpeg4StreamDlg::CMpeg4StreamDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("MPEG4 Stream Setting");
    m_editTargetBitRate = new QLineEdit(this);
    m_editGOP = new QLineEdit(this);
    m_editImageWidth = new QLineEdit(this);
    m_editImageHeight = new QLineEdit(this);
    auto* bitRate = new QHBoxLayout;
    bitRate->addWidget(m_editTargetBitRate);
    bitRate->addWidget(new QLabel("kbps", this));
    auto* ok = new QPushButton("OK", this);
    connect(ok, &QPushButton::clicked, this, &CMpeg4StreamDlg::accept);
    auto* layout = new QFormLayout(this);
    layout->addRow("Target Bit Rate :", bitRate);
    layout->addRow("GOP :", m_editGOP);
    layout->addRow("Image Width :", m_editImageWidth);
    layout->addRow("Image Height :", m_editImageHeight);
    layout->addRow(ok);
}

void CMpeg4StreamDlg::accept() {
    const struct {
        QLineEdit* edit;
        std::uint32_t* value;
        std::uint32_t low;
        std::uint32_t high;
    } fields[] = {
        {m_editTargetBitRate, &m_dwTargetBitRate, 50, 2000},
        {m_editGOP, &m_dwGOP, 1, 65535},
        {m_editImageWidth, &m_dwImageWidth, 1, 720},
        {m_editImageHeight, &m_dwImageHeight, 1, 576},
    };
    std::uint32_t values[std::size(fields)] = {};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const std::string text = fields[i].edit->text().trimmed().toStdString();
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), values[i]);
        if (error != std::errc() || end != text.data() + text.size() || values[i] < fields[i].low ||
            values[i] > fields[i].high) {
            ui::ShowMessage("Please enter an integer between " + std::to_string(fields[i].low) +
                            " and " + std::to_string(fields[i].high) + ".");
            fields[i].edit->setFocus();
            return;
        }
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        *fields[i].value = values[i];
    }
    QDialog::accept();
}
