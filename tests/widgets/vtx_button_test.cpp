#include "widgets/vtx_button.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <filesystem>

#include "platform/paths.h"
#include "test_support/temp_folder.h"

namespace {

using ui::CVtxButton;
using Face = CVtxButton::Face;

// Skin files of one solid colour each, so that a shown image tells which file it came from.
class VtxButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_folder.Path() / "BMP");
        platform::SetProgramFolder(m_folder.Path());
        int shade = 10;
        for (const char* name : {"flat", "focus", "selected", "img0", "hover0", "img1", "hover1",
                                 "img2", "hover2", "single", "other"}) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(QColor(shade, 255 - shade, 100));
            shade += 20;
            image.save(QString::fromStdString((m_folder.Path() / "BMP" / name).string() + ".bmp"),
                       "BMP");
        }
        m_button.setGeometry(0, 0, 8, 8);
    }
    void TearDown() override { platform::SetProgramFolder({}); }

    static QRgb ColourOf(const QImage& image) { return image.isNull() ? 0 : image.pixel(0, 0); }
    QRgb Shown() const { return ColourOf(m_button.ShownImage()); }
    QRgb Loaded(Face face, int index = 0) const {
        return ColourOf(m_button.FaceImage(face, index));
    }

    void LoadThree(std::uint16_t style) {
        ASSERT_TRUE(m_button.LoadButtonBitmap("BMP\\flat.bmp", "BMP\\focus.bmp",
                                              "BMP\\selected.bmp", style));
    }
    void LoadList(std::uint16_t count, std::uint16_t style) {
        const std::string_view files[] = {"BMP\\img0.bmp",   "BMP\\hover0.bmp", "BMP\\img1.bmp",
                                          "BMP\\hover1.bmp", "BMP\\img2.bmp",   "BMP\\hover2.bmp"};
        ASSERT_TRUE(m_button.LoadButtonBitmap(count, files, style));
    }

    void Enter() {
        QEnterEvent event(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
        QCoreApplication::sendEvent(&m_button, &event);
    }
    void Leave() {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(&m_button, &event);
    }
    void Mouse(QEvent::Type type) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&m_button, &event);
    }
    void Press() { Mouse(QEvent::MouseButtonPress); }
    void Release() { Mouse(QEvent::MouseButtonRelease); }
    void Click() {
        Press();
        Release();
    }

    test_support::TempFolder m_folder;
    CVtxButton m_button;
};

TEST_F(VtxButtonTest, ProgramChosenListFollowsIndexHoverAndLeave) {
    LoadList(2, ui::kVtxListByProgram);
    EXPECT_EQ(m_button.SetImageIndex(1), 1);
    EXPECT_EQ(Shown(), Loaded(Face::Image, 1));
    Enter();
    EXPECT_EQ(Shown(), Loaded(Face::HoverImage, 1));
    Leave();
    EXPECT_EQ(Shown(), Loaded(Face::Image, 1));
    EXPECT_EQ(m_button.SetImageIndex(5), 1) << "an index past the list keeps the current one";
    EXPECT_EQ(m_button.GetImageIndex(), 1);
    EXPECT_EQ(m_button.SetImageIndex(-1), 0);
    EXPECT_EQ(m_button.GetImageIndex(), 1) << "asking changes nothing";
    m_button.SetImageIndex(0);
    EXPECT_EQ(m_button.SetImageIndex(-1), 1) << "the previous index wraps to the last";
}

TEST_F(VtxButtonTest, ThreeBitmapButtonHasNoImageList) {
    LoadThree(ui::kVtxHover);
    EXPECT_EQ(m_button.SetImageIndex(0), -1);
    EXPECT_EQ(m_button.GetImageIndex(), 0);
    EXPECT_EQ(Shown(), Loaded(Face::Flat));
}

