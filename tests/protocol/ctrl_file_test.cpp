#include "protocol/ctrl_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "kernel/kernel_object.h"
#include "platform/paths.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

std::vector<CtrlProtocol> Parse(const std::string& text) {
    std::vector<CtrlProtocol> records;
    EXPECT_EQ(ParseCtrlFile(text, records), 1u);
    return records;
}

TEST(CtrlFile, LinesAreCleanedAndUpperCased) {
    std::string line;
    EXPECT_EQ(ReadCtrlLine("x%d\tx02\r\nnext", line), 9u);
    EXPECT_EQ(line, "X%DX02");
    EXPECT_EQ(ReadCtrlLine("x01\rnext", line), 4u);
    EXPECT_EQ(line, "X01");
    EXPECT_EQ(ReadCtrlLine("last line without LF", line), 20u);
    EXPECT_EQ(line, "LAST LINE WITHOUT LF");
    EXPECT_EQ(ReadCtrlLine(std::string(300, 'a'), line), 300u);
    EXPECT_EQ(line.size(), 129u);  // cut to the line buffer
}

TEST(CtrlFile, HexBytes) {
    const struct {
        const char* two;
        std::uint8_t value;
    } cases[] = {{"1F", 0x1F}, {"1f", 0x1F}, {"%D", 13}, {"%2", 2}, {"ZZ", 0}, {"G1", 1}};
    for (const auto& c : cases) {
        std::uint8_t out = 0xEE;
        HexByte(c.two, out);
        EXPECT_EQ(out, c.value) << c.two;
    }
}

TEST(CtrlFile, KeyLinesAndPlaceholders) {
    KeyCommandEntry entry;
    ASSERT_TRUE(ParseKeyCommandLine(entry, "X03 X02 X%D X%2"));
    EXPECT_EQ(entry.pBytes, (std::vector<std::uint8_t>{0x02, 13, 2}));
    EXPECT_EQ(entry.dwPlaceholderMask, 0b110u);

    bool shortTemplate = false;
    ASSERT_TRUE(ParseKeyCommandLine(entry, "X04 X01 X02", &shortTemplate));
    EXPECT_EQ(entry.pBytes, (std::vector<std::uint8_t>{1, 2, 0, 0}));
    EXPECT_TRUE(shortTemplate);

    std::string beyond = "X21";
    for (int i = 0; i < 33; ++i) {
        beyond += i == 32 ? " X%1" : " X00";
    }
    EXPECT_FALSE(ParseKeyCommandLine(entry, beyond));  // a placeholder past byte 31
}

TEST(CtrlFile, RecordsSectionsAndParameters) {
    test_support::RecordingMessageSink messages;
    const auto records = Parse(
        "; comment\n"
        "[device number]\n2\n"
        "[DEVICE NAME]\n4ch dmr\n"
        "[PARAMETER]\n%3=X1F\n"
        "[CH1]\nx03 x02 x%d x%2\n"
        "[CH1]\nX01 X09\n"   // a later key line replaces the earlier one
        "[CH2] \nX01 X07\n"  // a trailing blank names no section: refused
        "[POWER]\nX01 X3F\n"
        "[DISPLAY]\n4\n"
        "[DEVICE NAME]\n" +
        std::string(100, 'N') +
        "\n"
        "[EOF]\nEND\n"
        "[DEVICE NAME]\nAFTER THE END\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].szName, "4CH DMR");
    EXPECT_EQ(records[0].abParameter[3], 0x1F);
    EXPECT_EQ(records[0].Keys[0].pBytes, std::vector<std::uint8_t>{9});
    EXPECT_TRUE(records[0].Keys[1].pBytes.empty());
    EXPECT_EQ(records[0].PowerKey.pBytes, std::vector<std::uint8_t>{0x3F});
    EXPECT_EQ(records[0].bDisplay, 4);
    EXPECT_EQ(records[1].szName, std::string(79, 'N'));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"CtrlFile.ini: line 13 refused."});
}

TEST(CtrlFile, UnguardedLinesAreRefused) {
    test_support::RecordingMessageSink messages;
    const auto records = Parse(
        "X01 X02\n"               // no section
        "[CH1]\nX01 X02\n"        // a key before any record
        "[DEVICE NAME]\nEARLY\n"  // a name before the count
        "[DEVICE NUMBER]\n1\n"
        "[DEVICE NUMBER]\n5\n"  // a second count
        "[DEVICE NAME]\nONE\n"
        "[DEVICE NAME]\nTWO\n"    // more names than declared
        "[PARAMETER]\n%A=X01\n"   // not a decimal digit
        "[UNKNOWN]\nX01 X02\n");  // no END: the data's end ends the file
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].szName, "ONE");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"CtrlFile.ini: lines 1, 3, 5, 9, 13, "
                                                         "15, 17 refused."});
}

