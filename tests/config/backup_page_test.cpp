#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDateEdit>
#include <QTimeEdit>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "config/backup_download.h"
#include "config/download_file_page.h"
#include "config/download_progress_dlg.h"
#include "config_fixture.h"
#include "network_backup.h"
#include "platform/thread.h"
#include "test_support/pump.h"
#include "test_support/temp_folder.h"
#include "test_support/window_exits.h"
#include "ui/string_table.h"

namespace {

using device_emulator::BackupBreak;
using device_emulator::BackupSettings;
using test_support::ConfigFixture;
using test_support::PumpUntil;

constexpr std::uint64_t kMegabyte = 1024 * 1024;

config::DiskMap MapOf(std::initializer_list<int> bits) {
    config::DiskMap map{};
    for (const int bit : bits) {
        map[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return map;
}

std::vector<std::string> Labels(const std::vector<config::DiskRow>& rows) {
    std::vector<std::string> labels;
    for (const auto& row : rows) {
        labels.push_back(row.label);
    }
    return labels;
}

TEST(BackupDisks, RowsSkipPositionsTwoAndThreeAndMapBackToTheirBits) {
    struct Case {
        std::initializer_list<int> bits;
        std::uint8_t flag;
        std::vector<std::string> labels;
        std::vector<int> numbers;  // the disk number of each row
    };
    const Case cases[] = {
        {{0, 4}, 0, {"MASTER", "EXT-00"}, {0, 4}},
        {{1}, 0, {"SLAVE"}, {1}},
        {{1}, 7, {"DVD"}, {1}},
        {{0, 1, 2, 3, 5, 255}, 0, {"MASTER", "SLAVE", "EXT-01", "EXT-251"}, {0, 1, 5, 255}},
        {{2, 3}, 0, {}, {}},
    };
    for (const Case& c : cases) {
        const config::DiskMap map = MapOf(c.bits);
        EXPECT_EQ(Labels(config::DiskRows(map, c.flag)), c.labels);
        for (std::size_t row = 0; row < c.numbers.size(); ++row) {
            EXPECT_EQ(config::DiskNumberOfRow(map, static_cast<int>(row)), c.numbers[row]);
        }
        // No row chosen, or none there: the master disk.
        EXPECT_EQ(config::DiskNumberOfRow(map, -1), 0);
        EXPECT_EQ(config::DiskNumberOfRow(map, static_cast<int>(c.numbers.size())), 0);
    }
}

TEST(BackupFigures, SizeTypingAndPercentages) {
    EXPECT_EQ(config::TypedBackupSize("750"), 500);
    EXPECT_EQ(config::TypedBackupSize("500"), 500);
    EXPECT_EQ(config::TypedBackupSize("0042"), 42);
    EXPECT_EQ(config::TypedBackupSize("0"), 0);
    EXPECT_EQ(config::TypedBackupSize("123456789012345678901234567890"), 500);
    EXPECT_EQ(config::TypedBackupSize(""), std::nullopt);

    EXPECT_EQ(config::BackupPercent(0, 5), 0u);
    EXPECT_EQ(config::BackupPercent(2'621'440, 5), 50u);
    EXPECT_EQ(config::BackupPercent(5 * kMegabyte, 5), 100u);
    // The device may send more than asked; the figure says so instead of wrapping round.
    EXPECT_EQ(config::BackupPercent(13 * kMegabyte, 5), 260u);
}

class BackupTest : public ConfigFixture {
protected:
    BackupTest() {
        g_lpApp->CSettingINI.m_strProgramPath = program.Path().string() + "/";
        file = (folder.Path() / "camera 1.Q41").string();
    }

    void Backup(const std::function<void(BackupSettings&)>& change) {
        device.Update([&](device_emulator::Settings& s) { change(s.backup); });
    }

    static std::string FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The page's first showing, up to the device's answer to the disk query.
    void CreatePage() {
        page.CreatePage();
        ASSERT_TRUE(PumpUntil([this] { return !sheet.IsWaitingForDevice(); }));
    }

    // The page as the sheet shows it, with a download ready to start.
    void ShowPage() {
        CreatePage();
        page.m_pDatePicker->setDate(QDate(2026, 3, 7));
        page.m_pTimePicker->setTime(QTime(9, 5, 0));
    }

    // A progress window over the page's values, its worker started.
    std::unique_ptr<CDownloadProgressDlg> StartDownload(int megabytes = 5) {
        page.m_strFilePath = file;
        page.m_nBackupSize = megabytes;
        page.m_tmDate = QDate(2026, 12, 31);
        page.m_tmTime = QTime(23, 59, 58);
        auto dialog = std::make_unique<CDownloadProgressDlg>(nullptr, page);
        EXPECT_TRUE(dialog->OnInitDialog());
        dialog->show();
        return dialog;
    }

    // The one part file of the download beside the target; an empty path when there is none.
    std::filesystem::path Part() const {
        std::vector<std::filesystem::path> parts;
        const std::string stem = std::filesystem::path(file).filename().string() + ".";
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(stem) && name.ends_with(".part")) {
                parts.push_back(entry.path());
            }
        }
        EXPECT_LE(parts.size(), 1u);
        return parts.empty() ? std::filesystem::path() : parts.front();
    }

    static std::uintmax_t FileSize(const std::string& path) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        return ec ? 0 : size;
    }

