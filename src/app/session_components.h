#pragma once

// What the start-up and the resource chains need of the stream threads, the recorders, the
// re-login thread and the alarm sound. The chains decide when; these say what.

#include <cstdint>
#include <string>

#include "platform/sync.h"

class SessionComponents {
public:
    virtual ~SessionComponents() = default;

    // The pre-alarm ring's and the recorders' buffers, once per process.
    virtual bool AllocateBuffers() = 0;
    virtual void FreeBuffers() = 0;

    // The recorders' semaphores and events, made again for every session.
    virtual bool CreateResources() = 0;
    virtual void FreeResources() = 0;

    // Bodies of the session threads.
    virtual std::uint32_t GetImageThread() = 0;
    virtual std::uint32_t ComposeThread() = 0;
    virtual std::uint32_t ShowThread() = 0;
    virtual std::uint32_t ReLoginThread() = 0;

    virtual void StartRecorderThreads(std::uint8_t recordMode) = 0;
    virtual void StopRecorderThreads() = 0;
    // The stream broke: end the alarm and schedule recordings (the manual one resumes later).
    virtual void StopAlarmAndScheduleRecording() = 0;

    // Loads the alarm wave file; false when it cannot be loaded.
    virtual bool LoadAlarmWave(const std::string& path) = 0;
    // The event that starts the alarm sound player from now on.
    virtual void SetAlarmWavePlayEvent(platform::Handle playEvent) = 0;
};
