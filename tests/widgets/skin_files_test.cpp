#include "widgets/skin_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/paths.h"
#include "test_support/temp_folder.h"
#include "widgets/skin_image.h"
#include "widgets/vtx_button.h"

namespace {

TEST(SkinFiles, NamesAreUniqueBitmapsUnderTheSkinFolders) {
    std::set<std::string> lowerNames;
    for (const ui::SkinFile& f : ui::SkinFiles()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(f.name.starts_with("BMP\\"));
        std::string lower = f.name;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_TRUE(lower.ends_with(".bmp"));
        // The skin is looked up case-insensitively, so names differing only in case would clash.
        EXPECT_TRUE(lowerNames.insert(lower).second);
        EXPECT_GT(f.width, 0);
        EXPECT_GT(f.height, 0);
        EXPECT_EQ(ui::FindSkinFile(f.name), &f);
    }
    EXPECT_EQ(ui::FindSkinFile("BMP\\nothing.bmp"), nullptr);
}

// A skin folder with one small bitmap, "BMP\LOGIN\enter.bmp" stored in another case, and a file
// that is not a bitmap.
class SkinImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "bmp" / "Login");
        QImage image(5, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(QString::fromStdString(enter.string()), "BMP"));
        std::FILE* junk = std::fopen((folder.Path() / "bmp/junk.bmp").c_str(), "w");
        std::fputs("not a bitmap", junk);
        std::fclose(junk);
        platform::SetProgramFolder(folder.Path());
    }
    void TearDown() override { platform::SetProgramFolder({}); }

    test_support::TempFolder folder;
    const std::filesystem::path enter = folder.Path() / "bmp/Login/Enter.BMP";
};

TEST_F(SkinImageTest, LoadsByTheWindowsNameInAnyCaseAndFailsQuietly) {
    const QImage loaded = ui::LoadSkinImage("BMP\\LOGIN\\enter.bmp");
    EXPECT_EQ(loaded.size(), QSize(5, 3));
    EXPECT_EQ(loaded.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_TRUE(ui::LoadSkinImage("BMP\\LOGIN\\missing.bmp").isNull());
    EXPECT_TRUE(ui::LoadSkinImage("BMP\\junk.bmp").isNull());
    EXPECT_TRUE(ui::LoadSkinImage("").isNull());
}

// A window's cache reads each file once: whoever asks again, its buttons among them, shares the
// first image, even once the file is gone; what is missing or no bitmap gives nothing.
TEST_F(SkinImageTest, ACacheReadsEachFileOnceForTheWindowAndItsButtons) {
    ui::SkinImageCache cache;
    const QImage first = cache.Load("BMP\\LOGIN\\enter.bmp");
    ASSERT_EQ(first.size(), QSize(5, 3));
    std::filesystem::remove(enter);
    EXPECT_EQ(cache.Load("BMP\\LOGIN\\enter.bmp").cacheKey(), first.cacheKey());

    ui::CVtxButton button;
    button.SetImageCache(&cache);
    ASSERT_TRUE(button.LoadButtonBitmap("BMP\\LOGIN\\enter.bmp", "BMP\\LOGIN\\enter.bmp",
                                        "BMP\\LOGIN\\enter.bmp", ui::kVtxHover));
    for (const auto face : {ui::CVtxButton::Face::Flat, ui::CVtxButton::Face::Focus}) {
        EXPECT_EQ(button.FaceImage(face).cacheKey(), first.cacheKey());
    }
    for (const char* nothing : {"BMP\\junk.bmp", "BMP\\LOGIN\\missing.bmp", ""}) {
        EXPECT_TRUE(cache.Load(nothing).isNull()) << nothing;
    }
}

}  // namespace
