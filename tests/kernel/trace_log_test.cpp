#include "kernel/trace_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/file_gate.h"
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
// folder's lock for a long update, a write returns at once, and the line lands once it is free.
TEST_F(TraceLog, AWriteNeverWaitsForTheFile) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t copy = ::fork();
    if (copy == 0) {
        platform::UpdateFileAtomically(folder.Path() / "trace.log", 1 << 20,
                                       [&](const platform::FileSnapshot&) {
                                           static_cast<void>(::write(ready[1], "x", 1));
                                           ::pause();
                                           return std::optional<std::string>();
                                       });
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    WriteLines(1, 400);
    ::kill(copy, SIGKILL);
    ::waitpid(copy, nullptr, 0);
    EXPECT_EQ(Content(), Lines(101, 400));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
        << "no temporary file is left behind";
}

// A FIFO at the log's name is never opened, so the writer never waits on it, and closing the log
// does not wait either; a log larger than the program ever writes is kept aside for a new one.
TEST_F(TraceLog, NeitherAFifoNorAHugeLogHoldsTheWriter) {
    const std::filesystem::path log = folder.Path() / "trace.log";
    ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0);
    TraceLogWrite("lost");
    TraceLogFlush();
    EXPECT_TRUE(std::filesystem::is_fifo(log));

    std::filesystem::remove(log);
    { std::ofstream(log) << "old\r\n"; }
    ASSERT_EQ(::truncate(log.c_str(), 500 << 20), 0);
    TraceLogWrite("new");
    EXPECT_EQ(Content(), "new\r\n");
    EXPECT_EQ(std::filesystem::file_size(folder.Path() / "trace.log.damaged"), 500u << 20);
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

// A new empty file takes the name's place: nothing the name pointed at is ever truncated unless
// the link rule follows it, and a FIFO there is not waited on.
TEST(DebugTraceFile, APlantedLinkOrFifoTruncatesNothing) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser can give a link to another user";
    }
    test_support::TempFolder program;
    test_support::TempFolder elsewhere;
    const std::filesystem::path name = program.Path() / "DebugTrace.log";
    const std::filesystem::path someones = elsewhere.Path() / "notes.txt";
    const struct {
        const char* name;
        bool fifo;
        uid_t linkOwner;
        bool opened;
    } cases[] = {
        {"the user's own link", false, 0, true},
        {"another user's link in a group-writable folder", false, 65534, false},
        {"a FIFO", true, 0, false},
    };
    ASSERT_EQ(::chmod(program.Path().c_str(), 0775), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(name);
        std::ofstream(someones) << "14 bytes here.";
        if (c.fifo) {
            ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
        } else {
            std::filesystem::create_symlink(someones, name);
            ASSERT_EQ(::lchown(name.c_str(), c.linkOwner, 0), 0);
        }
        CTraceFile file;
        EXPECT_EQ(file.Open(program.Path().string() + "/"), c.opened ? 1u : 0u);
        EXPECT_EQ(std::filesystem::file_size(someones), c.opened && !c.fifo ? 0u : 14u);
    }
}

}  // namespace
