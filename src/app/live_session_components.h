#pragma once

// The session components of the program: the live pipeline, the local recorders and the
// re-login thread, behind the seam the start-up and the resource chains use.

#include "app/session_components.h"
#include "recording/recorder_set.h"
#include "video/live_pipeline.h"

class LiveSessionComponents final : public SessionComponents {
public:
    LiveSessionComponents();

    bool AllocateBuffers() override;
    void FreeBuffers() override;
    bool CreateResources() override;
    void FreeResources() override;
    std::uint32_t GetImageThread() override;
    std::uint32_t ComposeThread() override;
    std::uint32_t ShowThread() override;
    std::uint32_t ReLoginThread() override;
    void StartRecorderThreads(std::uint8_t recordMode) override;
    void StopRecorderThreads() override;
    void StopAlarmAndScheduleRecording() override;
    bool LoadAlarmWave(const std::string& path) override;
    void SetAlarmWavePlayEvent(platform::Handle playEvent) override;

    LivePipeline& Pipeline() { return m_Pipeline; }
    recording::RecorderSet& Recorders() { return m_Recorders; }

private:
    LivePipeline m_Pipeline;
    recording::RecorderSet m_Recorders;
};
