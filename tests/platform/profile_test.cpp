#include "platform/profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support/temp_folder.h"

namespace platform {
namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Profile : public ::testing::Test {
protected:
    test_support::TempFolder folder;
    std::filesystem::path file = folder.Path() / "Setting.ini";

    void Write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
};

TEST_F(Profile, NamesAreCaseInsensitiveAndMissingOrEmptyGivesDefault) {
    Write("[quarnel]\r\nServer Name=10.0.0.7\r\nusername=\r\n");
    EXPECT_EQ(ReadProfileString(file, "Quarnel", "SERVER NAME", "x"), "10.0.0.7");
    EXPECT_EQ(ReadProfileString(file, "Quarnel", "Username", "admin"), "admin");
    EXPECT_EQ(ReadProfileString(file, "Quarnel", "Missing", "d"), "d");
    EXPECT_EQ(ReadProfileString(file, "Other", "Server Name", "d"), "d");
    EXPECT_EQ(ReadProfileString(folder.Path() / "none.ini", "Quarnel", "k", "d"), "d");
}

TEST_F(Profile, IntegersParseLikeTheClassicReader) {
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"42", 42},       {"  17", 17},      {"-5", -5},
        {"+8", 8},        {"12abc", 12},     {"abc", 0},
        {"65616", 65616}, {"4294967297", 1}, {"-2147483648", -2147483648LL},
    };
    for (const auto& c : cases) {
        Write(std::string("[Q]\r\nk=") + c.text + "\r\n");
        EXPECT_EQ(ReadProfileInt(file, "Q", "k", 99), c.expected) << c.text;
    }
    Write("[Q]\r\nk=\r\n");
    EXPECT_EQ(ReadProfileInt(file, "Q", "k", 99), 99);
}

// Many keys from one read: the first section of the name counts and in it the first line of
// each key, as with one key at a time.
TEST_F(Profile, ASectionReadsEveryKeyItWasAskedFor) {
    Write(
        "[Other]\r\nport=1\r\n[QUARNEL]\r\nPort=80\r\nname='cam'\r\nport=81\r\nempty=\r\n"
        "[Quarnel]\r\nlate=1\r\n");
    const ProfileSection values(file, "Quarnel", {"port", "Name", "empty", "late", "absent"});
    EXPECT_EQ(values.Int("PORT", 0), 80);
    EXPECT_EQ(values.String("name", "x"), "cam");
    EXPECT_EQ(values.String("empty", "fallback"), "fallback");
    EXPECT_EQ(values.Int("late", 7), 7) << "a second section of the name is not read";
    EXPECT_EQ(values.String("absent", "d"), "d");
    EXPECT_EQ(values.String("not asked", "d"), "d");
}

TEST_F(Profile, StringsAreCutTo255Characters) {
    Write("[Q]\r\nk=" + std::string(300, 'a') + "\r\n");
    EXPECT_EQ(ReadProfileString(file, "Q", "k", ""), std::string(255, 'a'));
}

TEST_F(Profile, WriteReplacesInPlaceAppendsToSectionAndKeepsOtherLines) {
    Write(
        "; "
        "comment\r\n[A]\r\nx=1\r\n\r\n[Quarnel]\r\nServerPort=80\r\nUser=a\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(WriteProfileString(file, "quarnel", "serverport", "8080"));
    ASSERT_TRUE(WriteProfileString(file, "Quarnel", "New Key", "v"));
    ASSERT_TRUE(WriteProfileString(file, "C", "z", "3"));
    EXPECT_EQ(ReadAll(file),
              "; comment\r\n[A]\r\nx=1\r\n\r\n[Quarnel]\r\nserverport=8080\r\nUser=a\r\n"
              "New Key=v\r\n\r\n[B]\r\ny=2\r\n[C]\r\nz=3\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

TEST_F(Profile, AValueWithALineBreakWritesNoKeysOfItsOwn) {
    ASSERT_TRUE(
        WriteProfileString(file, "Quarnel", "Server Name", "cam\r\n[Quarnel]\r\nRecord Path=/etc"));
    ASSERT_TRUE(WriteProfileString(file, "Quarnel", "Username", "a\nb"));
    EXPECT_EQ(ReadAll(file), "[Quarnel]\r\nServer Name=cam\r\nUsername=a\r\n");
}

// A lone carriage return ends a line as a line feed does: no value read holds one, so what is
// read is what writing it back keeps.
TEST_F(Profile, ALoneCarriageReturnEndsALine) {
    std::ofstream(file, std::ios::binary) << "[Quarnel]\r\nServer Name=10.0.0.5\rPort=81\r\n";
    EXPECT_EQ(ReadProfileString(file, "Quarnel", "Server Name", ""), "10.0.0.5");
    EXPECT_EQ(ReadProfileInt(file, "Quarnel", "Port", 0), 81);
}

TEST_F(Profile, WriteCreatesTheFile) {
    ASSERT_TRUE(WriteProfileString(file, "Quarnel", "k", "v"));
    EXPECT_EQ(ReadAll(file), "[Quarnel]\r\nk=v\r\n");
}

TEST_F(Profile, AFileThatCannotBeReadIsNeitherReplacedNorReportedWritten) {
    // A folder where the file should be: it opens but cannot be read, like a file without read
    // permission (which the tests, running as any user, cannot count on).
    std::filesystem::create_directory(file);
    std::ofstream(file / "keep") << "x";
    EXPECT_FALSE(WriteProfileString(file, "Q", "k", "new"));
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_TRUE(std::filesystem::exists(file / "keep"));
}

TEST_F(Profile, OnePairOfSurroundingQuotesIsDropped) {
    const struct {
        const char* stored;
        const char* read;
    } cases[] = {
        {"\"10.0.0.5\"", "10.0.0.5"}, {"'/home/u/Rec'", "/home/u/Rec"},
        {"\"\"a\"\"", "\"a\""},       {"\"open", "\"open"},
        {"'mixed\"", "'mixed\""},     {"say \"hi\"", "say \"hi\""},
        {"\"\"", "fallback"},         {"\"", "\""},
    };
    for (const auto& c : cases) {
        Write(std::string("[Q]\r\nk=") + c.stored + "\r\n");
        EXPECT_EQ(ReadProfileString(file, "Q", "k", "fallback"), c.read) << c.stored;
    }
    Write("[Q]\r\nport=\"8080\"\r\n");
    EXPECT_EQ(ReadProfileInt(file, "Q", "port", 80), 8080);
}

}  // namespace
}  // namespace platform
