#include "kernel/trace_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "test_support/temp_folder.h"

namespace {

class TraceLog : public ::testing::Test {
protected:
    TraceLog() { TraceLogInit(300, folder.Path().string() + "/"); }
    ~TraceLog() override { TraceLogClose(); }

    // Everything written so far, once the log's writer has caught up.
    std::string Content() const {
        TraceLogFlush();
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

TEST_F(TraceLog, ALineIsCutAndStaysOneLine) {
    TraceLogWrite(std::string(2'000'000, 'x').c_str());
    TraceLogWrite("two\r\nlines");
    EXPECT_EQ(Content(), std::string(512, 'x') + "\r\ntwo??lines\r\n");

    // A runaway line from before lines were cut goes at the next write.
    std::ofstream(folder.Path() / "trace.log", std::ios::binary)
        << std::string(100'000, 'y') << "\r\nold\r\n";
    TraceLogWrite("new");
    EXPECT_EQ(Content(), std::string(512, 'y') + "\r\nold\r\nnew\r\n");
}

// The threads that trace never wait for the file: while another copy of the program holds the
// folder for a long update, a write returns at once, and the line lands once the folder is free.
TEST_F(TraceLog, AWriteNeverWaitsForTheFile) {
    const int held = ::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    WriteLines(1, 400);
    ::close(held);
    EXPECT_EQ(Content(), Lines(101, 400));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
        << "no temporary file is left behind";
}

// Lines from several threads all arrive, each whole, and the file never loses its lines.
TEST_F(TraceLog, ManyThreadsLoseNoLine) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                TraceLogWrite(
                    ("thread " + std::to_string(t) + " line " + std::to_string(i)).c_str());
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    std::istringstream lines(Content());
    std::set<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        seen.insert(line);
    }
    EXPECT_EQ(seen.size(), 200u);
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
