#pragma once

// "Copy Program": copies the client with everything it needs (program, player, settings, alarm
// database, alarm sound and every skin bitmap) from the program folder to a folder the user chose,
// and points the copy's settings at its new folder.

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

// The files of a program folder that a copy takes along, relative and written with backslashes,
// in copy order: the program's own files, then every skin bitmap.
const std::vector<std::string>& CopyProgramFiles();

class CCopyProgramDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCopyTimerMs = 500;

    CCopyProgramDlg(QWidget* parent, std::string sourcePath, std::string targetPath);

    int DoModal();
    // Resets the progress, disables OK and starts the copy on a one-shot timer.
    bool OnInitDialog();
    // The whole copy, on the dialog's thread.
    void CopyProgramThread();

    // Files that existed in the program folder but could not be copied, and failed folders or
    // settings, counted by the last copy.
    int m_nFailures = 0;

    std::string m_strSourcePath;
    std::string m_strTargetPath;
    QProgressBar* m_Progress;
    QLabel* m_strPercent;
    QPushButton* m_btnOK;

private:
    void ShowPercent(int percent);
};
