#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "config/upgrade_firmware_dlg.h"
#include "config_fixture.h"
#include "platform/thread.h"
#include "protocol/session.h"
#include "test_support/pump.h"
#include "test_support/temp_folder.h"
#include "test_support/window_exits.h"
#include "ui/string_table.h"

namespace {

namespace fs = std::filesystem;
using device_emulator::RecordedRequest;
using test_support::PumpUntil;

// Keeps every message the upload thread posts, in order.
class RecordingUpgradeDlg : public CUpgradeFirmwareDlg {
public:
    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override {
        posted.emplace_back(msg, wParam);
        return CUpgradeFirmwareDlg::OnMessage(msg, wParam, lParam);
    }
    std::vector<std::pair<std::uint32_t, ui::WPARAM>> posted;
};

std::string Text(std::uint32_t id) {
    return ui::LoadString(id);
}

class FirmwareUpgradeTest : public test_support::ConfigFixture {
protected:
    FirmwareUpgradeTest() {
        // The upload holds a video connection it never reads; a slow stream keeps it cheap.
        device.Update([](device_emulator::Settings& s) { s.stream.frame_rate = 1; });
        ::CSettingINI& settings = g_lpApp->CSettingINI;
        settings.m_strProgramPath = folder.Path().string() + "/";
        settings.m_strUpgradeFWPath = folder.Path().string() + "/";
        g_lpApp->m_strFirmwareVersion = "3.1.4.1";
        g_lpApp->m_strBootVersion = "1.0.2";
        g_lpApp->m_strCodecVersion = "2.0.1";
        g_lpApp->m_strFPGAVersion = "1.1.0";
        g_szSessionCookie.Set("C00K1E");
        QObject::connect(&dialog, &QDialog::finished, [this](int result) { ended = result; });
        dialog.OnInitDialog();
    }

    // A file of `size` bytes that differ from piece to piece.
    std::string WriteFirmware(const std::string& name, std::size_t size, int seed = 1) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed)) % 251);
        }
        std::ofstream(folder.Path() / name, std::ios::binary) << bytes;
        return bytes;
    }

    // "Upgrade", then the posted messages until the upload thread has ended.
    void UpgradeAndWait() {
        dialog.m_btnUpgrade.click();
        ASSERT_TRUE(UpgradeThreadEnded());
        PumpUntil([] { return false; }, 50);
    }

    std::vector<std::uint32_t> PostedPercents() const {
        std::vector<std::uint32_t> percents;
        for (const auto& [msg, wParam] : dialog.posted) {
            if (msg == CUpgradeFirmwareDlg::WM_UPGRADEPERCENT) {
                percents.push_back(static_cast<std::uint32_t>(wParam));
            }
        }
        return percents;
    }

    // The upgrade's last thread, the cancel request's after a cancel, has ended.
    static bool UpgradeThreadEnded() {
        return PumpUntil([] {
            return !g_lpApp->h_UpgradeFirmwareThread ||
                   platform::ThreadExitCode(g_lpApp->h_UpgradeFirmwareThread.Get()).has_value();
        });
    }

    device_emulator::FirmwareUploadState DeviceImage() const {
        return device.Snapshot().state.firmware;
    }

    test_support::TempFolder folder;
    RecordingUpgradeDlg dialog;
    std::optional<int> ended;
};

TEST_F(FirmwareUpgradeTest, ProposesTheKernelFileAndShowsTheVersions) {
    ASSERT_EQ(dialog.m_ctlType.count(), 4);
    EXPECT_EQ(dialog.m_ctlType.itemText(2), "Codec");
    EXPECT_EQ(dialog.m_ctlType.currentIndex(), 0);
    EXPECT_EQ(dialog.m_ctlFile.text().toStdString(), folder.Path().string() + "/KERNEL.BIN");
    EXPECT_EQ(dialog.m_ctlVersion.text(), "3.1.-1.-2.-1.1.0");
    EXPECT_TRUE(dialog.m_ctlProgress.isHidden());
    EXPECT_EQ(dialog.windowTitle(), "Upgrade Firware");
}

struct UploadCase {
    std::size_t size;
    int type;
    std::vector<std::string> queries;
    std::vector<std::size_t> pieceSizes;
    std::vector<std::uint32_t> percents;
};

void PrintTo(const UploadCase& c, std::ostream* os) {
    *os << c.size << " bytes";
}

