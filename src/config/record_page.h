#pragma once

// "File Path": the client's own folders for record files and snapshots and, for devices of type
// 19, the alarm sound file. The page sends nothing to the device: the main window presets the
// three texts from the settings and takes them back when the sheet ends with APPLY.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>

#include "config/config_page.h"
#include "config/file_open_dialog.h"

class RecordPage : public CConfigPage {
    Q_OBJECT

public:
    explicit RecordPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    void OnButtonRecordPath();
    void OnButtonSnapshotPath();
    void OnButtonAlarmWav();

    std::string m_strRecordPath;
    std::string m_strSnapshotPath;
    std::string m_strAlarmWavPath;

    QLineEdit m_ctlRecordPath;
    QLineEdit m_ctlSnapshotPath;
    QLineEdit m_ctlAlarmWavPath;  // read-only: only the file chooser sets it
    QPushButton m_btnRecordPath;
    QPushButton m_btnSnapshotPath;
    QPushButton m_btnAlarmWav;
    QLabel m_lblAlarmWav;

    // The folder browser started at a folder: the chosen folder after OK. Tests answer in its
    // place.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& start)> m_getPath;
    FileOpenChooser m_chooseFile = ChooseFileToOpen;

protected:
    void OnInitDialog() override;

private:
    void ChooseFolder(std::string& member);
};