TEST(CtrlFile, AFileOfGarbageIsToldInOneBox) {
    test_support::RecordingMessageSink messages;
    std::string garbage = "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nONE\n[CH1]\nX04 X01\n";
    for (int i = 0; i < 79; ++i) {
        garbage += "[NOISE]\n\x01garbage\n";
    }
    std::vector<CtrlProtocol> records;
    ParseCtrlFile(garbage, records, "/opt/torvel/CtrlFile.ini");
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{
                  "/opt/torvel/CtrlFile.ini: lines 8, 10, 12, 14, 16, 18, 20, 22, 24, 26 and 69 "
                  "more refused.\n/opt/torvel/CtrlFile.ini: line 6 holds fewer bytes than its "
                  "length says."});
}

// A file saved by any editor loads alike: lines may end in LF, CR LF or a CR alone, as in the
// settings file.
TEST(CtrlFile, EveryLineEndLoadsTheSameProtocols) {
    const std::string text =
        "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nONE\n[CH1]\nX02 X0A X%D\n[DISPLAY]\n3\n[EOF]\nEND\n";
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(end));
        std::string file;
        for (const char c : text) {
            file += c == '\n' ? end : std::string(1, c);
        }
        test_support::RecordingMessageSink messages;
        const auto records = Parse(file);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].szName, "ONE");
        EXPECT_EQ(records[0].Keys[0].pBytes, (std::vector<std::uint8_t>{0x0A, 13}));
        EXPECT_EQ(records[0].bDisplay, 3);
        EXPECT_TRUE(messages.Texts().empty());
    }
}

TEST(CtrlFile, TwoProtocolsWithOneNameBindTheFirst) {
    g_lpApp = new KernelObject;
    g_lpApp->m_lpCtrlFileRecords = Parse(
        "[DEVICE NUMBER]\n3\n[DEVICE NAME]\nPTZ\n[DEVICE NAME]\nPTZ\n[DEVICE NAME]\nKLM 300 DVR\n");
    BindDeviceProtocols();
    EXPECT_EQ(g_lpApp->m_DeviceProtocol[PTZ], 0);
    EXPECT_EQ(g_lpApp->m_DeviceProtocol[KLM300_DVR], 2);
    EXPECT_EQ(g_lpApp->m_DeviceProtocol[CAMERA], -1);
    delete g_lpApp;
    g_lpApp = nullptr;
}

TEST(CtrlFile, TheShippedFileBindsEveryDeviceType) {
    test_support::TempFolder folder;
    std::filesystem::copy_file(std::filesystem::path(TORVEL_SOURCE_DIR) / "res" / "CtrlFile.ini",
                               folder.Path() / "CtrlFile.ini");
    platform::SetProgramFolder(folder.Path());
    g_lpApp = new KernelObject;
    test_support::RecordingMessageSink messages;
    ASSERT_EQ(LoadCtrlFile(), 1u);
    BindDeviceProtocols();
    EXPECT_TRUE(messages.Texts().empty());
    for (std::size_t type = 0; type < kDeviceTypeCount; ++type) {
        EXPECT_GE(g_lpApp->m_DeviceProtocol[type], 0) << DeviceTypeNames[type];
    }
    const CtrlProtocol& klm =
        g_lpApp
            ->m_lpCtrlFileRecords[static_cast<std::size_t>(g_lpApp->m_DeviceProtocol[KLM300_DVR])];
    for (const KeyCommandEntry& key : klm.Keys) {
        EXPECT_FALSE(key.pBytes.empty());
    }
    delete g_lpApp;
    g_lpApp = nullptr;
}

TEST(CtrlFile, MissingFileIsReported) {
    test_support::TempFolder folder;
    platform::SetProgramFolder(folder.Path());
    g_lpApp = new KernelObject;
    test_support::RecordingMessageSink messages;
    EXPECT_EQ(LoadCtrlFile(), 0u);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Open device control file is failed"});

    ASSERT_EQ(WriteDefaultCtrlFile((folder.Path() / "CtrlFile.ini").string()), 1u);
    EXPECT_EQ(LoadCtrlFile(), 1u);
    ASSERT_EQ(g_lpApp->m_lpCtrlFileRecords.size(), 1u);
    EXPECT_EQ(g_lpApp->m_lpCtrlFileRecords[0].abParameter[0], 0x11);
    delete g_lpApp;
    g_lpApp = nullptr;
}

}  // namespace