    static bool Finished(CDownloadProgressDlg& dialog) {
        return PumpUntil([&] {
            return !dialog.m_strStatus.empty() &&
                   platform::ThreadExitCode(dialog.m_hDownloadThread).has_value();
        });
    }

    test_support::TempFolder program;
    test_support::TempFolder folder;
    std::string file;
    // The page lives in its sheet, which runs its disk query.
    MySystemDialog sheet{"System setting", nullptr, 0};
    DownloadFilePage& page = sheet.m_DownloadFilePage;
};

TEST_F(BackupTest, ThePageListsTheDisksTheDeviceReports) {
    Backup([](BackupSettings& b) {
        b.disk_map = MapOf({0, 1, 3, 4});
        b.disk_flag = 1;
    });
    g_lpApp->CSettingINI.m_strNetworkFilePath = "/backups/last.Q41";
    // A slow answer: the page shows at once and fills in when the device has answered.
    Faults("/GetDvrHDD.cgi", {.reply_delay = std::chrono::milliseconds(300)});
    page.CreatePage();
    EXPECT_TRUE(sheet.IsWaitingForDevice());
    EXPECT_EQ(page.m_cmbDisk.count(), 0);
    ASSERT_TRUE(PumpUntil([this] { return !sheet.IsWaitingForDevice(); }));
    ASSERT_EQ(page.m_cmbDisk.count(), 3);
    EXPECT_EQ(page.m_cmbDisk.itemText(0), "MASTER");
    EXPECT_EQ(page.m_cmbDisk.itemText(1), "DVD");
    EXPECT_EQ(page.m_cmbDisk.itemText(2), "EXT-00");
    EXPECT_EQ(page.m_cmbDisk.currentIndex(), 0);
    EXPECT_EQ(page.m_editPath.text(), "/backups/last.Q41");
    EXPECT_EQ(page.m_editSize.text(), "5");
    EXPECT_EQ(page.m_editChannel.text(), "1");
    EXPECT_EQ(page.m_pDatePicker->displayFormat(), "yyyy / MM / dd");
    EXPECT_EQ(page.m_pTimePicker->displayFormat(), "HH : mm : ss");
    ASSERT_EQ(device.Requests("/GetDvrHDD.cgi").size(), 1u);
}

TEST_F(BackupTest, WithoutAnEarlierFileThePathAsksForOne) {
    CreatePage();
    EXPECT_EQ(page.m_editPath.text().toStdString(), ui::LoadString(4103));
    page.m_btnStart.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4105)});
}

