#pragma once

// AlarmData.dat: the client's list of the alarm recordings it has made, fixed-size records
// behind a 4-byte header, in the program folder. One global SystemConfig owns it: the record
// prepared while an alarm recording runs, the in-memory list the configuration sheet shows and
// edits, and the writes. The recorder thread appends while the sheet may save, so every
// operation on the file and the list runs under one lock, and every change to the file is one
// locked update (platform/file_gate), which also keeps another copy of the program sharing the
// folder from losing entries. An empty file is a list not yet begun. A file with another magic is
// another program's: it is never changed, and the alarm recordings stay unlisted. A damaged file
// (too short for its header, a length that disagrees with its count, or larger than any list) is
// never deleted: it is kept aside, a fresh list is started with every whole record it held, and
// the user is told once where the old one went (kernel/damaged_file). Serial numbers run on from
// the largest in the file, taken under its lock. A file that exists but cannot be read is never
// replaced. An empty folder is refused: the file would land in whatever the current directory
// happens to be.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

inline constexpr std::uint16_t kAlarmDBMagic = 0x9987;
inline constexpr std::size_t kAlarmDBHeaderSize = 4;
inline constexpr std::size_t kAlarmDBItemSize = 316;
inline constexpr std::uint16_t kAlarmDBMaxItems = 1024;

struct AlarmDBItem {
    static constexpr std::uint8_t kOpenFailed = 0x01;
    static constexpr std::uint8_t kMarkedForDeletion = 0x02;

    std::uint16_t wSerial = 0;
    std::uint8_t byStatus = 0;
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::string strFilePath;  // at most 259 characters on disk
    std::uint32_t dwFrames = 0;
    std::string strAddress;  // at most 31 characters on disk

    std::array<std::uint8_t, kAlarmDBItemSize> Encode() const;
    static AlarmDBItem Decode(const std::uint8_t* bytes);
};

struct AlarmDBHeader {
    std::uint16_t wMagic = 0;
    std::uint16_t wCount = 0;
};

// What the configuration page's load found in AlarmData.dat.
enum class AlarmDBOpenResult {
    Read,         // the records (possibly none) are in the list
    Created,      // there was no file; an empty one was made
    SetAside,     // the file was damaged: kept aside, and an empty one was made
    Foreign,      // another program's file: left alone, the list stays empty
    NotSetAside,  // damaged, and it could not be kept aside (the user was told why): left alone
    Refused,      // no folder, or the file cannot be read (or a damaged one moved): left alone
};

// Why the last append left the list as it was.
struct AlarmDBFailure {
    std::string text;
    bool foreign = false;  // the file is another program's
};

class SystemConfig {
public:
    // Clears the pending record and stores the path of the record file just created.
    std::uint32_t NewAlarmDataItem(const std::string& path);
    // Dates the pending record with the capture time of the first frame of its file.
    void SetPendingCaptureTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                               std::uint16_t hour, std::uint16_t minute, std::uint16_t second);
    // Appends the pending record with its frame count and device address to AlarmData.dat in
    // `folder`; the oldest entry drops once the file holds 1,024. 0 when the file is another
    // program's or cannot be read or written; LastAppendFailure then says why.
    std::uint32_t AppendAlarmData(const std::string& folder, std::uint32_t frames,
                                  const std::string& address);
    AlarmDBFailure LastAppendFailure() const;
    // Whether the user is yet to be told that the list is another program's: true once a run.
    bool FirstForeignNotice();
    // The words for it.
    static std::string ForeignNotice(const std::string& folder);

    // Reads AlarmData.dat in `folder` into the in-memory list (what the configuration sheet
    // shows), changing nothing. A missing file gives an empty list, one of another kind is not
    // read, a cut one gives its whole records. 0 for an empty folder.
    std::uint32_t LoadAlarmDatabase(const std::string& folder);
    // The configuration page's load: as LoadAlarmDatabase, and the file is left fit for the
    // recorder: a missing one is created empty, a damaged one is set aside for a new one with its
    // whole records.
    // Every record read counts as live, whatever its flags byte held on disk.
    AlarmDBOpenResult OpenAlarmDatabase(const std::string& folder);
    // Drops the in-memory list.
    std::uint32_t AlarmDB_FreeBuffer();
    // Drops the list with its marks and clears the changed flag: the sheet closed without
    // saving, and a later save must not delete what was only marked.
    void AlarmDB_DiscardChanges();
    // Marks an in-memory entry for deletion; nothing is written before AlarmDB_Save.
    void MarkForDeletion(std::size_t index);
    // Rewrites the file without the entries marked in the list (when anything was marked). 0 when
    // the file could not be written.
    std::uint32_t AlarmDB_Save();

    std::vector<AlarmDBItem> Items() const;
    AlarmDBHeader Header() const;
    bool Dirty() const;

private:
    static std::filesystem::path FileIn(const std::string& folder);

    mutable std::mutex m_mutex;
    std::filesystem::path m_path;
    std::uint32_t m_fDirty = 0;
    AlarmDBHeader m_header;
    AlarmDBItem m_pending;
    AlarmDBFailure m_AppendFailure;
    std::atomic<bool> m_fForeignNoticeGiven{false};
    std::vector<AlarmDBItem> m_lpAlarmDBItem_Struct;
};

// The one alarm database of the program.
SystemConfig& AlarmDatabase();
