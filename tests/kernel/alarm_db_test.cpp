#include "kernel/alarm_db.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class AlarmData : public ::testing::Test {
protected:
    Bytes FileBytes() const {
        std::ifstream in(folder.Path() / "AlarmData.dat", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::uint32_t U32At(const Bytes& b, std::size_t at) {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
    }
    static std::uint16_t U16At(const Bytes& b, std::size_t at) {
        return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
    }
    static std::string TextAt(const Bytes& b, std::size_t at) {
        return std::string(reinterpret_cast<const char*>(&b[at]));
    }

    void Record(SystemConfig& db, const std::string& path, std::uint32_t frames) {
        db.NewAlarmDataItem(path);
        db.SetPendingCaptureTime(2026, 12, 10, 13, 14, 15);
        ASSERT_EQ(db.AppendAlarmData(folder.Path().string(), frames, "192.168.1.10"), 1u);
    }

    test_support::TempFolder folder;
};

TEST_F(AlarmData, FirstRecordingCreatesTheFileWithItsLayout) {
    SystemConfig db;
    Record(db, "/rec/ALARM_1.qrn", 321);
    const Bytes b = FileBytes();
    ASSERT_EQ(b.size(), 320u);
    EXPECT_EQ(U16At(b, 0), 0x9987);
    EXPECT_EQ(U16At(b, 2), 1);
    const std::size_t r = 4;
    EXPECT_EQ(U16At(b, r + 0), 0);  // serial: the list count before the append
    EXPECT_EQ(b[r + 2], 0);
    EXPECT_EQ(b[r + 3], 0);
    EXPECT_EQ(U16At(b, r + 4), 2026);
    EXPECT_EQ(U16At(b, r + 6), 12);
    EXPECT_EQ(U16At(b, r + 8), 0);
    EXPECT_EQ(U16At(b, r + 10), 10);
    EXPECT_EQ(U16At(b, r + 12), 13);
    EXPECT_EQ(U16At(b, r + 14), 14);
    EXPECT_EQ(U16At(b, r + 16), 15);
    EXPECT_EQ(TextAt(b, r + 20), "/rec/ALARM_1.qrn");
    EXPECT_EQ(b[r + 279], 0);
    EXPECT_EQ(U32At(b, r + 280), 321u);
    EXPECT_EQ(TextAt(b, r + 284), "192.168.1.10");
    EXPECT_EQ(b[r + 315], 0);

    Record(db, "/rec/ALARM_2.qrn", 5);
    const Bytes two = FileBytes();
    ASSERT_EQ(two.size(), 636u);
    EXPECT_EQ(U16At(two, 2), 2);
    EXPECT_EQ(U16At(two, 320), 1);
    EXPECT_EQ(TextAt(two, 320 + 20), "/rec/ALARM_2.qrn");
}

TEST_F(AlarmData, LongTextsAreCutToTheirFields) {
    SystemConfig db;
    db.NewAlarmDataItem(std::string(300, 'p'));
    ASSERT_EQ(db.AppendAlarmData(folder.Path().string(), 1, std::string(40, 'a')), 1u);
    const Bytes b = FileBytes();
    EXPECT_EQ(TextAt(b, 4 + 20), std::string(259, 'p'));
    EXPECT_EQ(TextAt(b, 4 + 284), std::string(31, 'a'));
}

TEST_F(AlarmData, The1025thRecordingDropsTheOldest) {
    SystemConfig db;
    for (int i = 0; i < 1025; ++i) {
        Record(db, "/rec/" + std::to_string(i), static_cast<std::uint32_t>(i));
    }
    const Bytes b = FileBytes();
    ASSERT_EQ(b.size(), 4u + 1024 * 316);
    EXPECT_EQ(U16At(b, 2), 1024);
    EXPECT_EQ(TextAt(b, 4 + 20), "/rec/1");
    EXPECT_EQ(TextAt(b, 4 + 1023 * 316 + 20), "/rec/1024");
}

// What a file holds decides what becomes of it, whether the recorder or the page meets it: an
// empty file is a list not yet begun; another program's file (another magic) is left exactly as it
// is, the recording stays unlisted and the user is told once why; a damaged one is kept aside for
// a fresh list.
TEST_F(AlarmData, EmptyForeignAndDamagedFiles) {
    enum class Fate { NewList, Untouched, KeptAside };
    const struct {
        const char* name;
        std::string bytes;
        Fate fate;
    } files[] = {
        {"empty", "", Fate::NewList},
        {"one flipped byte in the magic",
         std::string("\x87\x98\x01\x00", 4) + std::string(316, 'x'), Fate::Untouched},
        {"another program's text", "hello", Fate::Untouched},
        {"shorter than its header", std::string("\x87\x99", 2), Fate::KeptAside},
        {"larger than any list", std::string("\x87\x99\x00\x04", 4) + std::string(1025 * 316, 'y'),
         Fate::KeptAside},
    };
    const std::filesystem::path database = folder.Path() / "AlarmData.dat";
    const std::filesystem::path aside = folder.Path() / "AlarmData.dat.damaged";
    const std::string keptAside = "The alarm database AlarmData.dat was damaged. It was kept as " +
                                  aside.string() + " and a new one was started.";
    const std::string foreign = SystemConfig::ForeignNotice(folder.Path().string());
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        for (const bool byPage : {false, true}) {
            SCOPED_TRACE(byPage ? "by the page" : "by the recorder");
            std::filesystem::remove(aside);
            std::ofstream(database, std::ios::binary | std::ios::trunc) << f.bytes;
            test_support::RecordingMessageSink shown;
            SystemConfig db;
            if (byPage) {
                const AlarmDBOpenResult opened = db.OpenAlarmDatabase(folder.Path().string());
                EXPECT_EQ(opened, f.fate == Fate::NewList     ? AlarmDBOpenResult::Created
                                  : f.fate == Fate::Untouched ? AlarmDBOpenResult::Foreign
                                                              : AlarmDBOpenResult::SetAside);
                EXPECT_TRUE(db.Items().empty());
            } else {
                db.NewAlarmDataItem("/rec/a");
                EXPECT_EQ(db.AppendAlarmData(folder.Path().string(), 1, "a"),
                          f.fate == Fate::Untouched ? 0u : 1u);
                EXPECT_EQ(db.LastAppendFailure().foreign, f.fate == Fate::Untouched);
            }
            std::ifstream in(database, std::ios::binary);
            const std::string now(std::istreambuf_iterator<char>(in), {});
            if (f.fate == Fate::Untouched) {
                EXPECT_EQ(now, f.bytes);
                EXPECT_TRUE(db.FirstForeignNotice());
                EXPECT_FALSE(db.FirstForeignNotice());
            } else {
                EXPECT_EQ(now.size(), byPage ? 4u : 320u);
            }
            EXPECT_EQ(std::filesystem::exists(aside), f.fate == Fate::KeptAside);
            EXPECT_EQ(shown.Texts(), f.fate == Fate::KeptAside ? std::vector<std::string>{keptAside}
                                                               : std::vector<std::string>{});
        }
    }
}

