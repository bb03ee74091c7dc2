#include "widgets/skin_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/paths.h"
#include "test_support/temp_folder.h"
#include "widgets/skin_image.h"

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

TEST(SkinImage, LoadsByTheWindowsNameInAnyCaseAndFailsQuietly) {
    test_support::TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bmp" / "Login");
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString((folder.Path() / "bmp/Login/Enter.BMP").string()),
                           "BMP"));
    std::FILE* junk = std::fopen((folder.Path() / "bmp/junk.bmp").c_str(), "w");
    std::fputs("not a bitmap", junk);
    std::fclose(junk);

    platform::SetProgramFolder(folder.Path());
    const QImage loaded = ui::LoadSkinImage("BMP\\LOGIN\\enter.bmp");
    EXPECT_EQ(loaded.size(), QSize(5, 3));
    EXPECT_EQ(loaded.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_TRUE(ui::LoadSkinImage("BMP\\LOGIN\\missing.bmp").isNull());
    EXPECT_TRUE(ui::LoadSkinImage("BMP\\junk.bmp").isNull());
    EXPECT_TRUE(ui::LoadSkinImage("").isNull());
    platform::SetProgramFolder({});
}

}  // namespace
