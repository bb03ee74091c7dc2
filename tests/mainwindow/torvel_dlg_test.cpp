#include "mainwindow/torvel_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <sstream>
#include <thread>

#include "kernel/kernel_object.h"
#include "platform/paths.h"
#include "recording/recorder_set.h"
#include "test_support/temp_folder.h"
#include "ui/string_table.h"
#include "video/live_pipeline.h"
#include "widgets/skin_image.h"

namespace {

using Face = ui::CVtxButton::Face;

// Makes a master of `type` the current device, or a peripheral of that type behind a type-19
// master.
void UseDevice(int type, bool master = true) {
    CDeviceList& list = g_lpApp->m_DeviceList;
    list.Clear();
    list.Add(0, 0, static_cast<std::uint8_t>(master ? type : 19), CDeviceList::kMasterKind);
    if (master) {
        list.Select(CDeviceList::kMasterKind, 0);
    } else {
        list.Add(2400, 1, static_cast<std::uint8_t>(type), CDeviceList::kPeripheralKind);
        list.Select(CDeviceList::kPeripheralKind, 0);
    }
}

// USERLEVEL of each user class.
constexpr std::uint16_t kLevelOfClass[kUserClassCount] = {30, 20, 0, 10};

QString Word(std::uint32_t id, int n) {
    std::istringstream words(ui::LoadString(id));
    std::string word;
    for (int i = 0; i <= n; ++i) {
        words >> word;
    }
    return QString::fromStdString(word);
}

QRect ToQRect(const SkinRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// A main window over the generated skin, for one device type and user.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lpApp = m_app.get();
        platform::SetProgramFolder(TORVEL_SKIN_DIR);
    }
    void TearDown() override {
        m_dialog.reset();
        platform::SetProgramFolder({});
        g_lpApp = nullptr;
    }

    // Picture modes 0 to 5 come from the video standard and the resolution index.
    CTorvelDlg& Open(int pictureMode, int type, int userClass) {
        UseDevice(type);
        m_app->m_bVideoMode = pictureMode == 0 || pictureMode == 1 || pictureMode == 4 ? 0 : 1;
        m_app->CSettingINI.m_nResolution = pictureMode < 4 ? pictureMode % 2 : 2;
        m_app->m_bUserClass = static_cast<std::uint8_t>(userClass);
        m_app->m_wUserLevel = kLevelOfClass[userClass];
        m_dialog = std::make_unique<CTorvelDlg>(Services());
        m_dialog->CreateSkinControls();
        m_dialog->show();
        return *m_dialog;
    }

    void OpenPanel() {
        m_dialog->m_bPanelExpanded = true;
        m_dialog->RelayoutControls();
        m_dialog->ApplyLayoutMode();
    }

    static QImage Skin(std::string_view name) { return ui::LoadSkinImage(name); }

