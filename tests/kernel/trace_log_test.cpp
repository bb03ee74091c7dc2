#include "kernel/trace_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support/temp_folder.h"

namespace {

class TraceLog : public ::testing::Test {
protected:
    TraceLog() { TraceLogInit(300, folder.Path().string() + "/"); }
    ~TraceLog() override { TraceLogClose(); }

    std::string Content() const {
        std::ifstream in(folder.Path() / "trace.log", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static std::string Lines(int first, int last) {
        std::string text;
        for (int i = first; i <= last; ++i) {
            text += "line " + std::to_string(i) + "\r\n";
        }
        return text;
    }

    void WriteLines(int first, int last) {
        for (int i = first; i <= last; ++i) {
            TraceLogWrite(("line " + std::to_string(i)).c_str());
        }
    }

    test_support::TempFolder folder;
};

TEST_F(TraceLog, FirstWriteCreatesTheFile) {
    TraceLogWrite("Start send login command");
    EXPECT_EQ(Content(), "Start send login command\r\n");
}

TEST_F(TraceLog, KeepsTheNewest300Lines) {
    WriteLines(1, 300);
    EXPECT_EQ(Content(), Lines(1, 300));
    WriteLines(301, 305);
    EXPECT_EQ(Content(), Lines(6, 305));
}

TEST_F(TraceLog, LongLinesCountAsOneLine) {
    const std::string longLine(500, 'x');
    for (int i = 0; i < 310; ++i) {
        TraceLogWrite(longLine.c_str());
    }
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        expected += longLine + "\r\n";
    }
    EXPECT_EQ(Content(), expected);
}

TEST_F(TraceLog, AnOverfullFileIsTrimmedToTheMaximum) {
    std::ofstream(folder.Path() / "trace.log", std::ios::binary) << Lines(1, 301);
    TraceLogWrite("line 302");
    EXPECT_EQ(Content(), Lines(3, 302));
}

TEST(DebugTraceFile, IsCreatedEmptyAtEveryOpen) {
    test_support::TempFolder folder;
    const std::string path = folder.Path().string() + "/DebugTrace.log";
    std::ofstream(path) << "old";
    CTraceFile file;
    ASSERT_EQ(file.Open(folder.Path().string() + "/"), 1u);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(file.Write("hello"), 1u);
    file.Close();
    EXPECT_EQ(std::filesystem::file_size(path), 7u);
    EXPECT_EQ(file.Write("closed"), 0u);
}

}  // namespace
