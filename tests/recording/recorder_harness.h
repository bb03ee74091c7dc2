#pragma once

// A session of the recorders without the live pipeline: the kernel object with its settings,
// the session's end event, and a push that hands frames over the way the compose thread does.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "recording/recorder_set.h"
#include "test_support/null_main_window.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace recording_test {

class StatusLine : public test_support::NullMainWindow {
public:
    void ShowStatusText(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    void SetButtonImage(int controlId, int imageIndex) override {
        std::lock_guard lock(m_mutex);
        m_buttons.emplace_back(controlId, imageIndex);
    }
    std::vector<std::pair<int, int>> ButtonImages() const {
        std::lock_guard lock(m_mutex);
        return m_buttons;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<std::pair<int, int>> m_buttons;
};

class RecorderSession : public ::testing::Test {
protected:
    RecorderSession() {
        g_lpApp = new KernelObject;
        g_lpApp->m_pMainDialog = &status;
        g_lpApp->CSettingINI.m_strProgramPath = program.Path().string() + "/";
        g_lpApp->CSettingINI.m_strRecordPath = records.Path().string();
        g_lpApp->CSettingINI.m_strServerName = "192.168.1.10";
        g_lpApp->CSettingINI.m_strUserName = "admin";
        g_lpApp->m_wImageWidth = 320;
        g_lpApp->m_wImageHeight = 240;
        // The program's pending alarm entry must not leak from one test into the next.
        AlarmDatabase().NewAlarmDataItem("");
        EXPECT_TRUE(set.AllocateBuffers());
        BeginSession();
    }

    ~RecorderSession() override {
        EndSession();
        set.StopAllRecording();
        platform::JoinAllThreads();
        platform::CloseObject(g_lpApp->h_TimerEvent);
        platform::SetClockSpeed(1.0);
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    // As the session chains do: events and semaphores anew, then the recorder threads.
    void BeginSession() {
        g_lpApp->h_EndofGetJpegImageEvent = platform::CreateEventObject(true, false);
        EXPECT_TRUE(set.CreateResources());
        set.StartRecorderThreads(0);
    }

    void EndSession() {
        platform::SetEvent(g_lpApp->h_EndofGetJpegImageEvent);
        platform::CloseObject(g_lpApp->h_EndofGetJpegImageEvent);
        set.StopRecorderThreads();
        set.FreeResources();
    }

    // Pushes frames numbered first, first + 1, ... and waits until every recorder is done with
    // the last one.
    void Push(std::uint32_t first, std::uint32_t count, std::size_t size = 64) {
        for (std::uint32_t id = first; id < first + count; ++id) {
            const Bytes frame = NumberedFrame(id, size);
            ASSERT_EQ(set.PushPreAlarmFrame(frame.data(), static_cast<std::uint32_t>(size), id * 5),
                      1u);
        }
        Settle();
    }

    // Returns once no recorder holds the ring.
    void Settle() {
        for (recording::RecorderHandover* r : std::initializer_list<recording::RecorderHandover*>{
                 &set.m_AlarmRecord, &set.m_UserRecord, &set.m_SchRecord}) {
            ASSERT_EQ(platform::WaitForObject(r->h_FreeSem, 5'000), platform::kWaitObject0);
            platform::ReleaseSemaphore(r->h_FreeSem);
        }
    }

    // Waits (real time) for a recorder's thread to take frames.
    static bool WaitRecording(const recording::RecorderHandover& r, bool recording = true) {
        for (int i = 0; i < 2'000; ++i) {
            if ((r.m_fRecording != 0) == recording) {
                return true;
            }
            platform::Sleep(1);
        }
        return false;
    }

    // The ids of the frames in a record file, checking numbering and index on the way.
    static std::vector<std::uint32_t> FrameIds(const std::filesystem::path& path) {
        recording::RecordFileReader reader;
        EXPECT_TRUE(reader.Open(path)) << reader.Error();
        EXPECT_TRUE(reader.Indexed()) << path;
        EXPECT_EQ(reader.Header().dwFrameCount, reader.Frames().size());
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < reader.Frames().size(); ++i) {
            EXPECT_EQ(reader.Frames()[i].record.dwSequence, i + 1);
            ids.push_back(FrameId(reader.ReadFrame(i)));
        }
        return ids;
    }

    static std::vector<std::uint32_t> Range(std::uint32_t first, std::uint32_t count) {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t id = first; id < first + count; ++id) {
            ids.push_back(id);
        }
        return ids;
    }

    std::vector<std::filesystem::path> RecordFiles(const std::string& ext = ".qrn") const {
        return FilesIn(records.Path(), ext);
    }

    std::vector<AlarmDBItem> AlarmEntries() {
        SystemConfig db;
        db.LoadAlarmDatabase(program.Path().string());
        return db.Items();
    }

    test_support::TempFolder program;
    test_support::TempFolder records;
    test_support::RecordingMessageSink messages;
    StatusLine status;
    std::string cookie = "Ab1-x/7.Q";
    recording::RecorderSet set{{[this] { return cookie; }, nullptr}};
};

}  // namespace recording_test