TEST_F(BackupTest, ADeviceThatDoesNotAnswerTheDiskQueryLeavesThePageEmpty) {
    Faults("/GetDvrHDD.cgi", {.status = 500});
    CreatePage();
    EXPECT_EQ(page.m_cmbDisk.count(), 0);
    EXPECT_EQ(page.m_editPath.text(), "");
    EXPECT_TRUE(messages.Texts().empty());
    // The empty path cannot be made.
    page.m_btnStart.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4105)});
    EXPECT_TRUE(device.Requests("/NetworkBk.cgi").empty());
}

TEST_F(BackupTest, StartRefusesWhatItCannotDownload) {
    struct Case {
        const char* size;
        std::string path;
        std::uint32_t message;
    };
    const Case cases[] = {
        {"0", file, 4104},
        {"", file, 4104},
        {"5", (folder.Path() / "no such folder" / "x.Q41").string(), 4105},
        {"5", folder.Path().string(), 4105},
    };
    CreatePage();
    for (const Case& c : cases) {
        page.m_editSize.setText(c.size);
        page.m_editPath.setText(QString::fromStdString(c.path));
        page.m_btnStart.click();
        EXPECT_EQ(messages.Texts().back(), ui::LoadString(c.message)) << c.size << " " << c.path;
    }
    EXPECT_EQ(messages.Texts().size(), std::size(cases));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(device.Requests("/NetworkBk.cgi").empty());
}

TEST_F(BackupTest, SizeTypingIsCutToFiveHundredAndKeepsTheOtherBoxes) {
    CreatePage();
    page.m_editChannel.setText("3");
    page.m_editSize.setText("");
    for (const char* keys : {"7", "5", "0"}) {
        page.m_editSize.insert(keys);
        emit page.m_editSize.textEdited(page.m_editSize.text());
    }
    EXPECT_EQ(page.m_editSize.text(), "500");
    EXPECT_EQ(page.m_nBackupSize, 500);
    EXPECT_EQ(page.m_editChannel.text(), "3");
}

TEST_F(BackupTest, TheFilePathButtonTakesTheChosenFile) {
    g_lpApp->CSettingINI.m_strNetworkFilePath = "/backups/last.Q41";
    CreatePage();
    std::string openedIn = "(not opened)";
    std::optional<std::string> choice;
    page.m_chooseFile = [&](QWidget*, const std::string& folder) {
        openedIn = folder;
        return choice;
    };
    page.m_btnFilePath.click();
    EXPECT_EQ(openedIn, "/backups");
    EXPECT_EQ(page.m_fPathChosen, 0u);
    EXPECT_EQ(page.m_editPath.text(), "/backups/last.Q41");

    choice = file;
    page.m_btnFilePath.click();
    EXPECT_EQ(page.m_fPathChosen, 1u);
    EXPECT_EQ(page.m_strFilePath, file);
    EXPECT_EQ(page.m_editPath.text().toStdString(), file);
}

// The whole road: the Start button, the request, every block into the file, the outcome.
TEST_F(BackupTest, AWholeDownloadLandsInTheFileByteForByte) {
    const std::uint64_t size = kMegabyte + 1234;
    Backup([&](BackupSettings& b) {
        b.disk_map = MapOf({0, 2, 4, 9});
        b.data_bytes = size;
        b.other_type = 7;  // blocks without payload between the data blocks
        b.piece_pause = std::chrono::milliseconds(1);  // headers and payloads arrive apart
    });
    ShowPage();
    page.m_cmbDisk.setCurrentIndex(2);  // EXT-05
    page.m_editSize.setText("2");
    page.m_editPath.setText(QString::fromStdString(file));
    std::ofstream(file) << "an older backup";

    std::string status;
    bool playShown = false;
    QString percent = "(unseen)";
    QString exitText;
    QTimer poll;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        CDownloadProgressDlg* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<CDownloadProgressDlg*>(widget); d && d->isVisible()) {
                dialog = d;
            }
        }
        if (dialog == nullptr) {
            return;
        }
        if (!dialog->m_strStatus.empty() || std::chrono::steady_clock::now() > deadline) {
            status = dialog->m_strStatus;
            playShown = !dialog->m_btnPlay.isHidden();
            percent = dialog->m_txtPercent.text();
            exitText = dialog->m_btnCancel.text();
            EXPECT_TRUE(dialog->m_Progress.isHidden());
            poll.stop();
            dialog->m_btnCancel.click();
        }
    });
    poll.start(5);
    page.m_btnStart.click();

    EXPECT_EQ(status, "Success");
    EXPECT_TRUE(playShown);
    EXPECT_EQ(percent, "");
    EXPECT_EQ(exitText, "Exit");
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_TRUE(FileBytes(file) == device_emulator::BackupData(size));
    EXPECT_EQ(FileBytes(file).size(), size);
    EXPECT_EQ(Part(), std::filesystem::path());
    EXPECT_EQ(g_lpApp->CSettingINI.m_strNetworkFilePath, file);

    const auto requests = device.Requests("/NetworkBk.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw,
              std::string("GET /NetworkBk.cgi?Cookie=&Year=2026&Month=3&Day=7&Hour=9&Minute=5&"
                          "Second=0&Num=9&CH=0&Size=2") +
                  test_support::kRequestHeaders + test_support::kRequestTail);
}

