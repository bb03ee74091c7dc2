#include "recording/recorder_set.h"

#include <ctime>

#include "kernel/kernel_object.h"
#include "platform/clock.h"

namespace recording {
namespace {

constexpr std::uint16_t kRingFillCountLimit = 21;

}  // namespace

RecorderSet::RecorderSet(RecorderHooks hooks)
    : m_AlarmRecord(m_PreAlarmRing, std::move(hooks.sessionCookie),
                    std::move(hooks.clearParserAlarmFlag)),
      m_UserRecord(m_PreAlarmRing),
      m_SchRecord(m_PreAlarmRing) {}

RecorderSet::~RecorderSet() {
    StopRecorderThreads();
    m_AlarmRecord.StopRecord();
    m_UserRecord.StopRecord();
}

std::uint32_t RecorderSet::PushPreAlarmFrame(const std::uint8_t* frame, std::uint32_t length,
                                             std::uint32_t timeStamp) {
    if (length > kPreAlarmSlotSize || !m_PreAlarmRing.Allocated() || !g_lpApp) {
        return 0;
    }
    RecorderHandover* const recorders[] = {&m_AlarmRecord, &m_UserRecord, &m_SchRecord};
    // Holding every recorder's h_FreeSem means no recorder reads the ring.
    const platform::Handle end = SessionEndEvent();
    std::size_t taken = 0;
    for (; taken < std::size(recorders); ++taken) {
        const platform::Handle waits[] = {recorders[taken]->h_FreeSem, end};
        const std::span<const platform::Handle> objects(waits, end ? 2 : 1);
        if (platform::WaitForAnyObject(objects, platform::kInfinite) != platform::kWaitObject0) {
            break;
        }
    }
    if (taken < std::size(recorders)) {
        for (std::size_t i = 0; i < taken; ++i) {
            platform::ReleaseSemaphore(recorders[i]->h_FreeSem);
        }
        return 0;
    }

    KernelObject& app = *g_lpApp;
    const std::time_t now = std::time(nullptr);
    app.m_tmCapture = now;
    PreAlarmFrameInfo info;
    info.dwFrameSize = length;
    info.dwMagic = kFrameInfoMagic;
    info.wWidth = app.m_wImageWidth;
    info.wHeight = app.m_wImageHeight;
    info.dwTimeStamp = timeStamp;
    info.byChannel = app.CSettingINI.m_bSelectedChannel;
    info.stCaptureTime = LocalSystemTime(now);
    info.stCaptureTime.wDayOfWeek = 0;
    m_PreAlarmRing.Put(frame, info, kJpegFrameType);
    if (m_AlarmRecord.m_wRingFillCount < kRingFillCountLimit) {
        ++m_AlarmRecord.m_wRingFillCount;
    }

    for (RecorderHandover* recorder : recorders) {
        if (!recorder->m_fRecording) {
            platform::ReleaseSemaphore(recorder->h_FreeSem);
            continue;
        }
        if (recorder != &m_UserRecord) {
            recorder->NoteFirstFrame(info);
        }
        platform::ReleaseSemaphore(recorder->h_ReadySem);
    }
    return 1;
}

bool RecorderSet::AlarmItemPending() const {
    return m_AlarmRecord.AlarmRunning();
}

std::uint32_t RecorderSet::StartAlarmRecord(const std::string& recordPath) {
    return m_AlarmRecord.StartRecord(recordPath);
}

std::uint32_t RecorderSet::StopAlarmRecord() {
    return m_AlarmRecord.EndAlarm();
}

bool RecorderSet::ResumeUserRecord() {
    return m_UserRecord.ResumeRecord() != 0;
}

bool RecorderSet::AllocateBuffers() {
    const bool ring = m_PreAlarmRing.AllocateBuffer();
    const bool alarm = m_AlarmRecord.AllocateBuffer();
    const bool user = m_UserRecord.AllocateBuffer();
    const bool schedule = m_SchRecord.AllocateBuffer();
    return ring && alarm && user && schedule;
}

void RecorderSet::FreeBuffers() {
    m_PreAlarmRing.FreeBuffer();
    m_AlarmRecord.FreeBuffer();
    m_UserRecord.FreeBuffer();
    m_SchRecord.FreeBuffer();
}

bool RecorderSet::CreateResources() {
    const bool alarm = m_AlarmRecord.CreateResource();
    const bool user = m_UserRecord.CreateResource();
    const bool schedule = m_SchRecord.CreateResource();
    return alarm && user && schedule;
}

void RecorderSet::FreeResources() {
    m_AlarmRecord.FreeResource();
    m_UserRecord.FreeResource();
    m_SchRecord.FreeResource();
}

// The push reads the record mode from the kernel object itself.
void RecorderSet::StartRecorderThreads(std::uint8_t /*recordMode*/) {
    m_AlarmRecord.CreateThread();
    m_UserRecord.CreateThread();
}

void RecorderSet::StopRecorderThreads() {
    m_AlarmRecord.TerminateThread();
    m_UserRecord.TerminateThread();
    m_SchRecord.TerminateThread();
}

void RecorderSet::StopAlarmAndScheduleRecording() {
    m_AlarmRecord.Interrupt();
    m_SchRecord.Stop();
}

void RecorderSet::StopAllRecording() {
    m_AlarmRecord.Stop();
    m_UserRecord.StopRecord();
    m_SchRecord.Stop();
}

}  // namespace recording
