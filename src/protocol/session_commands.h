#pragma once

// The session commands of the main window, without a widget: the connect and disconnect steps,
// the resolution and quality steps, power, R.E.T.R., turbo, the PTZ switch with its rollback,
// the hot-point packet and the section fetches before the picture-adjust dialog and the
// configuration sheet. Each call says on which thread it belongs. Those that talk to the device
// run on the command runner's thread (protocol/command_runner.h) and only report what happened;
// the window shows the report. Those that change what the window shows run on the window's
// thread, between the device steps.

#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "ui/string_ids.h"

// What a device step left for the window: a box to show (string id, 0 for none).
struct CommandOutcome {
    bool ok = true;
    std::uint32_t message = 0;

    static CommandOutcome Failed(std::uint32_t text) { return {false, text}; }
};

// The device info of the window's start-up, or why there is none.
struct StartupInfo {
    std::optional<DeviceInfoReply> reply;
    LoginCause cause = LoginCause::None;
    std::int32_t httpStatus = 0;  // the refusing status of DeviceRefused
};

// What a refused PTZ switch puts back.
struct PtzRollback {
    bool wasMaster = true;
    std::uint8_t ordinal = 0;
    std::uint8_t hotPointMode = 1;
    std::uint32_t hotPointOn = 0;
};

class SessionCommands {
public:
    // --- on the runner's thread ---

    // The window's start-up: the device info into the kernel object and the device list (the
    // server, then its peripherals), the product test, the first master made current and, for
    // a supervisor, the model name's check in the INF section, sent back when it is cut. The
    // reply; none, with why, when the request failed, its reply was empty or the device is not
    // ours.
    static StartupInfo FetchStartupInfo();

    // Connect: ends a re-login thread still under way (30 ms, then it is stopped) and starts a
    // new one. False when it cannot be started.
    static bool StartRelogin();
    // Disconnect: ends the re-login thread, asks the stream threads to reset (up to 5 s) and
    // the process threads to tear the stream down (up to 10 s), then marks the session
    // disconnected. A time-out is no failure.
    static void Disconnect();
    // Resolution ("RES") or quality ("QUA") index `value`: ok when the device took it.
    static CommandOutcome SendStreamSetting(std::uint8_t command, const char* name,
                                            std::uint32_t value, std::uint32_t failureText);
    // The power key of the current device's protocol. Ok (the window toggles its power state)
    // whenever the key could be tried, whatever the device answered.
    static CommandOutcome SendPower();
    // Switches R.E.T.R. to the other state of the device list's.
    static CommandOutcome SendRetr();
    // The peripherals behind a slave-list master ("/PTZReset.cgi"), into the device list.
    static CommandOutcome FetchPeripherals();
    // "/PTZReset.cgi" alone: the device's PTZ state back after a cancelled choice.
    static CommandOutcome ResetPtz();
    // The key-command body that hands the key panel to a peripheral or back to the master.
    static CommandOutcome SendPtzSelect(const std::vector<std::uint8_t>& body);
    // A hot-point packet to the current device.
    static CommandOutcome SendHotPoint(const std::vector<std::uint8_t>& packet);
    // The IMG section, cleared first.
    static CommandOutcome FetchImageSection();
    // The eleven sections the configuration sheet shows, in the device's order; stops at the
    // first failure.
    static CommandOutcome FetchSheetSections();

    // --- on the window's thread ---

    // Makes peripheral `n` (1 to 16) current, or the master when `backToMaster`, with the
    // hot-point mode that goes with it, and returns what puts the old state back.
    static PtzRollback SelectPtz(bool backToMaster, int n);
    static void RollBack(const PtzRollback& rollback);
    // Turbo on or off; the new state.
    static bool ToggleTurbo();
};
