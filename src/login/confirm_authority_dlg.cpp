#include "login/confirm_authority_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

CConfirmAuthorityDlg::CConfirmAuthorityDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Confirm Authority");
    m_editUserName = new QLineEdit(this);
    m_editUserName->setMaxLength(kMaxTextLength);
    m_editPassword = new QLineEdit(this);
    m_editPassword->setMaxLength(kMaxTextLength);
    m_editPassword->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("CANCEL", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CConfirmAuthorityDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CConfirmAuthorityDlg::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow("User name :", m_editUserName);
    layout->addRow("Password :", m_editPassword);
    layout->addRow(buttons);
}

void CConfirmAuthorityDlg::accept() {
    m_strUserName = m_editUserName->text().toStdString();
    m_strPassword = m_editPassword->text().toStdString();
    QDialog::accept();
}
