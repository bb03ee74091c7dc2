#pragma once

#include <gtest/gtest.h>

#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "test_support/recording_message_sink.h"

namespace test_support {

// A kernel object whose settings point at a device emulator on loopback.
class DeviceFixture : public ::testing::Test {
protected:
    DeviceFixture() {
        g_lpApp = new KernelObject;
        device.Start();
        SetDeviceAddress("127.0.0.1", device.Port());
        g_strHostName.Set("10.0.0.5");
        g_szSessionCookie.Clear();
    }
    ~DeviceFixture() override {
        platform::JoinAllThreads();
        platform::SetClockSpeed(1.0);
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    void Faults(const std::string& path, device_emulator::ReplyFaults faults) {
        device.Update([&](device_emulator::Settings& s) { s.faults[path] = faults; });
    }

    device_emulator::DeviceEmulator device;
    RecordingMessageSink messages;
};

}  // namespace test_support