    // Every control of the window against the tables, for the current mode and panel state.
    void ExpectControlsFollowTheTables(int type, int userClass) {
        CTorvelDlg& dlg = *m_dialog;
        const int mode = m_app->m_wLayoutMode;
        ASSERT_LT(mode, 4);
        const LayoutRow& L = LayoutRectTable[mode];
        const bool open = dlg.m_bPanelExpanded;
        const UserClassButtons& rights = UserClassButtonTable[userClass];

        const int w = open ? 4 : 0;
        EXPECT_EQ(dlg.size(), QSize(L[w + 2] - L[w], L[w + 3] - L[w + 1]));
        EXPECT_EQ(dlg.Background(mode, open).size(), dlg.size());
        EXPECT_EQ(dlg.VideoArea()->geometry(), QRect(L[12], L[13], L[14] - L[12], L[15] - L[13]));

        for (int i = 0; i < 3; ++i) {
            ui::CVtxButton* title = dlg.GetDlgItem(8200 + i);
            ASSERT_NE(title, nullptr);
            EXPECT_EQ(title->geometry(), QRect(L[32] + (L[34] + L[36]) * i, L[33], L[34], L[35]));
            EXPECT_TRUE(title->isVisible());
            EXPECT_EQ(title->toolTip().toStdString(), ui::LoadString(8200 + i));
        }
        EXPECT_EQ(dlg.GetDlgItem(8203), nullptr);

        const SkinRect& first = CommandButtonTable()[0].rect[mode];
        for (const CommandButtonRow& row : CommandButtonTable()) {
            ui::CVtxButton* button = dlg.GetDlgItem(row.controlId);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->geometry(), QRect(first.left + row.index * first.Width(), first.top,
                                                first.Width(), first.Height()));
            const bool allowed = rights.allowed[row.index] == 1;
            EXPECT_EQ(button->isEnabled(), allowed) << row.controlId;
            const auto& images = allowed ? row.images : row.disabledImages;
            if (row.style == ui::kVtxHover || row.style == ui::kVtxPushHover) {
                EXPECT_EQ(button->FaceImage(Face::Flat), Skin(images[0])) << row.controlId;
                EXPECT_EQ(button->FaceImage(Face::Focus), Skin(images[1])) << row.controlId;
            } else {
                const int index = button->GetImageIndex();
                EXPECT_EQ(button->ShownImage(), Skin(images[2 * index])) << row.controlId;
            }
        }
        EXPECT_EQ(dlg.GetDlgItem(1005)->toolTip(), Word(1005, 0));

        const DeviceTypeSkin& skin = DeviceTypeSkinTable()[type];
        for (const SkinKeyRecord& key : skin.keys) {
            SCOPED_TRACE(testing::Message() << "key " << key.keyIndex);
            ui::CVtxButton* button = dlg.GetDlgItem(key.controlId);
            ASSERT_NE(button, nullptr);
            bool shown = open && (key.flags & key_flag::kOnPanel);
            if (key.flags & key_flag::kLevel30Only) {
                shown = shown && kLevelOfClass[userClass] == 30;
            } else if (key.flags & key_flag::kRank30) {
                shown = shown && rights.rank >= 30;
            }
            EXPECT_EQ(button->isVisible(), shown);
            if (!shown) {
                continue;
            }
            EXPECT_EQ(button->geometry(), ToQRect(key.rect[mode]));
            EXPECT_EQ(button->isEnabled(), (key.flags & key_flag::kEnabled) != 0);
            if ((key.kind & 0xFF) == kKeyThreeImage) {
                // Keys that follow the mode show the mode's group; the others keep group 0.
                const int group = key.flags & key_flag::kFollowsMode ? mode : 0;
                EXPECT_EQ(button->FaceImage(Face::Flat), Skin(key.bitmap[3 * group]));
                EXPECT_EQ(button->FaceImage(Face::Focus), Skin(key.bitmap[3 * group + 1]));
            } else {
                const int base = (key.flags & key_flag::kFollowsMode) && mode >= 2 ? 6 : 0;
                EXPECT_EQ(button->FaceImage(Face::Image, 0), Skin(key.bitmap[base]));
                EXPECT_EQ(button->FaceImage(Face::HoverImage, 1), Skin(key.bitmap[base + 3]));
            }
            QString tip = QString::fromStdString(ui::LoadString(key.tipId));
            if (key.keyIndex == 59) {
                tip = Word(8310, m_app->m_fTurbo ? 0 : 1);
            } else if (key.keyIndex == 60) {
                tip = Word(8312, m_app->m_DeviceList.IsCurrentMaster() ? 1 : 0);
            } else if (key.keyIndex == 61) {
                tip = "R.E.T.R.(Enable)";
            }
            EXPECT_EQ(button->toolTip(), tip);
        }

