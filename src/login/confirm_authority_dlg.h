#pragma once

// "Confirm Authority": asks for the device's user name and password before the LAN search changes
// a device's network settings or resets it. It only collects the two texts.

#include <QDialog>
#include <string>

class QLineEdit;

class CConfirmAuthorityDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 15;

    explicit CConfirmAuthorityDlg(QWidget* parent = nullptr);

    int DoModal() { return exec(); }
    // OK: the edits into the members, then the dialog ends with Accepted.
    void accept() override;

    std::string m_strPassword;
    std::string m_strUserName;

    QLineEdit* m_editUserName;
    QLineEdit* m_editPassword;
};
