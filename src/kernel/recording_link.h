#pragma once

#include <cstdint>
#include <string>

// What the live pipeline needs of the local recorders: the compose thread hands every decoded
// frame's compressed bytes to the pre-alarm ring, and the stream parser starts and stops the alarm
// recorder on the alarm edges. The recorders implement it.
class RecordingLink {
public:
    virtual ~RecordingLink() = default;

    virtual std::uint32_t PushPreAlarmFrame(const std::uint8_t* frame, std::uint32_t length,
                                            std::uint32_t timeStamp) = 0;

    // True from an alarm recording's start until the alarm ends (or its thread has closed the
    // file).
    virtual bool AlarmItemPending() const = 0;
    // An alarm began: a new recording, or, shortly after the last alarm ended, that one goes on.
    virtual std::uint32_t StartAlarmRecord(const std::string& recordPath) = 0;
    // The alarm ended: its recording ends unless another alarm follows shortly.
    virtual std::uint32_t StopAlarmRecord() = 0;

    // After a re-login: sends a manual recording that the broken session left open back into its
    // file. True when one was resumed.
    virtual bool ResumeUserRecord() = 0;
};