// What the pointer over the button shows, by style: the focus bitmap, the hover image of the
// current entry, or nothing new.
TEST_F(VtxButtonTest, HoverPictureByStyle) {
    struct Case {
        std::uint16_t style;
        bool list;
        Face hovered;
    };
    const Case cases[] = {
        {ui::kVtxHover, false, Face::Focus},
        {ui::kVtxPushHover, false, Face::Focus},
        {ui::kVtxPush, false, Face::Flat},
        {ui::kVtxListByClick, true, Face::HoverImage},
        {ui::kVtxListByProgram, true, Face::HoverImage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        if (c.list) {
            LoadList(2, c.style);
        } else {
            LoadThree(c.style);
        }
        Enter();
        EXPECT_EQ(Shown(), Loaded(c.hovered));
        EXPECT_EQ(m_button.IsHovered(), c.hovered != Face::Flat);
        Leave();
        EXPECT_EQ(Shown(), Loaded(c.list ? Face::Image : Face::Flat));
        EXPECT_FALSE(m_button.IsHovered());
    }
}

TEST_F(VtxButtonTest, PushShowsSelectedWhileHeldAndFlatAfterRelease) {
    for (std::uint16_t style : {ui::kVtxPush, ui::kVtxPushHover}) {
        SCOPED_TRACE(style);
        LoadThree(style);
        Enter();
        Press();
        EXPECT_TRUE(m_button.IsHeldDown());
        EXPECT_EQ(Shown(), Loaded(Face::Selected));
        Release();
        EXPECT_FALSE(m_button.IsHeldDown());
        EXPECT_EQ(Shown(), Loaded(Face::Flat)) << "release draws the flat bitmap, hovered or not";
        Leave();
        EXPECT_EQ(Shown(), Loaded(Face::Flat));
    }
}

TEST_F(VtxButtonTest, ClickReachesTheOwner) {
    LoadThree(ui::kVtxPushHover);
    int clicks = 0;
    QObject::connect(&m_button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    Click();
    EXPECT_EQ(clicks, 1);
}

// Space and Enter on the focused button press it as the mouse does: held while the key is down,
// one click on its release, the window behind never hearing of it. Other keys, and Enter with a
// modifier, are not the button's.
TEST_F(VtxButtonTest, SpaceOrEnterPressesTheButtonAsTheMouseDoes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool presses;
    } cases[] = {
        {Qt::Key_Space, Qt::NoModifier, true},     {Qt::Key_Return, Qt::NoModifier, true},
        {Qt::Key_Enter, Qt::KeypadModifier, true}, {Qt::Key_Return, Qt::ControlModifier, false},
        {Qt::Key_A, Qt::NoModifier, false},        {Qt::Key_Escape, Qt::NoModifier, false},
    };
    LoadThree(ui::kVtxPush);
    int clicks = 0;
    QObject::connect(&m_button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        clicks = 0;
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        QCoreApplication::sendEvent(&m_button, &press);
        EXPECT_EQ(press.isAccepted(), c.presses);
        EXPECT_EQ(m_button.IsHeldDown(), c.presses);
        EXPECT_EQ(Shown(), Loaded(c.presses ? Face::Selected : Face::Flat));
        // The key repeats while held: still one press.
        QKeyEvent repeat(QEvent::KeyPress, c.key, c.modifiers, QString(), true);
        QCoreApplication::sendEvent(&m_button, &repeat);
        QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers);
        QCoreApplication::sendEvent(&m_button, &release);
        EXPECT_EQ(clicks, c.presses ? 1 : 0);
        EXPECT_FALSE(m_button.IsHeldDown());
        EXPECT_EQ(Shown(), Loaded(Face::Flat));
    }
}

TEST_F(VtxButtonTest, ClickSteppedListAdvancesAndWraps) {
    LoadList(3, ui::kVtxListByClick);
    for (int expected : {1, 2, 0, 1}) {
        Click();
        EXPECT_EQ(m_button.GetImageIndex(), expected);
        EXPECT_EQ(Shown(), Loaded(Face::Image, expected));
    }
    Enter();
    EXPECT_EQ(Shown(), Loaded(Face::HoverImage, 1)) << "hovering shows the current entry's hover";
}