// Every keep-aside name taken: the file stays, and the box says what fills the names.
TEST_F(AlarmData, WhenTheOldCopiesFillEveryNameTheBoxSaysSo) {
    const std::filesystem::path database = folder.Path() / "AlarmData.dat";
    std::ofstream(database, std::ios::binary) << std::string("\x87\x99\x09", 3);
    std::ofstream(folder.Path() / "AlarmData.dat.damaged");
    for (int n = 2; n <= 999; ++n) {
        std::ofstream(folder.Path() / ("AlarmData.dat.damaged-" + std::to_string(n)));
    }
    test_support::RecordingMessageSink shown;
    SystemConfig db;
    EXPECT_EQ(db.OpenAlarmDatabase(folder.Path().string()), AlarmDBOpenResult::NotSetAside);
    EXPECT_EQ(std::filesystem::file_size(database), 3u);
    EXPECT_EQ(shown.Texts(),
              std::vector<std::string>{
                  "The alarm database " + database.string() +
                  " is damaged, and earlier damaged copies fill every name it could be kept under "
                  "(AlarmData.dat.damaged to AlarmData.dat.damaged-999). Move some of them away. "
                  "The file is left as it is."});
}

// Serials run on from the largest in the file, wrapping within their 16 bits, whatever was
// deleted or dropped before.
TEST_F(AlarmData, SerialsRunOnFromTheLargest) {
    const auto listOf = [](std::vector<std::uint16_t> serials) {
        std::vector<AlarmDBItem> items;
        for (const std::uint16_t serial : serials) {
            AlarmDBItem item;
            item.wSerial = serial;
            item.strFilePath = "/rec/" + std::to_string(serial);
            items.push_back(item);
        }
        return items;
    };
    const struct {
        const char* name;
        std::vector<std::uint16_t> serials;
        std::uint16_t next;
    } cases[] = {
        {"no list", {}, 0},
        {"entry 1 of 3 deleted", {0, 2}, 3},
        {"the newest deleted", {0, 1}, 2},
        {"the largest not last", {7, 9, 8}, 10},
        {"at the top of the field", {65534, 65535}, 0},
        {"wrapped", {65535, 0, 1}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes("\x87\x99", 2);
        bytes += static_cast<char>(c.serials.size());
        bytes += '\0';
        for (const AlarmDBItem& item : listOf(c.serials)) {
            const auto record = item.Encode();
            bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
        }
        std::ofstream(folder.Path() / "AlarmData.dat", std::ios::binary | std::ios::trunc) << bytes;
        SystemConfig db;
        Record(db, "/rec/new", 1);
        db.LoadAlarmDatabase(folder.Path().string());
        ASSERT_EQ(db.Items().size(), c.serials.size() + 1);
        EXPECT_EQ(db.Items().back().wSerial, c.next);
    }

    // A full list numbers on past its size.
    std::filesystem::remove(folder.Path() / "AlarmData.dat");
    SystemConfig db;
    for (int i = 0; i < 1026; ++i) {
        Record(db, "/rec/" + std::to_string(i), 1);
    }
    db.LoadAlarmDatabase(folder.Path().string());
    EXPECT_EQ(db.Items().back().wSerial, 1025);
    EXPECT_EQ(db.Items().front().wSerial, 2);
}

TEST_F(AlarmData, ASecondDamageGoesBesideTheFirst) {
    test_support::RecordingMessageSink shown;
    SystemConfig db;
    for (int i = 0; i < 2; ++i) {
        std::ofstream(folder.Path() / "AlarmData.dat", std::ios::binary)
            << std::string("\x87\x99\x05\x00", 4) << i;
        Record(db, "/rec/a", 1);
    }
    std::ifstream second(folder.Path() / "AlarmData.dat.damaged-2", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(second), {}),
              std::string("\x87\x99\x05\x00", 4) + "1");
}