        const bool closedWindowKeys = skin.trailer.flags & kTypeKeysInClosedWindow;
        ui::CVtxButton* panelUp = dlg.GetDlgItem(8192);
        ui::CVtxButton* panelDown = dlg.GetDlgItem(8193);
        EXPECT_EQ(panelUp->isVisible(), !open && !closedWindowKeys && rights.allowed[6] == 1);
        EXPECT_EQ(panelDown->isVisible(), open && rights.allowed[7] == 1);
        EXPECT_EQ(panelUp->geometry(), QRect(L[24], L[25], L[26], L[27]));
        EXPECT_EQ(panelDown->geometry(), QRect(L[28], L[29], L[30], L[31]));
        static constexpr const char* kPrefix[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};
        EXPECT_EQ(panelUp->FaceImage(Face::Flat),
                  Skin(std::string("BMP\\") + kPrefix[mode] + "_PANELUP.bmp"));
        EXPECT_FALSE(dlg.GetDlgItem(8311)->isVisible());
    }

    void SaveScreenshot(const std::string& name) {
        std::filesystem::create_directories(TORVEL_SCREENSHOT_DIR);
        const std::string path = std::string(TORVEL_SCREENSHOT_DIR) + "/" + name + ".png";
        EXPECT_TRUE(m_dialog->grab().save(QString::fromStdString(path)));
    }

    std::unique_ptr<KernelObject> m_app = std::make_unique<KernelObject>();
    MainWindowServices Services() { return {m_pipeline, m_recorders, {}, {}}; }

    LivePipeline m_pipeline;
    recording::RecorderSet m_recorders;
    std::unique_ptr<CTorvelDlg> m_dialog;
};

TEST_F(MainWindowTest, ControlsFollowTheTablesInEveryModeTypeAndUserClass) {
    struct Case {
        int type;
        int userClass;
    };
    const Case cases[] = {{19, 0}, {19, 3}, {15, 0}, {15, 3}, {8, 1}, {1, 0}, {0, 2}};
    for (int pictureMode = 0; pictureMode < kLayoutModeCount; ++pictureMode) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "picture mode " << pictureMode << " type " << c.type
                                            << " class " << c.userClass);
            Open(pictureMode, c.type, c.userClass);
            const int window = LayoutGroup(pictureMode);
            EXPECT_EQ(m_app->m_wLayoutMode, window);
            EXPECT_EQ(m_app->m_bPictureSizeCode, pictureMode);
            ExpectControlsFollowTheTables(c.type, c.userClass);
            if (c.type == 19 && c.userClass == 0 && pictureMode < 4) {
                SaveScreenshot("main-window-mode" + std::to_string(pictureMode) + "-closed");
            }
            OpenPanel();
            ExpectControlsFollowTheTables(c.type, c.userClass);
            if (c.type == 19 && c.userClass == 0) {
                SaveScreenshot("main-window-mode" + std::to_string(pictureMode) + "-type19");
            }
        }
    }
}

TEST_F(MainWindowTest, StartShowsTheSelectedChannelAndDisablesTheOthers) {
    m_app->CSettingINI.m_bSelectedChannel = 3;
    CTorvelDlg& dlg = Open(0, 19, 0);
    for (const ChannelStripRow& row : ChannelStripTable()) {
        SCOPED_TRACE(row.index);
        ui::CVtxButton* button = dlg.GetDlgItem(row.controlId);
        EXPECT_FALSE(button->isVisible());
        EXPECT_EQ(button->toolTip().toStdString(), ui::LoadString(row.tipId));
        QRect place = ToQRect(row.rect[0]);
        if (row.index == 0) {
            place.adjust(-5, 0, 5, 0);
        }
        EXPECT_EQ(button->geometry(), place);
        if (row.index <= 16) {
            EXPECT_EQ(button->GetImageIndex(), row.index == 3 ? 0 : 1);
            EXPECT_EQ(button->ShownImage(), Skin(row.bitmap[row.index == 3 ? 0 : 2]));
            EXPECT_EQ(button->isEnabled(), row.index == 3);
        } else {
            EXPECT_EQ(button->FaceImage(Face::Selected), Skin(row.bitmap[2]));
            EXPECT_TRUE(button->isEnabled());
        }
    }
}

