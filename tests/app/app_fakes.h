#pragma once

// Stand-ins for the stream threads, recorders, re-login thread, alarm sound and the two modal
// dialogs, each recording what the start-up and the resource chains ask of it.

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/session_components.h"
#include "kernel/kernel_object.h"
#include "login/startup_dialogs.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "test_support/fake_main_window.h"
#include "ui/window_message.h"

namespace test_support {

class FakeSessionComponents : public SessionComponents {
public:
    explicit FakeSessionComponents(EventLog& log) : m_log(log) {}

    bool AllocateBuffers() override { return Note("AllocateBuffers"); }
    void FreeBuffers() override { Note("FreeBuffers"); }
    bool CreateResources() override { return Note("CreateResources"); }
    void FreeResources() override { Note("FreeResources"); }
    // Like the real receiver: streams once its start event comes, and answers a close request
    // with its feedback event.
    std::uint32_t GetImageThread() override {
        Note("GetImage started");
        const platform::Handle events[] = {g_lpApp->h_NotifyGetJPEGImageThreadResetEvent,
                                           g_lpApp->h_StartToGetJpegImageEvent};
        std::uint32_t woken;
        while ((woken = platform::WaitForAnyObject(events, platform::kInfinite)) ==
               platform::kWaitObject0 + 1) {
            Note("GetImage streaming");
        }
        if (woken == platform::kWaitObject0) {
            Note("GetImage close requested");
            platform::SetEvent(g_lpApp->h_FeedBackForNotifyResetEvent);
            platform::Sleep(platform::kInfinite);
        }
        Note("GetImage ended");
        return 0;
    }
    std::uint32_t ComposeThread() override { return RunUntilStopped("Compose"); }
    std::uint32_t ShowThread() override { return RunUntilStopped("Show"); }
    std::uint32_t ReLoginThread() override {
        Note("ReLogin");
        return reLogin ? reLogin() : 0;
    }
    void StartRecorderThreads(std::uint8_t mode) override {
        Note("StartRecorders " + std::to_string(mode));
    }
    void StopRecorderThreads() override { Note("StopRecorders"); }
    void StopAlarmAndScheduleRecording() override { Note("StopAlarmAndSchedule"); }
    bool LoadAlarmWave(const std::string& path) override {
        Note("LoadAlarmWave " + path);
        return alarmWaveLoads;
    }
    void SetAlarmWavePlayEvent(platform::Handle playEvent) override {
        Note("SetAlarmWavePlayEvent");
        lastPlayEvent = playEvent;
    }

    std::atomic<bool> alarmWaveLoads{true};
    // The re-login thread's body, when a test runs a real one.
    std::function<std::uint32_t()> reLogin;
    platform::Handle lastPlayEvent;

private:
    bool Note(const std::string& event) {
        m_log.Add(event);
        return true;
    }
    std::uint32_t RunUntilStopped(const std::string& name) {
        Note(name + " started");
        platform::Sleep(platform::kInfinite);
        Note(name + " ended");
        return 0;
    }

    EventLog& m_log;
};

// Plays the login dialog with a scripted list of login results (one per run), then cancels.
class FakeStartupDialogs : public StartupDialogs {
public:
    FakeStartupDialogs(EventLog& log, std::deque<int> loginResults)
        : m_log(log), m_loginResults(std::move(loginResults)) {}

    int RunLoginDialog(const LoginPreset& preset) override {
        presets.push_back(preset);
        m_log.Add("LoginDialog");
        if (m_loginResults.empty()) {
            return 2;
        }
        g_lpApp->w_LoginResult = static_cast<std::uint16_t>(m_loginResults.front());
        m_loginResults.pop_front();
        return kIdOk;
    }
    void RunMainWindow() override { m_log.Add("MainWindow"); }

    std::vector<LoginPreset> presets;

private:
    EventLog& m_log;
    std::deque<int> m_loginResults;
};

}  // namespace test_support