TEST_F(AlarmData, AFileThatCannotBeReadIsNeverReplaced) {
    // A folder in its place opens but cannot be read, as a file without read permission would.
    const std::filesystem::path database = folder.Path() / "AlarmData.dat";
    std::filesystem::create_directory(database);
    SystemConfig db;
    db.NewAlarmDataItem("/rec/x");
    EXPECT_EQ(db.AppendAlarmData(folder.Path().string(), 1, "a"), 0u);
    EXPECT_EQ(db.OpenAlarmDatabase(folder.Path().string()), AlarmDBOpenResult::Refused);
    EXPECT_TRUE(std::filesystem::is_directory(database));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "AlarmData.dat.damaged"));
}

TEST_F(AlarmData, AnEmptyFolderIsRefused) {
    SystemConfig db;
    db.NewAlarmDataItem("/rec/x");
    EXPECT_EQ(db.AppendAlarmData("", 1, "a"), 0u);
    EXPECT_EQ(db.LoadAlarmDatabase(""), 0u);
    EXPECT_EQ(db.OpenAlarmDatabase(""), AlarmDBOpenResult::Refused);
    EXPECT_FALSE(std::filesystem::exists("AlarmData.dat"));
}

// Two copies of the program sharing the folder, each appending its own recordings.
TEST_F(AlarmData, TwoProcessesAppendingLoseNothing) {
    constexpr int kEach = 60;
    std::vector<pid_t> children;
    for (int copy = 0; copy < 2; ++copy) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SystemConfig db;
            int failed = 0;
            for (int i = 0; i < kEach; ++i) {
                db.NewAlarmDataItem("/rec/" + std::to_string(copy) + "-" + std::to_string(i));
                failed += db.AppendAlarmData(folder.Path().string(), 1, "a") == 1 ? 0 : 1;
            }
            ::_exit(failed);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SystemConfig db;
    db.LoadAlarmDatabase(folder.Path().string());
    std::set<std::string> paths;
    std::set<int> serials;
    for (const auto& item : db.Items()) {
        paths.insert(item.strFilePath);
        serials.insert(item.wSerial);
    }
    EXPECT_EQ(paths.size(), 2u * kEach);
    // Each entry is numbered from the list it joined, so no two copies hand out one number.
    EXPECT_EQ(serials.size(), 2u * kEach);
    EXPECT_EQ(*serials.rbegin(), 2 * kEach - 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
        << "no temporary file is left behind";
}

// A list whose length disagrees with its count (a cut last record, a header from another state
// of the file) is damaged: it is kept aside whole, and the new list starts with every whole record
// it held, whether the recorder or the page finds it.
TEST_F(AlarmData, ACutListIsKeptAsideWithItsWholeRecordsCarriedOver) {
    const auto list = [](std::uint16_t count, int records, std::size_t cut) {
        std::string bytes("\x87\x99", 2);
        bytes += static_cast<char>(count & 0xFF);
        bytes += static_cast<char>(count >> 8);
        for (int i = 0; i < records; ++i) {
            AlarmDBItem item;
            item.strFilePath = "/rec/" + std::to_string(i);
            const auto record = item.Encode();
            bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
        }
        return bytes.substr(0, bytes.size() - cut);
    };
    const struct {
        const char* name;
        std::string bytes;
        std::size_t whole;
        const char* carried;
    } cuts[] = {
        {"the second record one byte short", list(2, 2, 1), 1,
         " with the one entry that could still be read"},
        {"a count below the records present", list(1, 2, 0), 2,
         " with the 2 entries that could still be read"},
        {"a count above the records present and a torn record", list(50, 2, 200), 1,
         " with the one entry that could still be read"},
    };
    const std::filesystem::path database = folder.Path() / "AlarmData.dat";
    const std::filesystem::path aside = folder.Path() / "AlarmData.dat.damaged";
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.name);
        const std::string told = "The alarm database AlarmData.dat was damaged. It was kept as " +
                                 aside.string() + " and a new one was started" + cut.carried + ".";
        for (const bool byPage : {false, true}) {
            SCOPED_TRACE(byPage ? "by the page" : "by the recorder");
            std::filesystem::remove(aside);
            std::ofstream(database, std::ios::binary) << cut.bytes;
            test_support::RecordingMessageSink shown;
            SystemConfig db;
            if (byPage) {
                EXPECT_EQ(db.OpenAlarmDatabase(folder.Path().string()),
                          AlarmDBOpenResult::SetAside);
                EXPECT_EQ(db.Items().size(), cut.whole);
            } else {
                Record(db, "/rec/new", 1);
            }
            db.LoadAlarmDatabase(folder.Path().string());
            const auto items = db.Items();
            ASSERT_EQ(items.size(), cut.whole + (byPage ? 0 : 1));
            for (std::size_t i = 0; i < cut.whole; ++i) {
                EXPECT_EQ(items[i].strFilePath, "/rec/" + std::to_string(i));
            }
            const Bytes b = FileBytes();
            EXPECT_EQ(b.size(), 4 + items.size() * 316);
            EXPECT_EQ(U16At(b, 2), items.size());
            std::ifstream kept(aside, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), cut.bytes);
            EXPECT_EQ(shown.Texts(), std::vector<std::string>{told});
        }
    }
}

