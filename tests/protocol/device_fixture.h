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

// What every command request carries after its path, with the fixture's host address.
inline constexpr const char* kRequestHeaders =
    " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n";
inline constexpr const char* kRequestTail =
    "Accept-Encoding: gzip, deflate\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT "
    "5.1; SV1; .NET CLR 1.1.4322)\r\nHost: 10.0.0.5\r\nConnection: Keep-Alive\r\n\r\n";

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