class WholeUploadTest : public FirmwareUpgradeTest,
                        public ::testing::WithParamInterface<UploadCase> {};

TEST_P(WholeUploadTest, SendsThePiecesInOrderAndClosesAfterTheFlashMessage) {
    const UploadCase& c = GetParam();
    dialog.m_ctlType.setCurrentIndex(c.type);
    emit dialog.m_ctlType.activated(c.type);
    const std::string bytes = WriteFirmware(kFirmwareTypes[c.type].fileName, c.size);

    UpgradeAndWait();

    std::vector<std::string> queries;
    std::vector<std::size_t> pieceSizes;
    for (const RecordedRequest& r : device.Requests("/UpgradeFW.cgi")) {
        queries.push_back(r.query);
        pieceSizes.push_back(r.body.size());
    }
    EXPECT_EQ(queries, c.queries);
    EXPECT_EQ(pieceSizes, c.pieceSizes);
    EXPECT_EQ(PostedPercents(), c.percents);
    const device_emulator::FirmwareUploadState image = DeviceImage();
    EXPECT_TRUE(image.complete);
    EXPECT_EQ(image.image, bytes);

    // Upgrade is disabled first; the thread's last words re-enable it and end the dialog.
    ASSERT_GE(dialog.posted.size(), 3u);
    EXPECT_EQ(dialog.posted.front().first, CUpgradeFirmwareDlg::WM_UPGRADEBUSY);
    EXPECT_EQ(dialog.posted[dialog.posted.size() - 2].first, CUpgradeFirmwareDlg::WM_UPGRADEIDLE);
    EXPECT_EQ(dialog.posted.back().first, CUpgradeFirmwareDlg::WM_UPGRADEDONE);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4048)});

    // The video connection of the session stays open through the upload.
    const std::vector<RecordedRequest> video = device.Requests("/Getvideo.cgi");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].query, "Cookie=C00K1E&Fake=1");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WholeUploadTest,
    ::testing::Values(
        UploadCase{900, 0, {"Upgrade=Start&FileSize=900&Cookie=C00K1E"}, {900}, {100}},
        UploadCase{901,
                   1,
                   {"Upgrade=Start&FileSize=901&Cookie=C00K1E",
                    "Upgrade=Finished&Type=BOOT&Cookie=C00K1E"},
                   {900, 1},
                   {99, 100}},
        UploadCase{2000,
                   3,
                   {"Upgrade=Start&FileSize=2000&Cookie=C00K1E", "Cookie=C00K1E",
                    "Upgrade=Finished&Type=FPGA&Cookie=C00K1E"},
                   {900, 900, 200},
                   {45, 90, 100}}),
    [](const auto& info) { return std::to_string(info.param.size) + "Bytes"; });

TEST_F(FirmwareUpgradeTest, WithoutACookieAMiddlePieceIsTheBarePath) {
    g_szSessionCookie.Clear();
    WriteFirmware("KERNEL.BIN", 1801);
    UpgradeAndWait();
    std::vector<std::string> queries;
    for (const RecordedRequest& r : device.Requests("/UpgradeFW.cgi")) {
        queries.push_back(r.query);
    }
    EXPECT_EQ(queries, (std::vector<std::string>{"Upgrade=Start&FileSize=1801", "",
                                                 "Upgrade=Finished&Type=KERNEL"}));
    EXPECT_TRUE(DeviceImage().complete);
}

// The file sent is the one the edit shows: a path typed by hand, not the one proposed earlier.
TEST_F(FirmwareUpgradeTest, UploadsTheFileTheEditShows) {
    WriteFirmware("KERNEL.BIN", 1000, 1);
    const std::string typed = WriteFirmware("other.bin", 1200, 2);
    dialog.m_ctlFile.setText(QString::fromStdString((folder.Path() / "other.bin").string()));
    UpgradeAndWait();
    EXPECT_EQ(DeviceImage().image, typed);
}