TEST_F(AlarmData, SaveDropsMarkedEntriesOnly) {
    SystemConfig db;
    for (const char* p : {"/rec/a", "/rec/b", "/rec/c"}) {
        Record(db, p, 1);
    }
    db.LoadAlarmDatabase(folder.Path().string());
    db.AlarmDB_Save();  // nothing marked: the file stays as it was
    EXPECT_EQ(FileBytes().size(), 4u + 3 * 316);

    db.LoadAlarmDatabase(folder.Path().string());
    db.MarkForDeletion(1);
    EXPECT_TRUE(db.Dirty());
    ASSERT_EQ(db.AlarmDB_Save(), 1u);
    const Bytes b = FileBytes();
    ASSERT_EQ(b.size(), 4u + 2 * 316);
    EXPECT_EQ(U16At(b, 2), 2);
    EXPECT_EQ(TextAt(b, 4 + 20), "/rec/a");
    EXPECT_EQ(TextAt(b, 320 + 20), "/rec/c");
    EXPECT_FALSE(db.Dirty());
    EXPECT_TRUE(db.Items().empty());
}

TEST_F(AlarmData, SaveAfterTheFileVanishedWritesTheUnmarkedList) {
    SystemConfig db;
    Record(db, "/rec/a", 1);
    Record(db, "/rec/b", 1);
    db.LoadAlarmDatabase(folder.Path().string());
    std::filesystem::remove(folder.Path() / "AlarmData.dat");
    db.MarkForDeletion(0);
    db.AlarmDB_Save();
    const Bytes b = FileBytes();
    ASSERT_EQ(b.size(), 320u);
    EXPECT_EQ(TextAt(b, 4 + 20), "/rec/b");
}

