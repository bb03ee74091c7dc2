#include "protocol/session_commands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "kernel/kernel_object.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/config_section.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"
#include "protocol/remote_key.h"
#include "protocol/session.h"

namespace {

constexpr const char* kProductId = "Q41E";
constexpr std::uint32_t kStreamResetWaitMs = 5'000;
constexpr std::uint32_t kStreamTerminateWaitMs = 10'000;

bool IsPtzType(int type) {
    return type == PTZ_SLAVE || type == PTZ_PELCO;
}

void AddCookie(CCgiRequest& request) {
    const std::string cookie = g_szSessionCookie.Get();
    if (!cookie.empty()) {
        request.AddParam("Cookie", cookie);
    }
}

CommandOutcome Send(const CCgiRequest& request, const std::vector<std::uint8_t>& body = {},
                    std::uint32_t failureText = ui::texts::kSendFailed) {
    VortaStatus status;
    if (VortaSendCommand(request.Command(), request.Url(), body.empty() ? nullptr : body.data(),
                         static_cast<std::uint32_t>(body.size()), &status, nullptr, 0,
                         nullptr) == 0) {
        return CommandOutcome::Failed(failureText);
    }
    return {};
}

CommandOutcome Fetch(std::uint8_t section, std::span<std::uint8_t> block) {
    if (GetConfigSection(section, block.data(), static_cast<std::uint32_t>(block.size())) == 0) {
        return CommandOutcome::Failed(ui::texts::kGetConfigError);
    }
    return {};
}

// A supervisor's device that reports its model with a stray eighth character gets it cut. A
// failed fetch leaves the model alone.
void TrimModelName() {
    auto& inf = g_lpApp->m_SysCfg.INF;
    if (GetConfigSection(CFG_INF, inf.data(), static_cast<std::uint32_t>(inf.size())) == 0) {
        return;
    }
    constexpr std::size_t kModel = 24;
    if (std::memcmp(inf.data() + kModel, "KLM-300", 7) == 0) {
        std::fill_n(inf.begin() + kModel, 8, 0);
        std::memcpy(inf.data() + kModel, "KLM-300", 7);
        SetConfigSection(CFG_INF, inf.data(), static_cast<std::uint32_t>(inf.size()), 0);
    }
}

}  // namespace

StartupInfo SessionCommands::FetchStartupInfo() {
    KernelObject& app = *g_lpApp;
    VortaStatus status;
    const std::optional<std::string> info = SendDeviceInfoRequest(&status);
    if (!info) {
        const LoginCause cause = CommandFailureCause(status, LoginCause::BadReply);
        return {std::nullopt, cause, cause == LoginCause::DeviceRefused ? status.httpStatus : 0};
    }
    DeviceInfoReply reply = ParseDeviceInfoReply(*info);
    StoreDeviceInfo(reply);
    // The list is the device info's alone; whatever the login left in it would come twice.
    app.m_DeviceList.Clear();
    FillDeviceList(reply);
    if (app.m_DeviceID[0].text != kProductId) {
        return {std::nullopt, LoginCause::OtherProduct};
    }
    app.m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    if (app.m_wUserLevel == 30) {
        TrimModelName();
    }
    return {reply};
}

bool SessionCommands::StartRelogin() {
    return RestartReLoginThread(LoginThread);
}

void SessionCommands::Disconnect() {
    KernelObject& app = *g_lpApp;
    RestartReLoginThread({});
    if (app.m_fStreamThreadsRunning != 0) {
        platform::SetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
        platform::WaitForObject(app.h_FeedBackForNotifyResetEvent, kStreamResetWaitMs);
    }
    // A session that is up but not yet streaming has its threads all the same.
    platform::SetEvent(app.h_Process_Notify_TerminateEvent);
    platform::WaitForObject(app.h_Process_Reply_TerminateEvent, kStreamTerminateWaitMs);
    app.m_fConnected = 0;
}

CommandOutcome SessionCommands::SendStreamSetting(std::uint8_t command, const char* name,
                                                  std::uint32_t value, std::uint32_t failureText) {
    CCgiRequest request(command);
    AddCookie(request);
    request.AddParamInt(name, static_cast<int>(value));
    return Send(request, {}, failureText);
}

CommandOutcome SessionCommands::SendPower() {
    if (g_lpApp->m_fConnected == 0) {
        return CommandOutcome::Failed(ui::texts::kCannotConnect);
    }
    const CtrlProtocol* protocol = CurrentProtocol();
    if (!protocol) {
        return CommandOutcome::Failed(ui::texts::kNoProtocol);
    }
    SendKeyCommand(*protocol, protocol->PowerKey, 1);
    return {};
}

CommandOutcome SessionCommands::SendRetr() {
    CCgiRequest request(CGI_SETRETR);
    AddCookie(request);
    request.AddParam("SET", g_lpApp->m_DeviceList.GetState() != 0 ? "0" : "1");
    return Send(request);
}