TEST_F(FirmwareUpgradeTest, ASecondPressBeforeTheUploadReportsBusyDoesNothing) {
    const std::string bytes = WriteFirmware("KERNEL.BIN", 2000);
    dialog.m_btnUpgrade.click();
    const auto first = g_lpApp->h_UpgradeFirmwareThread.Get();
    EXPECT_FALSE(dialog.m_btnUpgrade.isEnabled());
    // The handler itself, as a press queued before the button went grey would reach it.
    dialog.OnFindFirmwareFileButton();
    EXPECT_EQ(g_lpApp->h_UpgradeFirmwareThread.Get(), first);
    ASSERT_TRUE(PumpUntil([] {
        return platform::ThreadExitCode(g_lpApp->h_UpgradeFirmwareThread.Get()).has_value();
    }));
    PumpUntil([] { return false; }, 50);

    int starts = 0;
    for (const RecordedRequest& r : device.Requests("/UpgradeFW.cgi")) {
        starts += r.query.starts_with("Upgrade=Start") ? 1 : 0;
    }
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(DeviceImage().image, bytes);
    EXPECT_EQ(DeviceImage().cancels, 0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4048)});
}

struct DeviceFailure {
    const char* name;
    int failPiece;
    int status;  // 0: no answer at all
    bool counted_as_sent;
    std::size_t requests;
};

void PrintTo(const DeviceFailure& f, std::ostream* os) {
    *os << f.name;
}

class DeviceFailureTest : public FirmwareUpgradeTest,
                          public ::testing::WithParamInterface<DeviceFailure> {};

TEST_P(DeviceFailureTest, AFailedPieceStopsTheUploadWithAnError) {
    const DeviceFailure& f = GetParam();
    device.Update([&f](device_emulator::Settings& s) {
        s.firmware.fail_piece = f.failPiece;
        s.firmware.fail_status = f.status;
    });
    WriteFirmware("KERNEL.BIN", 2500);

    UpgradeAndWait();

    EXPECT_EQ(device.Requests("/UpgradeFW.cgi").size(), f.requests);
    if (f.counted_as_sent) {
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4048)});
        EXPECT_EQ(ended, 0);
        return;
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4077)});
    EXPECT_FALSE(ended.has_value());
    EXPECT_TRUE(dialog.m_btnUpgrade.isEnabled());
    EXPECT_TRUE(dialog.m_ctlProgress.isHidden());
    EXPECT_EQ(platform::StopThread(g_lpApp->h_UpgradeFirmwareThread, 1000), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, DeviceFailureTest,
                         ::testing::Values(DeviceFailure{"StartRefused", 0, 403, false, 1},
                                           DeviceFailure{"MiddleUnanswered", 1, 0, false, 2},
                                           DeviceFailure{"ImageRefusedAtTheEnd", 2, 400, false, 3},
                                           // The device may already be writing its flash.
                                           DeviceFailure{"LastUnanswered", 2, 0, true, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareUpgradeTest, NoVideoConnectionNoPieces) {
    WriteFirmware("KERNEL.BIN", 1000);
    ASSERT_TRUE(device.SetListening(false));
    UpgradeAndWait();
    ASSERT_TRUE(device.SetListening(true));
    EXPECT_TRUE(device.Requests("/UpgradeFW.cgi").empty());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4077)});
    EXPECT_TRUE(dialog.m_btnUpgrade.isEnabled());
}

TEST_F(FirmwareUpgradeTest, ACookieTheRequestCannotCarryOpensNoVideoConnection) {
    WriteFirmware("KERNEL.BIN", 1000);
    g_szSessionCookie.Set("C00K1E Fake");
    UpgradeAndWait();
    EXPECT_TRUE(device.Requests().empty());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{Text(4077)});
}

TEST_F(FirmwareUpgradeTest, AFileThatCannotBeSentStartsNothing) {
    std::ofstream(folder.Path() / "empty.bin", std::ios::binary).flush();
    fs::create_directories(folder.Path() / "folder.bin");
    // A FIFO with no writer would hold the window's thread for good if it were opened to read.
    ASSERT_EQ(::mkfifo((folder.Path() / "fifo.bin").c_str(), 0644), 0);
    // One piece more than the device can count (a sparse file: nothing is written to disk).
    std::ofstream(folder.Path() / "huge.bin", std::ios::binary).flush();
    fs::resize_file(folder.Path() / "huge.bin", kMaxFirmwareSize + 1);
    const std::pair<const char*, std::uint32_t> cases[] = {{"missing.bin", 4047},
                                                           {"folder.bin", 4047},
                                                           {"fifo.bin", 4047},
                                                           {"empty.bin", 4057},
                                                           {"huge.bin", 4057}};
    std::vector<std::string> expected;
    for (const auto& [name, message] : cases) {
        dialog.m_ctlFile.setText(QString::fromStdString((folder.Path() / name).string()));
        dialog.m_btnUpgrade.click();
        expected.push_back(Text(message));
        EXPECT_EQ(messages.Texts(), expected) << name;
    }
    EXPECT_FALSE(g_lpApp->h_UpgradeFirmwareThread);
    EXPECT_TRUE(dialog.m_ctlProgress.isHidden());
    EXPECT_FALSE(fs::exists(folder.Path() / "Setting.ini"));
    EXPECT_TRUE(device.Requests().empty());
}