TEST_F(VtxButtonTest, ClickSteppedButtonWithoutImagesIgnoresClicks) {
    ASSERT_TRUE(m_button.LoadButtonBitmap(0, nullptr, ui::kVtxListByClick));
    for (int i = 0; i < 5; ++i) {
        Click();
    }
    EXPECT_EQ(m_button.GetImageIndex(), 0);
    EXPECT_TRUE(m_button.ShownImage().isNull());
}

TEST_F(VtxButtonTest, ReloadWithFewerImagesDrawsTheLastOne) {
    LoadList(3, ui::kVtxListByProgram);
    m_button.SetImageIndex(2);
    LoadList(2, ui::kVtxListByProgram);
    EXPECT_EQ(m_button.GetImageIndex(), 2) << "a reload leaves the index alone";
    EXPECT_EQ(Shown(), Loaded(Face::Image, 1));
    Enter();
    EXPECT_EQ(Shown(), Loaded(Face::HoverImage, 1));
}

TEST_F(VtxButtonTest, SingleImageShowsInEveryStateAndReplacesTheOldOne) {
    ASSERT_TRUE(m_button.LoadButtonBitmap("BMP\\other.bmp", ui::kVtxSingle));
    ASSERT_TRUE(m_button.LoadButtonBitmap("BMP\\single.bmp", ui::kVtxSingle));
    EXPECT_EQ(m_button.GetImageCount(), 0);
    const QRgb single = Loaded(Face::Image, 0);
    EXPECT_EQ(Shown(), single);
    Enter();
    Press();
    EXPECT_EQ(Shown(), single);
    Release();
    Leave();
    EXPECT_EQ(Shown(), single);
    EXPECT_EQ(m_button.SetImageIndex(0), -1);
}

TEST_F(VtxButtonTest, FailedLoadsKeepWhatLoadedAndTheOldStyle) {
    LoadThree(ui::kVtxHover);
    EXPECT_FALSE(m_button.LoadButtonBitmap("BMP\\other.bmp", "BMP\\missing.bmp",
                                           "BMP\\selected.bmp", ui::kVtxPush));
    EXPECT_EQ(m_button.GetStyle(), ui::kVtxHover);
    EXPECT_FALSE(m_button.FaceImage(Face::Flat).isNull());
    EXPECT_TRUE(m_button.FaceImage(Face::Focus).isNull());
    EXPECT_TRUE(m_button.FaceImage(Face::Selected).isNull());

    const std::string_view files[] = {"BMP\\img0.bmp", "BMP\\hover0.bmp", "BMP\\missing.bmp",
                                      "BMP\\hover1.bmp"};
    EXPECT_FALSE(m_button.LoadButtonBitmap(2, files, ui::kVtxListByProgram));
    EXPECT_EQ(m_button.GetStyle(), ui::kVtxHover);
    EXPECT_EQ(m_button.GetImageCount(), 2);
    EXPECT_FALSE(m_button.FaceImage(Face::HoverImage, 0).isNull());
    EXPECT_TRUE(m_button.FaceImage(Face::Image, 1).isNull());

    EXPECT_FALSE(m_button.LoadButtonBitmap("BMP\\missing.bmp", ui::kVtxSingle));
    EXPECT_EQ(m_button.GetStyle(), ui::kVtxHover);
}

TEST_F(VtxButtonTest, ThreeStatesByClickAndByNumber) {
    LoadThree(ui::kVtxThreeByClick);
    for (Face expected : {Face::Focus, Face::Selected, Face::Flat, Face::Focus}) {
        Click();
        EXPECT_EQ(Shown(), Loaded(expected));
    }

    Click();
    ASSERT_EQ(m_button.GetImageIndex(), 2);

    // Numbered states read the same index: 1 flat, 2 focus, 3 selected.
    LoadThree(ui::kVtxThreeByNumber);
    EXPECT_EQ(Shown(), Loaded(Face::Focus));
}

}  // namespace