CommandOutcome SessionCommands::FetchPeripherals() {
    CCgiRequest request(CGI_PTZRESET);
    AddCookie(request);
    std::array<char, 1024> reply{};
    std::uint32_t length = 0;
    if (VortaSendCommand(request.Command(), request.Url(), nullptr, 0, nullptr, reply.data(),
                         reply.size() - 1, &length) == 0) {
        return CommandOutcome::Failed(ui::texts::kSendFailed);
    }
    const std::string_view body(reply.data(), length);
    if (body.find("SLAVENUM") != std::string_view::npos) {
        const DeviceInfoReply slaves = ParseDeviceInfoReply(body);
        CDeviceList& devices = g_lpApp->m_DeviceList;
        for (std::size_t i = 0; i < slaves.peripherals.size(); ++i) {
            devices.SetPeripheral(static_cast<std::uint8_t>(i),
                                  static_cast<std::uint8_t>(slaves.peripherals[i].type),
                                  static_cast<std::uint8_t>(slaves.peripherals[i].id));
        }
    }
    return {};
}

CommandOutcome SessionCommands::ResetPtz() {
    CCgiRequest request(CGI_PTZRESET);
    AddCookie(request);
    return Send(request);
}

CommandOutcome SessionCommands::SendPtzSelect(const std::vector<std::uint8_t>& body) {
    CCgiRequest request(CGI_RS485CMD);
    request.AddParam("Control", kProductId);
    request.AddParam("MASTER", "1");
    AddCookie(request);
    return Send(request, body);
}

CommandOutcome SessionCommands::SendHotPoint(const std::vector<std::uint8_t>& packet) {
    const CDeviceList& devices = g_lpApp->m_DeviceList;
    CCgiRequest request(CGI_RS485CMD);
    request.AddParam("Control", kProductId);
    if (!devices.IsCurrentMaster()) {
        request.AddParamInt("CH", devices.GetOrdinal());
        request.AddParam("MASTER", "0");
    } else {
        request.AddParam("MASTER", "1");
    }
    AddCookie(request);
    return Send(request, packet);
}

CommandOutcome SessionCommands::FetchImageSection() {
    auto& block = g_lpApp->m_SysCfg.IMG;
    block.fill(0);
    return Fetch(CFG_IMG, block);
}

CommandOutcome SessionCommands::FetchSheetSections() {
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    cfg.ONLINE.fill(0);
    const std::pair<std::uint8_t, std::span<std::uint8_t>> sections[] = {
        {CFG_IP, cfg.IP},         {CFG_ONLINE, cfg.ONLINE},   {CFG_ALARM, cfg.ALARM},
        {CFG_SECURE, cfg.SECURE}, {CFG_SMTP, cfg.SMTP},       {CFG_FTP, cfg.FTP},
        {CFG_RS485, cfg.RS485},   {CFG_DVRLIVE, cfg.DVRLIVE}, {CFG_DVRREC, cfg.DVRREC},
        {CFG_PPPOE, cfg.PPPOE},   {CFG_DNS, cfg.DNS},
    };
    for (const auto& [section, block] : sections) {
        if (CommandOutcome fetched = Fetch(section, block); !fetched.ok) {
            return fetched;
        }
    }
    return {};
}

PtzRollback SessionCommands::SelectPtz(bool backToMaster, int n) {
    KernelObject& app = *g_lpApp;
    CDeviceList& devices = app.m_DeviceList;
    const PtzRollback rollback{devices.IsCurrentMaster() != 0, devices.GetOrdinal(),
                               app.m_bHotPointMode, app.m_fHotPointOn};
    if (backToMaster) {
        devices.Select(CDeviceList::kMasterKind, 0);
        if (app.m_bHotPointMode == 2) {
            app.m_bHotPointMode = 1;
            app.m_fHotPointOn = 0;
        }
    } else {
        devices.Select(CDeviceList::kPeripheralKind, static_cast<std::uint8_t>(n - 1));
        const bool ptz = IsPtzType(devices.GetCurrentType());
        app.m_fHotPointOn = ptz ? 1 : 0;
        app.m_bHotPointMode = ptz ? 2 : 1;
    }
    return rollback;
}

void SessionCommands::RollBack(const PtzRollback& rollback) {
    KernelObject& app = *g_lpApp;
    // The device still talks to the old device: so must the window.
    app.m_DeviceList.Select(
        rollback.wasMaster ? CDeviceList::kMasterKind : CDeviceList::kPeripheralKind,
        rollback.wasMaster ? 0 : rollback.ordinal);
    app.m_bHotPointMode = rollback.hotPointMode;
    app.m_fHotPointOn = rollback.hotPointOn;
    app.m_wHotBoxFrames = 0;
}

bool SessionCommands::ToggleTurbo() {
    KernelObject& app = *g_lpApp;
    app.m_fTurbo = app.m_fTurbo == 0 ? 1 : 0;
    return app.m_fTurbo != 0;
}
