#include "login/copy_program_dlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <utility>

#include "kernel/settings_ini.h"
#include "platform/file_gate.h"
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
constexpr const char* kSettingsFile = "Setting.ini";
constexpr mode_t kNewFileMode = 0644;

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool IsLink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

// An open folder of the copy's target.
class Folder {
public:
    Folder() = default;
    explicit Folder(int fd) : m_fd(fd) {}
    ~Folder() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Folder(Folder&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Folder& operator=(Folder&&) = delete;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int Get() const { return m_fd; }

private:
    int m_fd = -1;
};

// The folder `name` inside `parent` as a folder of its own: a link in its place is replaced by
// a new folder, so nothing is ever written into a folder that a link leads to.
Folder OwnFolder(int parent, const std::string& name) {
    struct stat there {};
    if (::fstatat(parent, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(there.st_mode)) {
        ::unlinkat(parent, name.c_str(), 0);
    }
    ::mkdirat(parent, name.c_str(), 0777);
    return Folder(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// Writes a new file beside `name` in `folder` and puts it in place (platform/file_gate): what
// had that name is replaced, a link is followed only by the gate's rule, and nothing but a regular
// file is ever replaced or written through.
bool PlaceFile(int folder, const std::string& name, mode_t mode,
               const std::function<bool(int)>& write) {
    platform::NewFile file(folder, name, ".tmp", mode);
    return file.Status() && write(file.Fd()) && file.Place();
}

bool CopyBytes(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (!platform::WriteAll(to, {buffer, static_cast<std::size_t>(n)})) {
            return false;
        }
    }
}

bool CopyInto(int folder, const std::string& name, const fs::path& from) {
    const platform::OpenedFile source = platform::OpenFileForReading(from);
    if (source.fd < 0) {
        return false;
    }
    struct stat info {};
    const bool copied = ::fstat(source.fd, &info) == 0 &&
                        PlaceFile(folder, name, info.st_mode & 0777,
                                  [&source](int to) { return CopyBytes(source.fd, to); });
    ::close(source.fd);
    return copied;
}

// Points the copy's settings at its folder, keeping every other line of the settings there.
bool WriteCopySettings(int folder, const fs::path& target, const std::string& targetPath) {
    const platform::FileSnapshot current =
        platform::ReadFile(target / kSettingsFile, platform::kProfileFileMax);
    // A settings file that cannot be read whole would lose every other key if rewritten.
    if (current.state == platform::FileSnapshot::State::Unreadable ||
        current.state == platform::FileSnapshot::State::TooLarge) {
        return false;
    }
    const CSettingINI names;
    const std::string content = platform::WithProfileStrings(
        current.bytes, names.Key(SettingKey::Quarnel),
        {{names.Key(SettingKey::RecordPath), targetPath},
         {names.Key(SettingKey::SnapshotPath), targetPath},
         {names.Key(SettingKey::TriggerWavPath), targetPath + "alarm.wav"}});
    return PlaceFile(folder, kSettingsFile, kNewFileMode,
                     [&content](int to) { return platform::WriteAll(to, content); });
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
    const std::vector<std::string>& files = CopyProgramFiles();
    // One question for everything the copy would replace: the listed files already in the
    // target (links among them) and links standing in for its skin folders.
    int existing = 0;
    for (const char* folder : kSkinFolders) {
        existing += IsLink(target / platform::FromBackslashPath(folder)) ? 1 : 0;
    }
    for (const std::string& file : files) {
        std::error_code ec;
        const bool copied =
            file == kSettingsFile || fs::is_regular_file(platform::ResolvePath(source, file), ec);
        existing += copied && Exists(target / platform::FromBackslashPath(file)) ? 1 : 0;
    }
    if (existing > 0 &&
        !ui::AskQuestion(m_strTargetPath + " already holds " + std::to_string(existing) +
                         " of the program's files. Replace them with this copy?")) {
        m_btnOK->setEnabled(true);
        return;
    }
    std::error_code notMade;  // a target that cannot be made fails at its first file
    fs::create_directories(target, notMade);
    std::map<fs::path, Folder> folders;
    folders.emplace(fs::path(), Folder(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    for (const char* name : kSkinFolders) {
        const fs::path folder = platform::FromBackslashPath(name);
        const Folder& parent = folders.at(folder.parent_path());
        Folder own = parent.Get() >= 0 ? OwnFolder(parent.Get(), folder.filename()) : Folder();
        m_nFailures += own.Get() < 0 ? 1 : 0;
        folders.emplace(folder, std::move(own));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path from = platform::ResolvePath(source, files[i]);
        const fs::path to = platform::FromBackslashPath(files[i]);
        std::error_code ec;
        if (fs::is_regular_file(from, ec)) {
            const auto folder = folders.find(to.parent_path());
            const bool copied = folder != folders.end() && folder->second.Get() >= 0 &&
                                CopyInto(folder->second.Get(), to.filename(), from);
            m_nFailures += copied ? 0 : 1;
        }
        ShowPercent(static_cast<int>((i + 1) * 100 / files.size()));
    }
    const int root = folders.at(fs::path()).Get();
    m_nFailures += root >= 0 && WriteCopySettings(root, target, m_strTargetPath) ? 0 : 1;
    if (m_nFailures > 0) {
        ui::ShowMessage("The program copy in " + m_strTargetPath + " is incomplete: " +
                        std::to_string(m_nFailures) + " file(s) or folder(s) could not be written");
    }
    m_btnOK->setEnabled(true);
}
