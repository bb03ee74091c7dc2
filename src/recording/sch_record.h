#pragma once

// The schedule recorder: ten rows of start and end times, and a thread that records the live
// stream into schedule files while a row's period runs. The program keeps the schedule in memory
// only and never starts the thread; the recorder's semaphores take part in every frame push all
// the same.

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <vector>

#include "recording/pre_alarm_ring.h"
#include "recording/recorder_handover.h"
#include "recording/schedule_file.h"

namespace recording {

inline constexpr std::size_t kScheduleRowCount = 10;
inline constexpr const char* kCreateScheduleFileFailed = "Create schedule record file is failed";

struct ScheduleEntry {
    std::time_t tmStart = 0;
    std::time_t tmEnd = 0;
    std::uint32_t fEnabled = 0;
    friend bool operator==(const ScheduleEntry&, const ScheduleEntry&) = default;
};

class CSchRecord : public RecorderHandover {
public:
    explicit CSchRecord(CPreAlarmRing& ring, ScheduleFileWriter::SecondsClock clock = TickSeconds);

    bool AllocateBuffer() { return m_File.AllocateBuffer(); }
    bool FreeBuffer() { return m_File.FreeBuffer(); }
    // The hand-over semaphores and the stop and reply events.
    bool CreateResource() { return CreateHandover(); }
    bool FreeResource() {
        FreeHandover();
        return true;
    }
    bool CreateThread();
    // Ends a running schedule recording (its thread ends with it).
    std::uint32_t Stop();

    // The schedule table as the schedule page edits it: rows are added at the end and a removed
    // row's followers move up. False when the table is full or the row does not exist.
    bool AddScheduleEntry(const ScheduleEntry& entry);
    bool RemoveScheduleEntry(std::size_t row);
    std::vector<ScheduleEntry> ScheduleEntries() const;

    // 1 from the thread's start of a recording, 2 while writing, 3 when closing.
    std::atomic<std::uint8_t> m_bState{0};
    // Set by the schedule page when it changes the table.
    std::atomic<std::uint32_t> m_fScheduleChanged{0};

    std::filesystem::path RecordFilePath() const;

protected:
    bool FileOpen() const override { return m_File.IsOpen(); }
    bool OpenFile() override;
    void CloseFile() override;
    std::uint32_t FileFrameCount() const override { return m_File.FrameCount(); }
    bool WriteSlot(std::uint16_t slot) override;

private:
    std::uint32_t Sch_Record_Thread();
    // The end of the first enabled row whose period holds `now`.
    std::optional<std::time_t> DueRowEnd(std::time_t now) const;
    // Records until the period's end (false) or a stop, the session's end or a failure (true).
    bool RecordUntil(std::time_t end);
    // File lock held.
    bool WriteFirstFrames();

    ScheduleFileWriter m_File;

    mutable std::mutex m_ScheduleLock;
    std::array<ScheduleEntry, kScheduleRowCount> m_Schedule{};
    std::uint32_t m_nScheduleCount = 0;
};

}  // namespace recording
