#pragma once

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

#include "../protocol/device_fixture.h"
#include "platform/paths.h"

namespace test_support {

// The emulator on loopback and the generated skin as the program folder.
class LoginFixture : public DeviceFixture {
protected:
    LoginFixture() {
        platform::SetProgramFolder(TORVEL_SKIN_DIR);
        SetDeviceAddress("", 80);
    }
    ~LoginFixture() override { platform::SetProgramFolder({}); }

    std::string Port() const { return std::to_string(device.Port()); }

    // Lets posted messages and Qt events run until `done` holds (real time, bounded).
    static bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10'000) {
        for (int waited = 0; waited < timeoutMs; waited += 5) {
            QApplication::processEvents();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    // Runs a modal window: `act` once its loop runs; a window still open after a minute is closed
    // with -100 so that a fault fails the test instead of hanging it. The minute is no measure of
    // speed: a login through the sanitizers on a busy machine may take many seconds.
    template <class Dialog>
    static int RunModal(Dialog& dialog, const std::function<void()>& act) {
        QTimer::singleShot(0, &dialog, act);
        QTimer::singleShot(60'000, &dialog, [&dialog] { dialog.done(-100); });
        return dialog.DoModal();
    }
};

}  // namespace test_support