TEST_F(FirmwareUpgradeTest, CancelDuringAnUploadStopsItAndTellsTheDevice) {
    device.Update([](device_emulator::Settings& s) {
        s.firmware.piece_delay = std::chrono::milliseconds(200);
    });
    WriteFirmware("KERNEL.BIN", 9000);
    dialog.m_btnUpgrade.click();
    ASSERT_TRUE(device.WaitForRequests("/UpgradeFW.cgi", 2, std::chrono::seconds(10)));
    PumpUntil([] { return false; }, 20);
    EXPECT_FALSE(dialog.m_ctlProgress.isHidden());

    dialog.reject();  // Esc
    EXPECT_EQ(ended, 0);
    ASSERT_TRUE(PumpUntil([this] { return DeviceImage().cancels == 1; }));
    ASSERT_TRUE(UpgradeThreadEnded());

    const std::vector<RecordedRequest> requests = device.Requests("/UpgradeFW.cgi");
    ASSERT_GE(requests.size(), 3u);
    EXPECT_LT(requests.size(), 11u);
    EXPECT_EQ(requests.back().query, "Upgrade=Cancel&Cookie=C00K1E");
    EXPECT_EQ(DeviceImage().cancels, 1);
    EXPECT_FALSE(DeviceImage().complete);
    EXPECT_TRUE(messages.Texts().empty());
}

// Cancel, the window manager's close and Escape leave the window as opened, after a file was
// refused, and while an upload runs.
TEST_F(FirmwareUpgradeTest, EveryStateCanBeLeft) {
    using W = CUpgradeFirmwareDlg;
    device.Update([](device_emulator::Settings& s) {
        s.firmware.piece_delay = std::chrono::milliseconds(200);
    });
    WriteFirmware("KERNEL.BIN", 9000);
    const std::vector<test_support::WindowExit<W>> ways = test_support::ButtonCloseEscape<W>(
        "Cancel", [](W& w) -> QAbstractButton* { return &w.m_btnCancel; });
    test_support::LeaveEveryWay<W>(
        [] { return std::make_unique<W>(); }, &W::DoModal,
        {{"as opened", [](W&) {}, ways},
         {"a file refused",
          [this](W& w) {
              w.m_ctlFile.setText(QString::fromStdString((folder.Path() / "missing.bin").string()));
              const std::size_t shown = messages.Texts().size();
              w.m_btnUpgrade.click();
              ASSERT_EQ(messages.Texts().size(), shown + 1);
          },
          ways},
         {"an upload under way",
          [this](W& w) {
              device.ClearRequests();
              w.m_btnUpgrade.click();
              ASSERT_TRUE(device.WaitForRequests("/UpgradeFW.cgi", 2, std::chrono::seconds(10)));
          },
          ways}});
    EXPECT_TRUE(UpgradeThreadEnded());
}

