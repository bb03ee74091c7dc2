#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "test_support/env_override.h"
#include "test_support/temp_folder.h"

namespace platform {
namespace {

TEST(Paths, DesktopComesFromXdgUserDirsThenHome) {
    test_support::TempFolder home;
    test_support::EnvOverride homeVar("HOME", home.Path().string());
    test_support::EnvOverride configVar("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(DesktopFolder(), home.Path() / "Desktop");

    std::filesystem::create_directories(home.Path() / ".config");
    std::ofstream(home.Path() / ".config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    EXPECT_EQ(DesktopFolder(), home.Path() / "Schreibtisch");
}

TEST(Paths, NoHomeMeansNoDesktop) {
    test_support::EnvOverride homeVar("HOME", std::nullopt);
    EXPECT_FALSE(DesktopFolder());
}

TEST(Paths, FolderTextsEndInOneSeparator) {
    EXPECT_EQ(WithTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(WithTrailingSeparator("/a/b//"), "/a/b/");
    EXPECT_EQ(WithTrailingSeparator("C:\\x\\"), "C:/x/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(Paths, TheFolderOfAFile) {
    const struct {
        const char* file;
        const char* folder;
    } cases[] = {
        {"/home/u/fw/KERNEL.BIN", "/home/u/fw"},
        {"/KERNEL.BIN", "/"},
        {"rec/a.qrn", "rec"},
        {"KERNEL.BIN", "."},
        // A backslash is part of a name here, not a separator.
        {"/home/u/odd\\name.ini", "/home/u"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.file), c.folder) << c.file;
    }
}

TEST(Paths, DesignPathsResolveWithBackslashesAndAnyCase) {
    test_support::TempFolder base;
    std::filesystem::create_directories(base.Path() / "BMP" / "LOGIN");
    std::ofstream(base.Path() / "BMP" / "LOGIN" / "Login_Bk.bmp") << "x";
    EXPECT_EQ(ResolvePath(base.Path(), "BMP\\LOGIN\\Login_Bk.bmp"),
              base.Path() / "BMP" / "LOGIN" / "Login_Bk.bmp");
    EXPECT_EQ(ResolvePath(base.Path(), "bmp\\login\\LOGIN_BK.BMP"),
              base.Path() / "BMP" / "LOGIN" / "Login_Bk.bmp");
    EXPECT_EQ(ResolvePath(base.Path(), "BMP\\none.bmp"), base.Path() / "BMP" / "none.bmp");
}

}  // namespace
}  // namespace platform