TEST_F(AlarmData, SaveOverAFileCutShortOfItsHeaderWritesTheUnmarkedList) {
    SystemConfig db;
    Record(db, "/rec/a", 1);
    Record(db, "/rec/b", 1);
    db.LoadAlarmDatabase(folder.Path().string());
    std::ofstream(folder.Path() / "AlarmData.dat", std::ios::binary) << "\x87";
    db.MarkForDeletion(0);
    db.AlarmDB_Save();
    const Bytes b = FileBytes();
    ASSERT_EQ(b.size(), 320u);
    EXPECT_EQ(U16At(b, 0), 0x9987);
    EXPECT_EQ(U16At(b, 2), 1);
    EXPECT_EQ(TextAt(b, 4 + 20), "/rec/b");
}

TEST_F(AlarmData, AppendsDuringSavesLoseNothing) {
    SystemConfig db;
    constexpr int kDoomed = 30;
    constexpr int kAppended = 200;
    for (int i = 0; i < kDoomed; ++i) {
        Record(db, "/rec/doomed" + std::to_string(i), 1);
    }
    std::thread recorder([&] {
        for (int i = 0; i < kAppended; ++i) {
            Record(db, "/rec/" + std::to_string(i), 1);
        }
    });
    for (int i = 0; i < kDoomed; ++i) {
        db.LoadAlarmDatabase(folder.Path().string());
        const auto items = db.Items();
        for (std::size_t k = 0; k < items.size(); ++k) {
            if (items[k].strFilePath == "/rec/doomed" + std::to_string(i)) {
                db.MarkForDeletion(k);
            }
        }
        db.AlarmDB_Save();
    }
    recorder.join();
    db.LoadAlarmDatabase(folder.Path().string());
    std::vector<std::string> paths;
    for (const auto& item : db.Items()) {
        paths.push_back(item.strFilePath);
    }
    std::vector<std::string> expected;
    for (int i = 0; i < kAppended; ++i) {
        expected.push_back("/rec/" + std::to_string(i));
    }
    EXPECT_EQ(paths, expected);
}

}  // namespace