TEST_F(FirmwareUpgradeTest, CancelWithNothingRunningStillTellsTheDevice) {
    dialog.m_btnCancel.click();
    EXPECT_EQ(ended, 0);
    ASSERT_TRUE(UpgradeThreadEnded());
    const std::vector<RecordedRequest> requests = device.Requests("/UpgradeFW.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query, "Upgrade=Cancel&Cookie=C00K1E");
    EXPECT_TRUE(requests[0].body.empty());
    EXPECT_EQ(DeviceImage().cancels, 1);
}

// A device that has gone silent, with nothing running and in the middle of an upload: the window
// is gone before the device has answered anything, and the cancel still reaches the device
// afterwards from the upgrade's own thread, which the program's exit can end while it waits.
TEST_F(FirmwareUpgradeTest, ASilentDeviceNeverHoldsTheClosingWindow) {
    Faults("/UpgradeFW.cgi", {.action = device_emulator::ReplyAction::Stall});
    WriteFirmware("KERNEL.BIN", 9000);
    for (const bool uploading : {false, true}) {
        SCOPED_TRACE(uploading ? "an upload under way" : "nothing running");
        device.ClearRequests();
        RecordingUpgradeDlg window;
        std::optional<int> result;
        QObject::connect(&window, &QDialog::finished, [&result](int r) { result = r; });
        window.OnInitDialog();
        window.show();
        if (uploading) {
            window.m_btnUpgrade.click();
            ASSERT_TRUE(device.WaitForRequests("/UpgradeFW.cgi", 1, std::chrono::seconds(10)));
        }

        window.m_btnCancel.click();
        EXPECT_TRUE(window.isHidden());
        EXPECT_EQ(result, 0);
        // The exchange with the silent device is still open: the window did not wait it out.
        const platform::Handle canceller = g_lpApp->h_UpgradeFirmwareThread.Get();
        ASSERT_TRUE(canceller);
        EXPECT_FALSE(platform::ThreadExitCode(canceller).has_value());

        ASSERT_TRUE(PumpUntil([this] {
            const std::vector<RecordedRequest> requests = device.Requests("/UpgradeFW.cgi");
            return !requests.empty() && requests.back().query == "Upgrade=Cancel&Cookie=C00K1E";
        }));
        const std::vector<RecordedRequest> requests = device.Requests("/UpgradeFW.cgi");
        ASSERT_EQ(requests.size(), uploading ? 2u : 1u);
        if (uploading) {
            EXPECT_TRUE(requests[0].query.starts_with("Upgrade=Start"));
        }
        EXPECT_EQ(g_lpApp->h_UpgradeFirmwareThread.Get(), canceller);
        EXPECT_FALSE(platform::ThreadExitCode(canceller).has_value());

        // As the program's exit ends the upgrade's thread.
        platform::StopThread(g_lpApp->h_UpgradeFirmwareThread, 10'000);
        EXPECT_EQ(platform::RunningThreadCount(), 0u);
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(FirmwareUpgradeTest, TypeChoiceAndFindSetTheFileAndTheFolderKeptOnUpload) {
    // A version text too long for its label must not keep the type list from being read.
    g_lpApp->m_strFPGAVersion = "1.1.0-build-20260101";
    dialog.OnInitDialog();
    dialog.m_ctlType.setCurrentIndex(2);
    emit dialog.m_ctlType.activated(2);
    EXPECT_EQ(dialog.m_ctlFile.text().toStdString(), folder.Path().string() + "/ZQ410.BIN");

    const fs::path chosenFolder = folder.Path() / "fw";
    fs::create_directories(chosenFolder);
    std::vector<FileOpenRequest> asked;
    std::optional<std::string> answer;
    dialog.m_chooseFile = [&](QWidget*, const FileOpenRequest& request) {
        asked.push_back(request);
        return answer;
    };
    dialog.m_btnFind.click();  // cancelled: nothing changes
    EXPECT_EQ(dialog.m_ctlFile.text().toStdString(), folder.Path().string() + "/ZQ410.BIN");
    answer = (chosenFolder / "ZQ410.BIN").string();
    dialog.m_btnFind.click();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].filter, "Codec Firmware files (ZQ410.BIN)|ZQ410.BIN||");
    EXPECT_EQ(asked[0].fileName, "ZQ410.BIN");
    EXPECT_EQ(asked[0].defaultExtension, "BIN");
    EXPECT_EQ(asked[0].initialFolder, folder.Path().string() + "/");
    EXPECT_EQ(dialog.m_ctlFile.text().toStdString(), *answer);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUpgradeFWPath, chosenFolder.string() + "/");
    EXPECT_FALSE(fs::exists(folder.Path() / "Setting.ini"));

    std::ofstream(*answer, std::ios::binary) << std::string(10, 'x');
    UpgradeAndWait();
    std::ifstream ini(folder.Path() / "Setting.ini");
    const std::string saved((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(saved.find(chosenFolder.string() + "/"), std::string::npos);
    EXPECT_EQ(device.Requests("/UpgradeFW.cgi").size(), 1u);

    g_lpApp->CSettingINI.m_strUpgradeFWPath = "UnKnown";
    dialog.m_btnFind.click();
    EXPECT_EQ(asked.back().initialFolder, "");
}

TEST(FirmwareUploadPlainTest, PercentOfALargeFileDoesNotOverflow) {
    EXPECT_EQ(UploadPercent(1800, 1801), 99u);
    EXPECT_EQ(UploadPercent(4'000'000'000ull, 4'000'000'000ull), 100u);
    EXPECT_EQ(UploadPercent(2'000'000'000ull, 4'000'000'000ull), 50u);
}

}  // namespace
