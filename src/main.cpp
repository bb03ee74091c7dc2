#include <QApplication>

#include "app/session_components.h"
#include "app/startup_dialogs.h"
#include "app/torvel_app.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace {

// The stream threads, recorders, re-login thread and alarm sound are not part of this build yet:
// their threads only wait for their stop.
class IdleSessionComponents final : public SessionComponents {
public:
    bool AllocateBuffers() override { return true; }
    void FreeBuffers() override {}
    bool CreateResources() override { return true; }
    void FreeResources() override {}
    std::uint32_t GetImageThread() override { return WaitForStop(); }
    std::uint32_t ComposeThread() override { return WaitForStop(); }
    std::uint32_t ShowThread() override { return WaitForStop(); }
    std::uint32_t ReLoginThread() override { return 0; }
    void StartRecorderThreads(std::uint8_t) override {}
    void StopRecorderThreads() override {}
    void StopAlarmAndScheduleRecording() override {}
    bool LoadAlarmWave(const std::string&) override { return false; }
    void SetAlarmWavePlayEvent(platform::Handle) override {}

private:
    static std::uint32_t WaitForStop() {
        platform::Sleep(platform::kInfinite);
        return 0;
    }
};

// No login dialog in this build yet: start-up ends at the login step, as after a cancel.
class NoStartupDialogs final : public StartupDialogs {
public:
    int RunLoginDialog(const LoginPreset&) override { return 0; }
    void RunMainWindow() override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("torvel");
    IdleSessionComponents components;
    NoStartupDialogs dialogs;
    CTorvelApp app(components, dialogs);
    app.InitInstance();
    return app.ExitInstance();
}
