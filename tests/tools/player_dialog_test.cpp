// The player's file dialog as the user meets it: where it opens and what its columns show. Runs
// at Qt scale 1 (video_player_tests) and on a small screen at scale 2
// (video_player_small_screen_tests).
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <fstream>

#include "platform/paths.h"
#include "player_window.h"
#include "test_support/answer_dialog.h"
#include "test_support/env_override.h"
#include "test_support/pump.h"
#include "test_support/temp_folder.h"
#include "widgets/window_fit.h"

namespace {

class PlayerDialog : public ::testing::Test {
protected:
    PlayerDialog() {
        platform::SetProgramFolder(program.Path());
        std::filesystem::create_directories(records);
        std::ofstream(records / "USER20261211091500.qrn") << "x";
    }
    // What the dialog shows when it opens: its folder and, once the folder is read (when
    // `listing`), the width of the date column against the width of the record file's date in
    // the painted font, and whether the column is in sight or else the dialog as wide as its
    // screen holds it; and whether the dialog lies inside the screen's free area, frame included.
    struct Shown {
        QString folder;
        bool listed = false;
        int dateColumn = 0;
        int dateText = 0;
        bool dateInSightOrWidest = false;
        bool inside = false;
    };

    Shown ShownByTheDialog(bool listing) {
        Shown shown;
        test_support::AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
            shown.folder = dialog.directory().absolutePath();
            auto* view = dialog.findChild<QTreeView*>();
            auto* model = dialog.findChild<QFileSystemModel*>();
            if (listing && view && model) {
                const QModelIndex file = model->index(
                    QString::fromStdString((records / "USER20261211091500.qrn").string()), 3);
                shown.listed = test_support::PumpUntil([&] {
                    return file.isValid() && !file.data().toString().isEmpty() &&
                           view->visualRect(file).isValid();
                });
                const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
                shown.dateColumn = view->header()->sectionSize(3);
                shown.dateText =
                    view->fontMetrics().horizontalAdvance(file.data().toString()) + 2 * margin;
                const int room =
                    ui::RoomInside(ui::AvailableArea(dialog), ui::WindowFrame(dialog)).width();
                shown.dateInSightOrWidest = test_support::PumpUntil([&] {
                    const QHeaderView& header = *view->header();
                    return header.sectionViewportPosition(3) + header.sectionSize(3) <=
                               view->viewport()->width() ||
                           dialog.width() == room;
                });
            }
            shown.inside = ui::AvailableArea(dialog).contains(
                dialog.geometry().marginsAdded(ui::WindowFrame(dialog)));
            dialog.reject();
        });
        window.OpenWithDialog();
        return shown;
    }

    test_support::TempFolder home;
    test_support::EnvOverride homeVar{"HOME", home.Path().string()};
    test_support::EnvOverride configVar{"XDG_CONFIG_HOME", std::nullopt};
    test_support::TempFolder program;
    std::filesystem::path records = home.Path() / "records";
    PlayerWindow window;
};

// The dialog opens in the record folder that Setting.ini beside the program names, inside the
// screen, and shows every record file's date whole, in sight where the screen is wide enough.
TEST_F(PlayerDialog, OpensInTheRecordFolderWithItsDatesWhole) {
    std::ofstream(program.Path() / "Setting.ini")
        << "[Quarnel]\r\nRecord Path=" << records.string() << "\r\n";
    window.show();
    const Shown shown = ShownByTheDialog(true);
    EXPECT_EQ(shown.folder.toStdString(), records.string());
    ASSERT_TRUE(shown.listed) << "the record file is listed with its date";
    EXPECT_GE(shown.dateColumn, shown.dateText);
    EXPECT_TRUE(shown.dateInSightOrWidest);
    EXPECT_TRUE(shown.inside);
    EXPECT_TRUE(ui::AvailableArea(window).contains(
        window.geometry().marginsAdded(ui::WindowFrame(window))));
}

// Without a record folder in the settings the dialog opens where the client records by default:
// the desktop folder.
TEST_F(PlayerDialog, WithoutSettingsOpensOnTheDesktop) {
    const Shown shown = ShownByTheDialog(false);
    EXPECT_EQ(shown.folder.toStdString(), (home.Path() / "Desktop").string());
}

}  // namespace
