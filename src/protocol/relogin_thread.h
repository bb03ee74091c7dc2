#pragma once

#include <cstdint>
#include <string>

#include "platform/thread.h"

// Brings a session up from the main window: logs in, reads the device info into the device list,
// relayouts the window, has the process threads set the stream up and starts it. Retries for ever
// until it succeeds, telling the status line what it does; ends only after a success or when it
// is stopped (every wait of it ends at once on a stop request).
std::uint32_t LoginThread();

// The status line after the device refused the stream with a status other than 202 (too many
// users, which has a text of its own); `status` 0 when it could not be read.
std::string RefusedStreamText(std::uint16_t status, std::uint32_t retrySeconds);

// The status line after the stream was out of step again at once after a reconnect.
std::string OutOfStepStreamText(const char* reason, std::uint32_t retrySeconds);

// Stops the re-login thread and, unless `body` is empty, starts `body` as the new one. The window
// thread and the kernel message thread both do this; they take turns, so there is never a second
// re-login thread. False when the new thread cannot be started.
bool RestartReLoginThread(platform::ThreadProc body);

// Stores what a device-info reply says about the session: lifetime, video mode, user level and
// the version texts.
struct DeviceInfoReply;
void StoreDeviceInfo(const DeviceInfoReply& reply);
// Rebuilds the device list from a device-info reply: the server as master (type 19 when the
// reply carries R.E.T.R., whose state is then applied) and its peripherals.
void FillDeviceList(const DeviceInfoReply& reply);