// Frames from the painter's thread while the window thread is busy: one at most waits, the
// others are let go at once, and the window shows the newest with the newest stream text.
TEST_F(MainWindowTest, BusyWindowThreadKeepsOneFrameInFlightAndShowsTheNewest) {
    CTorvelDlg& dlg = Open(0, 19, 0);
    constexpr int kFrames = 200;
    std::vector<std::weak_ptr<const PaintedFrame>> sent;
    std::thread painter([&] {
        for (int i = 0; i < kFrames; ++i) {
            auto frame = std::make_shared<PaintedFrame>();
            frame->width = 2;
            frame->height = 2;
            frame->pixels.assign(2 * 2 * 4, static_cast<std::uint8_t>(i));
            frame->indicator = std::to_string(i % 3 + 1);
            if (i == kFrames / 2) {
                frame->status2 = "HU: middle";
            }
            sent.push_back(frame);
            dlg.PresentFrame(std::move(frame));
        }
    });
    painter.join();
    const auto alive =
        std::count_if(sent.begin(), sent.end(), [](const auto& frame) { return !frame.expired(); });
    EXPECT_LE(alive, 1);

    QApplication::processEvents();
    const auto& shown = static_cast<VideoView*>(dlg.VideoArea())->Frame();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown, sent.back().lock());
    EXPECT_EQ(dlg.StatusText2(), "HU: middle");
    EXPECT_EQ(dlg.IndicatorText(), std::to_string((kFrames - 1) % 3 + 1));
}

TEST_F(MainWindowTest, ModeSwitchFromTheStreamThreadReloadsTheKeysOnTheWindowThread) {
    CTorvelDlg& dlg = Open(1, 19, 0);
    OpenPanel();
    m_app->m_fTurbo = 1;
    m_app->m_wLayoutMode = 3;
    std::thread stream([&dlg] { EXPECT_TRUE(dlg.SwitchToPalQvga()); });
    stream.join();
    QApplication::processEvents();

    ui::CVtxButton* left = dlg.GetDlgItem(8240);
    EXPECT_EQ(left->FaceImage(Face::Flat), Skin("BMP\\P_QVGA_LEFT_TURBO.bmp"));
    EXPECT_EQ(left->FaceImage(Face::Focus), Skin("BMP\\P_QVGA_LEFT_TURBO_OVER.bmp"));
    EXPECT_EQ(dlg.GetDlgItem(8291)->FaceImage(Face::Flat), Skin("BMP\\2Col_zoom_turbo_in.bmp"));
    EXPECT_EQ(left->geometry(), ToQRect(DeviceTypeSkinTable()[19].keys[54].rect[3]));
    EXPECT_EQ(dlg.size(), QSize(370, 509));

    m_app->m_fTurbo = 0;
    m_app->m_wLayoutMode = 0;
    EXPECT_TRUE(dlg.SwitchToNtscVga());
    EXPECT_EQ(left->FaceImage(Face::Flat), Skin("BMP\\N_VGA_LEFT.bmp"));
    EXPECT_EQ(dlg.size(), QSize(722, 680));
}

TEST_F(MainWindowTest, ApplyLayoutModeFollowsStandardResolutionAndDevice) {
    CTorvelDlg& dlg = Open(0, 19, 0);
    struct Case {
        int videoMode;
        std::uint32_t resolution;
        int layout;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{1, 0, 2}, Case{1, 2, 3}, Case{0, 0, 0}}) {
        m_app->m_bVideoMode = static_cast<std::uint8_t>(c.videoMode);
        m_app->CSettingINI.m_nResolution = c.resolution;
        EXPECT_EQ(dlg.ApplyLayoutMode(), 1);
        EXPECT_EQ(m_app->m_wLayoutMode, c.layout);
    }

    for (int type : {11, 18, 19}) {
        UseDevice(type);
        dlg.ApplyLayoutMode();
        const bool ptz = type != 19;
        EXPECT_EQ(m_app->m_fHotPointOn, ptz ? 1u : 0u) << type;
        EXPECT_EQ(m_app->m_bHotPointMode, ptz ? 2 : 1) << type;
    }

    UseDevice(19, false);
    m_app->m_fTurbo = 1;
    dlg.ApplyLayoutMode();
    EXPECT_EQ(dlg.GetDlgItem(8312)->toolTip(), "PTZ_CONTROL_ON");
    EXPECT_EQ(dlg.GetDlgItem(8310)->toolTip(), "TURBO_ON");
    dlg.GetDlgItem(8331)->setToolTip("R.E.T.R.(Disable)");
    dlg.ApplyLayoutMode();
    EXPECT_EQ(dlg.GetDlgItem(8331)->toolTip(), "R.E.T.R.(Disable)")
        << "the R.E.T.R. state's tip stays";
}