TEST_F(BackupTest, TheRequestCarriesTheSessionChannelAndDisk) {
    g_szSessionCookie.Set("S3SS10N");
    Backup([](BackupSettings& b) { b.data_bytes = 10; });
    page.m_bDiskNumber = 255;
    page.m_nChannel = 0;  // typed as 0: sent as -1, the device decides
    auto dialog = StartDownload(500);
    ASSERT_TRUE(Finished(*dialog));
    const auto requests = device.Requests("/NetworkBk.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query,
              "Cookie=S3SS10N&Year=2026&Month=12&Day=31&Hour=23&Minute=59&Second=58&Num=255&"
              "CH=-1&Size=500");
}

TEST_F(BackupTest, ADeviceWithoutRecordDataSaysSo) {
    Backup([](BackupSettings& b) { b.data_bytes = 0; });
    auto dialog = StartDownload();
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4107));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4107)});
    EXPECT_TRUE(dialog->m_btnPlay.isHidden());
    EXPECT_EQ(dialog->m_btnCancel.text(), "Exit");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(Part(), std::filesystem::path());
}

// A reply that breaks off or loses its framing mid-download: the blocks that arrived whole stay
// in the file, the user is told, and the worker ends by itself.
TEST_F(BackupTest, ABrokenReplyEndsWithAFailureAndKeepsTheWholeBlocks) {
    struct Case {
        const char* name;
        BackupBreak kind;
        bool sendEnd;
    };
    const Case cases[] = {
        {"closed before a header", BackupBreak::CloseBeforeHeader, true},
        {"closed inside a header", BackupBreak::CloseInHeader, true},
        {"short block", BackupBreak::CloseInPayload, true},
        {"block longer than any the device sends", BackupBreak::OversizeLength, true},
        {"no end block", BackupBreak::None, false},
    };
    constexpr std::uint32_t kBlock = 2048;
    std::ofstream(file, std::ios::binary) << "the previous backup";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Backup([&](BackupSettings& b) {
            b.data_bytes = 5 * kBlock;
            b.break_kind = c.kind;
            b.break_block = 3;
            b.send_end = c.sendEnd;
            b.piece_pause = std::chrono::milliseconds(2);
        });
        auto dialog = StartDownload(1);
        ASSERT_TRUE(Finished(*dialog));
        EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4106));
        EXPECT_TRUE(dialog->m_btnPlay.isHidden());
        const std::uint64_t kept = c.kind == BackupBreak::None ? 5 * kBlock : 3 * kBlock;
        EXPECT_TRUE(FileBytes(Part()) == device_emulator::BackupData(kept));
        EXPECT_EQ(FileBytes(file), "the previous backup");
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(std::size(cases), ui::LoadString(4106)));
}

TEST_F(BackupTest, ProgressFollowsTheRequestedSize) {
    // Half of five megabytes, then the device goes away without its end block.
    Backup([](BackupSettings& b) {
        b.data_bytes = 2'621'440;
        b.send_end = false;
    });
    auto dialog = StartDownload(5);
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_txtPercent.text(), " 50%");
    EXPECT_EQ(std::filesystem::file_size(Part()), 2'621'440u);
}

