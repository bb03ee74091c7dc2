#include "login/copy_program_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "kernel/settings_ini.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "ui/message_sink.h"
#include "widgets/skin_files.h"

namespace fs = std::filesystem;

namespace {

// The program's own files beside the executable; the skin bitmaps follow from the skin table.
constexpr const char* kProgramFiles[] = {
    "AlarmData.dat", "alarm.wav", "CtrlFile.ini", "torvel", "VideoPlayer", "Setting.ini",
};

constexpr const char* kSkinFolders[] = {"BMP", "BMP\\LOGIN"};

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

const std::vector<std::string>& CopyProgramFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> list(std::begin(kProgramFiles), std::end(kProgramFiles));
        for (const ui::SkinFile& skin : ui::SkinFiles()) {
            list.push_back(skin.name);
        }
        return list;
    }();
    return files;
}

CCopyProgramDlg::CCopyProgramDlg(QWidget* parent, std::string sourcePath, std::string targetPath)
    : QDialog(parent),
      m_strSourcePath(std::move(sourcePath)),
      m_strTargetPath(std::move(targetPath)) {
    setWindowTitle("Copy Program");
    m_Progress = new QProgressBar(this);
    m_Progress->setRange(0, 100);
    m_Progress->setTextVisible(false);
    m_strPercent = new QLabel(this);
    m_btnOK = new QPushButton("OK", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Progress);
    layout->addWidget(m_strPercent);
    layout->addWidget(m_btnOK);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

int CCopyProgramDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CCopyProgramDlg::OnInitDialog() {
    ShowPercent(0);
    m_btnOK->setEnabled(false);
    QTimer::singleShot(kCopyTimerMs, this, &CCopyProgramDlg::CopyProgramThread);
    return true;
}

void CCopyProgramDlg::ShowPercent(int percent) {
    char text[8];
    std::snprintf(text, sizeof text, "%3d%%", percent);
    m_strPercent->setText(text);
    m_Progress->setValue(percent);
}

void CCopyProgramDlg::CopyProgramThread() {
    m_nFailures = 0;
    m_strSourcePath = platform::WithTrailingSeparator(m_strSourcePath);
    m_strTargetPath = platform::WithTrailingSeparator(m_strTargetPath);
    const fs::path source = m_strSourcePath;
    const fs::path target = m_strTargetPath;
    // Copying a folder onto itself would truncate the running program's files.
    if (SameFolder(source, target)) {
        ui::ShowMessage("The program can't be copied into its own folder " + m_strTargetPath);
        m_btnOK->setEnabled(true);
        return;
    }
    for (const char* folder : kSkinFolders) {
        std::error_code ec;
        fs::create_directories(target / platform::FromBackslashPath(folder), ec);
        m_nFailures += ec ? 1 : 0;
    }
    const std::vector<std::string>& files = CopyProgramFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path from = platform::ResolvePath(source, files[i]);
        std::error_code ec;
        if (fs::is_regular_file(from, ec)) {
            fs::copy_file(from, target / platform::FromBackslashPath(files[i]),
                          fs::copy_options::overwrite_existing, ec);
            m_nFailures += ec ? 1 : 0;
        }
        ShowPercent(static_cast<int>((i + 1) * 100 / files.size()));
    }
    const CSettingINI names;
    const bool settingsWritten = platform::WriteProfileStrings(
        target / "Setting.ini", names.Key(SettingKey::Quarnel),
        {{names.Key(SettingKey::RecordPath), m_strTargetPath},
         {names.Key(SettingKey::SnapshotPath), m_strTargetPath},
         {names.Key(SettingKey::TriggerWavPath), m_strTargetPath + "alarm.wav"}});
    m_nFailures += settingsWritten ? 0 : 1;
    if (m_nFailures > 0) {
        ui::ShowMessage("The program copy in " + m_strTargetPath + " is incomplete: " +
                        std::to_string(m_nFailures) + " file(s) or folder(s) could not be written");
    }
    m_btnOK->setEnabled(true);
}
