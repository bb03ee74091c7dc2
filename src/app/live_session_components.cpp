#include "app/live_session_components.h"

#include "kernel/kernel_object.h"
#include "protocol/relogin_thread.h"
#include "protocol/session.h"

LiveSessionComponents::LiveSessionComponents()
    : m_Recorders(recording::RecorderHooks{
          [] { return g_szSessionCookie.Get(); },
          [this] { m_Pipeline.Parser().ClearAlarmFlag(); },
      }) {}

bool LiveSessionComponents::AllocateBuffers() {
    // The pipeline reaches the recorders through the state object, which exists from here on.
    g_lpApp->m_pRecording = &m_Recorders;
    return m_Recorders.AllocateBuffers();
}

void LiveSessionComponents::FreeBuffers() {
    m_Recorders.FreeBuffers();
    g_lpApp->m_pRecording = nullptr;
}

bool LiveSessionComponents::CreateResources() {
    return m_Recorders.CreateResources();
}

void LiveSessionComponents::FreeResources() {
    m_Recorders.FreeResources();
}

std::uint32_t LiveSessionComponents::GetImageThread() {
    return m_Pipeline.GetImageThread();
}

std::uint32_t LiveSessionComponents::ComposeThread() {
    return m_Pipeline.ComposeThread();
}

std::uint32_t LiveSessionComponents::ShowThread() {
    return m_Pipeline.ShowThread();
}

std::uint32_t LiveSessionComponents::ReLoginThread() {
    return LoginThread();
}

void LiveSessionComponents::StartRecorderThreads(std::uint8_t recordMode) {
    m_Recorders.StartRecorderThreads(recordMode);
}

void LiveSessionComponents::StopRecorderThreads() {
    m_Recorders.StopRecorderThreads();
}

void LiveSessionComponents::StopAlarmAndScheduleRecording() {
    m_Recorders.StopAlarmAndScheduleRecording();
}

bool LiveSessionComponents::LoadAlarmWave(const std::string& path) {
    return m_Pipeline.LoadAlarmWave(path);
}

void LiveSessionComponents::SetAlarmWavePlayEvent(platform::Handle playEvent) {
    m_Pipeline.SetAlarmWavePlayEvent(playEvent);
}