// A full disk, as a file-size limit, while the device sends more than was asked: the download
// fails, the part file goes and the previous backup stays.
TEST_F(BackupTest, AFileThatStopsTakingDataIsNoSuccess) {
    Backup([](BackupSettings& b) { b.data_bytes = 3 * kMegabyte; });
    std::ofstream(file, std::ios::binary) << "the previous backup";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = kMegabyte + 3000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    auto dialog = StartDownload(1);
    const bool finished = Finished(*dialog);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(finished);
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4106));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4106)});
    EXPECT_TRUE(dialog->m_btnPlay.isHidden());
    EXPECT_EQ(FileBytes(file), "the previous backup");
    EXPECT_EQ(Part(), std::filesystem::path());
}

// Links planted beside the target under the names a part file could have: none is followed,
// truncated or replaced, whether the download breaks off or lands whole in a file of its own.
TEST_F(BackupTest, PlantedPartLinksAreNeverFollowed) {
    const std::filesystem::path victim = program.Path() / "someone else's file";
    std::ofstream(victim, std::ios::binary) << "not yours";
    const std::vector<std::string> planted = {file + ".part", file + ".0.part", file + ".tmp"};
    for (const std::string& link : planted) {
        std::filesystem::create_symlink(victim, link);
    }
    for (const bool broken : {true, false}) {
        Backup([&](BackupSettings& b) {
            b.data_bytes = 3 * 2048;
            b.break_kind = broken ? BackupBreak::CloseInPayload : BackupBreak::None;
            b.break_block = 2;
        });
        auto dialog = StartDownload();
        ASSERT_TRUE(Finished(*dialog));
        EXPECT_EQ(dialog->m_strStatus, broken ? ui::LoadString(4106) : "Success");
        EXPECT_EQ(FileBytes(victim.string()), "not yours");
        for (const std::string& link : planted) {
            EXPECT_EQ(std::filesystem::read_symlink(link), victim) << link;
        }
    }
    EXPECT_FALSE(std::filesystem::is_symlink(file));
    EXPECT_TRUE(FileBytes(file) == device_emulator::BackupData(3 * 2048));
}

// The finished backup is renamed over the target, which must then be an earlier backup: a pipe
// or a link that the link rule does not follow there is refused at the start with a clear
// message, and one that appears while the download runs ends it without replacing it.
TEST_F(BackupTest, OnlyARegularFileIsReplaced) {
    const std::filesystem::path fifo = folder.Path() / "pipe.Q41";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::filesystem::path> refused = {fifo};
    const std::filesystem::path link = folder.Path() / "link.Q41";
    if (::geteuid() == 0) {
        // Another user's link in a folder others can write to.
        std::filesystem::create_symlink(program.Path() / "elsewhere.Q41", link);
        ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(folder.Path().c_str(), 01777), 0);
        refused.push_back(link);
    }
    CreatePage();
    for (const std::filesystem::path& target : refused) {
        page.m_editPath.setText(QString::fromStdString(target.string()));
        page.m_btnStart.click();
        ASSERT_FALSE(messages.Texts().empty());
        EXPECT_EQ(messages.Texts().back(),
                  target.string() +
                      " is not a regular file. A backup can only replace an earlier backup file; "
                      "please choose another file name.");
    }
    EXPECT_EQ(messages.Texts().size(), refused.size());
    EXPECT_TRUE(device.Requests("/NetworkBk.cgi").empty());
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_FALSE(std::filesystem::exists(program.Path() / "elsewhere.Q41"));

    Backup([](BackupSettings& b) {
        b.data_bytes = 40 * 2048;
        b.piece_pause = std::chrono::milliseconds(5);
    });
    auto dialog = StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FileSize(Part().string()) >= 2048u; }));
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4105));
    EXPECT_TRUE(std::filesystem::is_fifo(file));
    EXPECT_TRUE(FileBytes(Part()) == device_emulator::BackupData(40 * 2048));
}

