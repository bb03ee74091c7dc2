#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>

#include "kernel/kernel_object.h"
#include "login/connecting_dlg.h"
#include "login/information_dlg.h"
#include "login/mpeg4_stream_dlg.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"
#include "widgets/vtx_button.h"

namespace {

TEST(ConnectingDlgTest, DotsRunFromOneToElevenAndTheAnswerEndsTheWait) {
    KernelObject app;
    g_lpApp = &app;
    app.h_DeviceAnswerEvent = platform::CreateEventObject(false, false);
    CConnectingDlg dialog;
    std::vector<int> dots;
    for (int i = 0; i < 12; ++i) {
        dialog.OnTimer(CConnectingDlg::kDotsTimer);
        const std::string text = dialog.m_staticText->text().toStdString();
        ASSERT_EQ(text.rfind("Connecting", 0), 0u) << text;
        dots.push_back(static_cast<int>(text.size() - std::string("Connecting").size()));
    }
    // Shared by every box: whatever the start, the count climbs by one and wraps 11 to 1.
    for (std::size_t i = 1; i < dots.size(); ++i) {
        EXPECT_EQ(dots[i], dots[i - 1] % 11 + 1);
    }
    EXPECT_FALSE(dialog.m_fDeviceAnswered);
    platform::SetEvent(app.h_DeviceAnswerEvent);
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.OnTimer(CConnectingDlg::kDotsTimer); });
    QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-2); });
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_TRUE(dialog.m_fDeviceAnswered);
    platform::CloseObject(app.h_DeviceAnswerEvent.Take());
    g_lpApp = nullptr;
}

TEST(ConnectingDlgTest, NoAnswerEndsTheProgram) {
    test_support::RecordingMessageSink messages;
    CConnectingDlg dialog;
    bool ended = false;
    dialog.m_endProgram = [&ended] { ended = true; };
    dialog.OnTimer(CConnectingDlg::kGiveUpTimer);
    EXPECT_TRUE(ended);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Cann't detect server!!"});
}

TEST(Mpeg4StreamDlgTest, NumbersOutsideTheirRangesAreRefused) {
    const struct {
        const char* bitRate;
        const char* width;
        bool accepted;
    } cases[] = {
        {"49", "720", false}, {"2001", "720", false}, {"50", "721", false},
        {"x", "720", false},  {"50", "720", true},    {"2000", "1", true},
    };
    for (const auto& c : cases) {
        test_support::RecordingMessageSink messages;
        CMpeg4StreamDlg dialog;
        dialog.m_editTargetBitRate->setText(c.bitRate);
        dialog.m_editGOP->setText("30");
        dialog.m_editImageWidth->setText(c.width);
        dialog.m_editImageHeight->setText("576");
        dialog.accept();
        EXPECT_EQ(dialog.result(), c.accepted ? QDialog::Accepted : QDialog::Rejected) << c.bitRate;
        EXPECT_EQ(messages.Texts().empty(), c.accepted) << c.bitRate << " " << c.width;
        if (c.accepted) {
            EXPECT_EQ(dialog.m_dwImageWidth, static_cast<std::uint32_t>(std::stoi(c.width)));
        } else {
            EXPECT_EQ(dialog.m_dwTargetBitRate, 0u) << "nothing taken from a refused box";
        }
    }
}

TEST(ApplicationInfoDialogTest, NeedsItsBitmapsAndShowsItsOwnVersion) {
    test_support::TempFolder folder;
    platform::SetProgramFolder(folder.Path());
    std::filesystem::create_directories(folder.Path() / "BMP");
    for (const char* name :
         {"BMP/login_background.bmp", "BMP/login_ok.bmp", "BMP/login_ok_over.bmp"}) {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::gray);
        ASSERT_TRUE(image.save(QString::fromStdString((folder.Path() / name).string()), "BMP"));
    }
    {
        CApplicationInfoDialog dialog;
        EXPECT_FALSE(dialog.OnInitDialog()) << "no logo";
        EXPECT_EQ(dialog.m_strVersion, "");
        EXPECT_EQ(dialog.DoModal(), -1);
    }
    QImage logo(71, 74, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    ASSERT_TRUE(
        logo.save(QString::fromStdString((folder.Path() / "BMP/ORVANE_LOGO.bmp").string()), "BMP"));
    CApplicationInfoDialog dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.m_strVersion, "Version : 1.0.1.6");
    EXPECT_EQ(dialog.size(), QSize(304, 238));
    const QImage shown = dialog.grab().toImage();
    EXPECT_EQ(shown.pixelColor(40, 70), QColor(Qt::blue)) << "the logo";
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.m_OKButton->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    platform::SetProgramFolder({});
}

}  // namespace
