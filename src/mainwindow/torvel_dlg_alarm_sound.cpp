// The alarm sound of the main window: started and stopped by the stream's alarm messages,
// stopped by a click.

#include "kernel/kernel_object.h"
#include "mainwindow/torvel_dlg.h"
#include "platform/thread.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "video/live_pipeline.h"

void CTorvelDlg::OnPostAlarmAudio(ui::WPARAM, ui::LPARAM lParam) {
    KernelObject& app = *g_lpApp;
    if (lParam == 2) {
        m_bAlarmSoundFailureShown = false;
        app.m_fAlarmStartActive = 0;
        if (app.m_fAlarmSoundOn != 0) {
            platform::SetEvent(app.h_StopAlarmWavEvent);
            app.m_fAlarmSoundOn = 0;
        }
        platform::StopThread(app.h_PlayAudioWavThread, 10);
        return;
    }
    if (app.m_fAlarmStartActive != 0) {
        return;
    }
    if (app.h_StopAlarmWavEvent) {
        platform::SetEvent(app.h_StopAlarmWavEvent);
    }
    LivePipeline& pipeline = m_services.pipeline;
    if (!pipeline.LoadAlarmWave(app.CSettingINI.m_strTriggerWavPath)) {
        // Every frame of an alarm asks again; the user hears of the missing sound once.
        if (!m_bAlarmSoundFailureShown) {
            m_bAlarmSoundFailureShown = true;
            ui::ShowMessage(ui::texts::kLoadAlarmAudioFailed);
        }
        return;
    }
    platform::CloseObject(app.h_PlayAlarmWavEvent);
    platform::CloseObject(app.h_StopAlarmWavEvent);
    app.h_PlayAlarmWavEvent = platform::CreateEventObject(false, false);
    app.h_StopAlarmWavEvent = platform::CreateEventObject(false, false);
    pipeline.SetAlarmWavePlayEvent(app.h_PlayAlarmWavEvent);
    platform::StopThread(app.h_PlayAudioWavThread, 10);
    app.h_PlayAudioWavThread =
        platform::StartThread([&pipeline] { return pipeline.PlayAudioWavThread(); });
    if (!app.h_PlayAudioWavThread) {
        return;
    }
    app.m_fAlarmSoundOn = 1;
    app.m_fAlarmStartActive = 1;
}

void CTorvelDlg::StopAlarmSound() {
    KernelObject& app = *g_lpApp;
    if (app.m_fAlarmSoundOn != 0) {
        platform::SetEvent(app.h_StopAlarmWavEvent);
        app.m_fAlarmSoundOn = 0;
    }
}
