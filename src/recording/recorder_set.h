#pragma once

// The local recorders of the program: the pre-alarm ring and the alarm, user and schedule
// recorders, with the frame push that feeds them. The live pipeline reaches it as the
// RecordingLink; the start-up and the session chains use the other operations.

#include <cstdint>
#include <functional>
#include <string>

#include "kernel/recording_link.h"
#include "recording/alarm_record.h"
#include "recording/pre_alarm_ring.h"
#include "recording/sch_record.h"
#include "recording/user_record.h"

namespace recording {

// What the recorders need from the layers beside them.
struct RecorderHooks {
    // The device's session cookie; part of the alarm files' names.
    std::function<std::string()> sessionCookie;
    // Clears the stream parser's alarm word.
    std::function<void()> clearParserAlarmFlag;
};

class RecorderSet final : public RecordingLink {
public:
    explicit RecorderSet(RecorderHooks hooks = {});
    // Ends the recorder threads and closes any recording still open.
    ~RecorderSet() override;

    // The compose thread's push: stores the frame in the ring and hands it to every recorder
    // that records. Waits while a recorder still writes the last frame, but never past the
    // session's end. 0, storing nothing, for a frame larger than a ring slot and when the wait
    // ended without the ring.
    std::uint32_t PushPreAlarmFrame(const std::uint8_t* frame, std::uint32_t length,
                                    std::uint32_t timeStamp) override;
    bool AlarmItemPending() const override;
    std::uint32_t StartAlarmRecord(const std::string& recordPath) override;
    std::uint32_t StopAlarmRecord() override;
    bool ResumeUserRecord() override;

    // Once per process: the ring and the recorders' index tables.
    bool AllocateBuffers();
    void FreeBuffers();
    // For every session: the recorders' semaphores and events, made anew.
    bool CreateResources();
    void FreeResources();
    // The alarm and user recorder threads of a session (the schedule recorder's never runs).
    void StartRecorderThreads(std::uint8_t recordMode);
    void StopRecorderThreads();
    // The stream broke: the schedule recording ends, the alarm recording holds for the next
    // session; the manual one resumes later.
    void StopAlarmAndScheduleRecording();
    // The main window closes: every recording ends and its file is closed.
    void StopAllRecording();

    CPreAlarmRing m_PreAlarmRing;
    CAlarmRecord m_AlarmRecord;
    CUserRecord m_UserRecord;
    CSchRecord m_SchRecord;
};

}  // namespace recording