// Cancel, the window manager's close and Escape leave the download while it waits on a stalled
// device and after it failed.
TEST_F(BackupTest, EveryStateCanBeLeft) {
    using W = CDownloadProgressDlg;
    Backup([](BackupSettings& b) {
        b.data_bytes = 4 * 2048;
        b.break_kind = BackupBreak::Stall;
        b.break_block = 1;
    });
    page.m_strFilePath = file;
    page.m_nBackupSize = 5;
    const auto make = [this] { return std::make_unique<W>(nullptr, page); };
    std::size_t requests = 0;
    const std::vector<test_support::WindowExit<W>> ways = test_support::ButtonCloseEscape<W>(
        "Cancel", [](W& w) -> QAbstractButton* { return &w.m_btnCancel; });
    test_support::LeaveEveryWay<W>(
        make, &W::DoModal,
        {{"waiting on a stalled device",
          [this, &requests](W&) {
              ASSERT_TRUE(
                  PumpUntil([&] { return device.Requests("/NetworkBk.cgi").size() > requests; }));
              requests = device.Requests("/NetworkBk.cgi").size();
          },
          ways}});
    ASSERT_TRUE(device.SetListening(false));
    test_support::LeaveEveryWay<W>(
        make, &W::DoModal,
        {{"failed", [](W& w) { ASSERT_TRUE(PumpUntil([&w] { return !w.m_strStatus.empty(); })); },
          ways}});
}

TEST_F(BackupTest, ASilentDeviceTimesOut) {
    platform::SetClockSpeed(50);
    Backup([](BackupSettings& b) {
        b.data_bytes = 4 * 2048;
        b.break_kind = BackupBreak::Stall;
        b.break_block = 2;
    });
    auto dialog = StartDownload();
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4106));
    EXPECT_EQ(std::filesystem::file_size(Part()), 2 * 2048u);
}

TEST_F(BackupTest, AnUnreachableDeviceIsReported) {
    ASSERT_TRUE(device.SetListening(false));
    auto dialog = StartDownload();
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4065));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4065)});
}

// The session cookie is checked at the login; this request keeps its own guard all the same.
TEST_F(BackupTest, ACookieTheRequestCannotCarryIsNotSent) {
    g_szSessionCookie.Set("S3SS10N&Size=500");
    auto dialog = StartDownload();
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->m_strStatus, ui::LoadString(4065));
    EXPECT_TRUE(device.Requests("/NetworkBk.cgi").empty());
}

TEST_F(BackupTest, ClosingTheWindowStopsTheWorker) {
    Backup([](BackupSettings& b) {
        b.data_bytes = 6 * 2048;
        b.break_kind = BackupBreak::Stall;
        b.break_block = 3;
    });
    auto dialog = StartDownload();
    ASSERT_TRUE(PumpUntil([&] { return FileSize(Part().string()) == 3 * 2048u; }));
    dialog->m_btnCancel.click();
    EXPECT_FALSE(dialog->isVisible());
    // The worker is woken from its wait on the stalled device and ends with the window; one
    // that missed its stop would still be running.
    const std::size_t running = platform::RunningThreadCount();
    dialog.reset();
    EXPECT_LT(platform::RunningThreadCount(), running);
    PumpUntil([] { return false; }, 50);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_TRUE(FileBytes(Part()) == device_emulator::BackupData(3 * 2048));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(BackupTest, PlayOpensTheBackupInThePlayer) {
    Backup([](BackupSettings& b) { b.data_bytes = 100; });
    auto dialog = StartDownload();
    ASSERT_TRUE(Finished(*dialog));
    dialog->m_btnPlay.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4108)});

    const auto player = program.Path() / "VideoPlayer";
    const auto arguments = program.Path() / "VideoPlayer.args";
    std::ofstream(player) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.tmp\"\n"
                             "mv \"$0.tmp\" \"$0.args\"\n";
    std::filesystem::permissions(player, std::filesystem::perms::owner_all);
    dialog->m_btnPlay.click();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(arguments); }));
    EXPECT_EQ(FileBytes(arguments.string()), file + "\n");
    EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
