#pragma once

// The state object and a session's resources, built the way start-up builds them and released the
// way shut-down does, for tests that run the real resource chains.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/process_threads.h"
#include "app/session_components.h"
#include "app/system_buffers.h"
#include "app/torvel_app.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "test_support/session_release.h"
#include "test_support/temp_folder.h"
#include "ui/window_message.h"

namespace test_support {

// g_lpApp, made by InitKernelObject in a program folder of its own with a minimal CtrlFile.ini.
class ProgramKernel {
public:
    ProgramKernel() {
        platform::SetProgramFolder(m_folder.Path());
        std::ofstream(m_folder.Path() / "CtrlFile.ini") << "[EOF]\nEND\n";
        EXPECT_EQ(InitKernelObject(), 1u);
        g_lpApp->CSettingINI.m_strProgramPath = m_folder.Path().string() + "/";
    }
    ~ProgramKernel() {
        platform::SetClockSpeed(1.0);
        delete g_lpApp;
        g_lpApp = nullptr;
    }
    ProgramKernel(const ProgramKernel&) = delete;
    ProgramKernel& operator=(const ProgramKernel&) = delete;

    const std::filesystem::path& Folder() const { return m_folder.Path(); }

    // The window the threads report to.
    void Attach(MainWindowLink& window, ui::WindowHandle handle) {
        g_lpApp->m_pMainDialog = &window;
        g_lpApp->h_MainDialogHandle = handle;
    }

private:
    TempFolder m_folder;
};

// Buffers, semaphores, process and login resources of one session.
class SessionResources {
public:
    explicit SessionResources(SessionComponents& components) : m_components(components) {
        EXPECT_EQ(AllocateSystemBuffer(components), 1u);
        EXPECT_EQ(InitialSemaphore(components), 1u);
        EXPECT_EQ(InitProcessResource(components), 1u);
        EXPECT_EQ(InitLoginResource(components), 1u);
    }
    ~SessionResources() {
        // A receive waiting on a silent device ends at once instead of after the close
        // hand-shake's time-out.
        platform::StopThread(g_lpApp->h_GetJpegImageThread, 1'000);
        ReleaseSession(m_components);
        platform::JoinAllThreads();
    }
    SessionResources(const SessionResources&) = delete;
    SessionResources& operator=(const SessionResources&) = delete;

private:
    SessionComponents& m_components;
};

}  // namespace test_support