TEST_F(MainWindowTest, ApplyLayoutModeBeforeTheControlsExistTouchesNoButton) {
    UseDevice(18);
    m_app->m_bVideoMode = 1;
    m_app->CSettingINI.m_nResolution = 1;
    CTorvelDlg dlg(Services());
    dlg.m_bPanelExpanded = true;
    EXPECT_EQ(dlg.ApplyLayoutMode(), 1);
    EXPECT_EQ(m_app->m_wLayoutMode, 3);
    EXPECT_EQ(m_app->m_bHotPointMode, 2);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(window->isVisible()) << "a button was shown as a window of its own";
    }
    for (const ui::CVtxButton* button : dlg.findChildren<ui::CVtxButton*>()) {
        EXPECT_TRUE(button->toolTip().isEmpty());
    }
}

TEST_F(MainWindowTest, TypeWithKeysInTheClosedWindowCollapsesAnOpenPanel) {
    CTorvelDlg& dlg = Open(0, 19, 0);
    OpenPanel();
    ASSERT_EQ(dlg.size(), QSize(722, 680));
    UseDevice(0);
    dlg.ApplyLayoutMode();
    EXPECT_FALSE(dlg.m_bPanelExpanded);
    EXPECT_EQ(dlg.size(), QSize(722, 608));
    EXPECT_FALSE(dlg.GetDlgItem(8192)->isVisible());
    EXPECT_FALSE(dlg.GetDlgItem(8193)->isVisible());
}

// The window reads each skin file once: the layouts that share a background, the faces of a
// button that share a file and the key images a layout switch loads again are one image.
TEST_F(MainWindowTest, EachSkinFileIsReadOnceForTheWindow) {
    CTorvelDlg& dlg = Open(0, 19, 0);
    EXPECT_EQ(dlg.Background(4, false).cacheKey(), dlg.Background(1, false).cacheKey());
    ui::CVtxButton* hide = dlg.GetDlgItem(8200);
    EXPECT_EQ(hide->FaceImage(Face::Flat).cacheKey(), hide->FaceImage(Face::Selected).cacheKey());
    ui::CVtxButton* left = dlg.GetDlgItem(8240);
    const qint64 leftFace = left->FaceImage(Face::Flat).cacheKey();
    EXPECT_TRUE(dlg.SwitchToNtscQvga());
    EXPECT_TRUE(dlg.SwitchToNtscVga());
    EXPECT_EQ(left->FaceImage(Face::Flat).cacheKey(), leftFace);
}

TEST_F(MainWindowTest, MissingFirstBackgroundLeavesEveryBackgroundEmpty) {
    test_support::TempFolder folder;
    std::filesystem::copy(std::filesystem::path(TORVEL_SKIN_DIR) / "BMP", folder.Path() / "BMP",
                          std::filesystem::copy_options::recursive);
    std::filesystem::remove(folder.Path() / "BMP" / "N_QVGA_BG.bmp");
    platform::SetProgramFolder(folder.Path());

    CTorvelDlg& dlg = Open(0, 19, 0);
    EXPECT_FALSE(dlg.LoadBackgroundBitmaps());
    for (int mode = 0; mode < kLayoutModeCount; ++mode) {
        EXPECT_TRUE(dlg.Background(mode, false).isNull());
        EXPECT_TRUE(dlg.Background(mode, true).isNull());
    }
    EXPECT_FALSE(dlg.grab().isNull()) << "the window still paints";
}

}  // namespace
