#include "app/torvel_app.h"

#include <QGuiApplication>
#include <QScreen>
#include <string>

#include "app/process_threads.h"
#include "app/session_components.h"
#include "app/system_buffers.h"
#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "kernel/utilities.h"
#include "login/startup_dialogs.h"
#include "platform/thread.h"
#include "protocol/ctrl_file.h"
#include "protocol/login.h"
#include "protocol/session.h"

namespace {

constexpr std::uint16_t kUsEnglish = 1033;
constexpr std::uint16_t kLoginRepeat = 100;

std::uint32_t LoadLanguageDll() {
    g_lpApp->m_wLangID = kUsEnglish;
    return 1;
}

std::uint32_t ReadDisplayCaps() {
    KernelObject& app = *g_lpApp;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        app.m_wLogPixelsX = static_cast<std::uint16_t>(screen->logicalDotsPerInchX());
        app.m_wLogPixelsY = static_cast<std::uint16_t>(screen->logicalDotsPerInchY());
    }
    app.m_fScale = static_cast<float>(app.m_wLogPixelsX / 96.0);
    return 1;
}

bool ShowsMainWindow(std::uint16_t loginResult) {
    return loginResult == 30 || loginResult == 20 || loginResult == 10 || loginResult == 0;
}

}  // namespace

std::uint32_t InitKernelObject() {
    g_lpApp = new KernelObject;
    g_lpApp->h_DeviceAnswerEvent = platform::CreateEventObject(false, false);
    if (!g_lpApp->h_DeviceAnswerEvent) {
        return 0;
    }
    g_szSessionCookie.Clear();
    const std::uint32_t loaded = LoadCtrlFile();
    BindDeviceProtocols();
    return loaded;
}

CTorvelApp::CTorvelApp(SessionComponents& components, StartupDialogs& dialogs)
    : m_components(components), m_dialogs(dialogs) {}

bool CTorvelApp::InitInstance() {
    GetLocalHostAddress(g_strHostName);
    if (InitKernelObject() == 0) {
        return false;
    }
    KernelObject& app = *g_lpApp;
    LoadLanguageDll();
    app.m_fMMX = HasMMX();
    ReadDisplayCaps();
    if (AllocateSystemBuffer(m_components) == 0 || InitialSemaphore(m_components) == 0) {
        return false;
    }
    ::CSettingINI& settings = app.CSettingINI;
    settings.Load();
    TraceLogInit(300, settings.m_strProgramPath);
    app.m_TraceFile.Open(settings.m_strProgramPath);

    do {
        const LoginPreset preset{settings.m_strServerName, settings.m_strUserName,
                                 std::to_string(settings.m_wWebPort), "1200"};
        if (m_dialogs.RunLoginDialog(preset) != StartupDialogs::kIdOk) {
            return false;
        }
    } while (app.w_LoginResult == kLoginRepeat);

    if (InitProcessResource(m_components) == 0 || InitLoginResource(m_components) == 0) {
        return false;
    }
    if (ShowsMainWindow(app.w_LoginResult)) {
        m_dialogs.RunMainWindow();
    }
    return false;
}

int CTorvelApp::ExitInstance() {
    // Each release finds nothing left to do after a normal close of the main window.
    const bool released =
        !g_lpApp || (ExitLoginResource(m_components) && ExitProcessResource() &&
                     FreeSystemBuffer(m_components) && FreeSemaphore(m_components));
    TraceLogClose();
    ReleaseLoginObject();
    platform::JoinAllThreads();
    if (released) {
        delete g_lpApp;
        g_lpApp = nullptr;
    }
    return 0;
}
