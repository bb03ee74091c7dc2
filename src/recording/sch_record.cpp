#include "recording/sch_record.h"

#include <algorithm>
#include <vector>

#include "kernel/kernel_object.h"
#include "ui/message_sink.h"

namespace recording {
namespace {

constexpr std::uint32_t kPollMs = 1'000;
// The period's end is looked at every this many frames.
constexpr std::uint32_t kEndCheckFrames = 30;

}  // namespace

CSchRecord::CSchRecord(CPreAlarmRing& ring, ScheduleFileWriter::SecondsClock clock)
    : RecorderHandover(ring), m_File(m_InfoBlock, clock) {}

bool CSchRecord::CreateThread() {
    return StartRecorderThread([this] { return Sch_Record_Thread(); });
}

std::uint32_t CSchRecord::Stop() {
    CloseRecording();
    return 1;
}

bool CSchRecord::AddScheduleEntry(const ScheduleEntry& entry) {
    std::lock_guard lock(m_ScheduleLock);
    if (m_nScheduleCount >= kScheduleRowCount) {
        return false;
    }
    m_Schedule[m_nScheduleCount++] = entry;
    return true;
}

bool CSchRecord::RemoveScheduleEntry(std::size_t row) {
    std::lock_guard lock(m_ScheduleLock);
    if (row >= m_nScheduleCount) {
        return false;
    }
    std::move(m_Schedule.begin() + row + 1, m_Schedule.begin() + m_nScheduleCount,
              m_Schedule.begin() + row);
    m_Schedule[--m_nScheduleCount] = ScheduleEntry{};
    return true;
}

std::vector<ScheduleEntry> CSchRecord::ScheduleEntries() const {
    std::lock_guard lock(m_ScheduleLock);
    return {m_Schedule.begin(), m_Schedule.begin() + m_nScheduleCount};
}

std::filesystem::path CSchRecord::RecordFilePath() const {
    std::lock_guard lock(m_FileLock);
    return m_File.IsOpen() ? m_File.Path() : std::filesystem::path();
}

std::optional<std::time_t> CSchRecord::DueRowEnd(std::time_t now) const {
    std::lock_guard lock(m_ScheduleLock);
    for (const ScheduleEntry& row : m_Schedule) {
        if (row.fEnabled && row.tmStart <= now && row.tmEnd >= now) {
            return row.tmEnd;
        }
    }
    return std::nullopt;
}

std::uint32_t CSchRecord::Sch_Record_Thread() {
    for (;;) {
        std::vector<platform::Handle> waits{SessionEndEvent()};
        if (g_lpApp && g_lpApp->h_TimerEvent) {
            waits.push_back(g_lpApp->h_TimerEvent);
        }
        const std::uint32_t woke = platform::WaitForAnyObject(waits, kPollMs);
        if (woke == platform::kWaitObject0 || woke == platform::kWaitFailed) {
            return 0;
        }
        const std::optional<std::time_t> end = DueRowEnd(std::time(nullptr));
        if (!end) {
            continue;
        }
        {
            std::lock_guard lock(m_FileLock);
            if (!OpenFile()) {
                ui::ShowMessage(kCreateScheduleFileFailed);
                return 0;
            }
        }
        m_bState = 1;
        if (EnterFrameLoop() && RecordUntil(*end)) {
            return 0;
        }
    }
}

bool CSchRecord::RecordUntil(std::time_t end) {
    std::uint32_t passes = 0;
    for (;;) {
        const Wake wake = WaitForFrame();
        bool written = false;
        bool periodOver = false;
        if (wake == Wake::Frame) {
            std::lock_guard lock(m_FileLock);
            periodOver = ++passes % kEndCheckFrames == 0 && std::time(nullptr) > end;
            if (!periodOver) {
                written = m_bState == 1 ? WriteFirstFrames() : WriteNewestFrame();
                m_bState = 2;
            }
        }
        if (written) {
            platform::ReleaseSemaphore(h_FreeSem);
            continue;
        }
        m_bState = 3;
        {
            std::lock_guard lock(m_FileLock);
            CloseFile();
        }
        LeaveFrameLoop(wake == Wake::Frame);
        platform::SetEvent(h_ReplyEvent);
        m_bState = 0;
        return !periodOver;
    }
}

bool CSchRecord::OpenFile() {
    std::string folder;
    std::string server;
    if (g_lpApp) {
        folder = g_lpApp->CSettingINI.m_strRecordPath;
        server = g_lpApp->CSettingINI.m_strServerName;
    }
    m_abAddress = DeviceAddressBytes(server);
    if (!m_File.Create(folder, RecordFileStem("SCH_MJPEG_", std::time(nullptr), ""))) {
        ReportFailure(kCreateScheduleFileFailed, m_File.Error());
        return false;
    }
    m_fInfoBlockPending = true;
    return true;
}

void CSchRecord::CloseFile() {
    if (m_File.IsOpen() && !m_File.Close()) {
        ReportFailure(kWriteRecordFileFailed, m_File.Error());
    }
}

bool CSchRecord::WriteFirstFrames() {
    // A recording starts at the newest frame that stands on its own; the frames after it follow.
    const std::uint16_t newest = m_Ring.NewestSlot();
    for (std::uint16_t back = 0; back < kPreAlarmSlotCount; ++back) {
        if (m_Ring.FrameType(CPreAlarmRing::Before(newest, back)) == kJpegFrameType) {
            for (std::uint16_t b = back + 1; b-- > 0;) {
                if (!WriteSlot(CPreAlarmRing::Before(newest, b))) {
                    return false;
                }
            }
            return true;
        }
    }
    return true;
}

bool CSchRecord::WriteSlot(std::uint16_t slot) {
    return m_File.IsOpen() &&
           m_File.WriteFrame(m_Ring.Info(slot), m_Ring.Frame(slot), m_Ring.FrameType(slot));
}

}  // namespace recording
