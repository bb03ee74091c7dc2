#include "video/live_pipeline.h"

#include "video/frame_threads.h"
#include "video/stream_receiver.h"

LivePipeline::LivePipeline() : m_Painter(m_Slots, m_Parser) {}

std::uint32_t LivePipeline::GetImageThread() {
    return Jpeg_TCP_Get_Image_Data_Thread(m_Parser, m_Slots);
}

std::uint32_t LivePipeline::ComposeThread() {
    return Jpeg_Compose_Image_Data_Thread(m_Slots);
}

std::uint32_t LivePipeline::ShowThread() {
    // A new session paints nothing of the last one.
    m_Slots.Clear();
    return Jpeg_Show_Image_Data_Thread(m_Slots);
}

bool LivePipeline::LoadAlarmWave(const std::string& path) {
    return m_AlarmWave.LoadAlarmWave(path) != 0;
}

void LivePipeline::SetAlarmWavePlayEvent(platform::Handle playEvent) {
    m_AlarmWave.SetPlayEvent(playEvent);
}

std::uint32_t LivePipeline::PlayAudioWavThread() {
    return m_AlarmWave.PlayAudioWavThread();
}
