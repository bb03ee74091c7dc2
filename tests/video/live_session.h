#pragma once

// A whole live session against the device emulator on loopback: the kernel object, the real
// resource chains and mailbox, the live pipeline behind them, a main window that paints every
// frame with the pipeline's painter and records what it is given, and a recorder stub that
// records the frames pushed to it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/process_threads.h"
#include "app/session_components.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "test_support/fake_main_window.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/session_fixture.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "video/live_pipeline.h"

namespace video_test {

using test_support::EventLog;

class PipelineComponents : public SessionComponents {
public:
    PipelineComponents(LivePipeline& pipeline, EventLog& log) : m_pipeline(pipeline), m_log(log) {}

    bool AllocateBuffers() override { return true; }
    void FreeBuffers() override {}
    bool CreateResources() override { return true; }
    void FreeResources() override {}
    std::uint32_t GetImageThread() override { return m_pipeline.GetImageThread(); }
    std::uint32_t ComposeThread() override { return m_pipeline.ComposeThread(); }
    std::uint32_t ShowThread() override { return m_pipeline.ShowThread(); }
    std::uint32_t ReLoginThread() override {
        m_log.Add("ReLogin");
        return 0;
    }
    void StartRecorderThreads(std::uint8_t) override {}
    void StopRecorderThreads() override {}
    void StopAlarmAndScheduleRecording() override {}
    bool LoadAlarmWave(const std::string& path) override { return m_pipeline.LoadAlarmWave(path); }
    void SetAlarmWavePlayEvent(platform::Handle playEvent) override {
        m_pipeline.SetAlarmWavePlayEvent(playEvent);
    }

private:
    LivePipeline& m_pipeline;
    EventLog& m_log;
};

// The main window as the stream threads see it: DrawFrame paints with the pipeline's painter.
class PaintingWindow : public test_support::FakeMainWindow {
public:
    PaintingWindow(LivePipeline& pipeline, EventLog& log)
        : FakeMainWindow(log), m_log(log), m_pipeline(pipeline) {}

    void DrawFrame() override { m_pipeline.Painter().Paint(); }
    bool OnMessage(std::uint32_t msg, ui::WPARAM, ui::LPARAM lParam) override {
        m_log.Add("Message " + std::to_string(msg) + " " + std::to_string(lParam));
        return true;
    }
    void PresentFrame(std::shared_ptr<const PaintedFrame> frame) override {
        std::lock_guard lock(m_mutex);
        m_last = std::move(frame);
        ++m_presented;
    }

    int Presented() const {
        std::lock_guard lock(m_mutex);
        return m_presented;
    }
    std::shared_ptr<const PaintedFrame> Last() const {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

private:
    EventLog& m_log;
    LivePipeline& m_pipeline;
    mutable std::mutex m_mutex;
    int m_presented = 0;
    std::shared_ptr<const PaintedFrame> m_last;
};

class RecorderStub : public RecordingLink {
public:
    explicit RecorderStub(EventLog& log) : m_log(log) {}

    std::uint32_t PushPreAlarmFrame(const std::uint8_t* frame, std::uint32_t length,
                                    std::uint32_t timeStamp) override {
        std::lock_guard lock(m_mutex);
        m_frames.emplace_back(frame, frame + length);
        m_timeStamps.push_back(timeStamp);
        return 1;
    }
    bool AlarmItemPending() const override { return m_pending; }
    std::uint32_t StartAlarmRecord(const std::string&) override {
        m_pending = true;
        m_log.Add("StartAlarmRecord");
        return 1;
    }
    std::uint32_t StopAlarmRecord() override {
        m_pending = false;
        m_log.Add("StopAlarmRecord");
        return 1;
    }
    bool ResumeUserRecord() override { return false; }

    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_frames.size();
    }
    std::vector<std::vector<std::uint8_t>> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<std::uint32_t> TimeStamps() const {
        std::lock_guard lock(m_mutex);
        return m_timeStamps;
    }

private:
    EventLog& m_log;
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::uint8_t>> m_frames;
    std::vector<std::uint32_t> m_timeStamps;
    std::atomic<bool> m_pending{false};
};

class LiveSession : public ::testing::Test {
protected:
    static constexpr auto kPatience = std::chrono::seconds(20);

    LiveSession() {
        kernel.Attach(window, window.Handle());
        TraceLogInit(30, kernel.Folder().string() + "/");
        KernelObject& app = *g_lpApp;
        app.m_pRecording = &recorder;
        app.CSettingINI.m_strSnapshotPath = kernel.Folder().string();
        app.m_DeviceList.Add(0, 1, KLM300_DVR, CDeviceList::kMasterKind);

        device.Start();
        device.Update([](device_emulator::Settings& s) {
            s.identity.check_cookie = false;
            s.stream.frame_rate = 0;
            s.stream.split_pause = std::chrono::milliseconds(2);
        });
        SetDeviceAddress("127.0.0.1", device.Port());
        g_szSessionCookie.Set("C00KIE");
        g_strHostName.Set("10.0.0.5");
        resources.emplace(components);
    }

    void Stream(const std::function<void(device_emulator::StreamSettings&)>& change) {
        device.Update([&](device_emulator::Settings& s) { change(s.stream); });
    }

    void Start() { platform::SetEvent(g_lpApp->h_StartToGetJpegImageEvent); }

    // "Alarm Trigger Record" on, with the R.E.T.R. switch every settings load sets and a device
    // that reports R.E.T.R. on: stream alarms record.
    static void RecordAlarms() {
        g_lpApp->CSettingINI.m_bAlarmTriggerRecord = 1;
        g_lpApp->CSettingINI.m_bRetrAlarmRecord = 1;
        g_lpApp->m_DeviceList.SetRetrState(1);
    }

    // Waits (real time) until `done` holds, delivering posted window messages meanwhile.
    bool WaitUntil(const std::function<bool()>& done) {
        return test_support::PumpUntil(
            done, static_cast<int>(std::chrono::milliseconds(kPatience).count()));
    }
    bool WaitForFrames(std::size_t count) {
        return WaitUntil([&] {
            return recorder.Count() >= count && window.Presented() >= static_cast<int>(count);
        });
    }

    test_support::ProgramKernel kernel;
    test_support::RecordingMessageSink messages;
    EventLog log;
    device_emulator::DeviceEmulator device;
    LivePipeline pipeline;
    PipelineComponents components{pipeline, log};
    PaintingWindow window{pipeline, log};
    RecorderStub recorder{log};
    std::optional<test_support::SessionResources> resources;
};

}  // namespace video_test
