#include "mainwindow/main_window_dialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "kernel/kernel_object.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Torvel Version 1.0", this));
    layout->addWidget(
        new QLabel(QString::fromStdString("Client " + g_lpApp->m_strAppVersion), this));
    auto* ok = new QPushButton("OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok);
}
