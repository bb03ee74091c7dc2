// The CGI exchange as a device answers it: status line, headers, Content-Length and body, in
// pieces, for a plain command, the login and device-info exchange, and every configuration
// section the program keeps, with the channel fields the pages read from them.
//
// Input: a mode byte, then a reply script (fuzz_support.h).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <utility>
#include <vector>

#include "config/channel_sections.h"
#include "fuzz_support.h"
#include "kernel/kernel_object.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/config_section.h"
#include "protocol/login.h"
#include "protocol/relogin_thread.h"

namespace {

void PlainCommand(std::uint8_t room) {
    // Room from none to past the largest body a page asks for.
    std::vector<std::uint8_t> reply(static_cast<std::size_t>(room) * 64);
    std::uint32_t length = 0xFFFFFFFF;
    VortaStatus status;
    const CCgiRequest request(CGI_GETONLINEUSER);
    const int ok = VortaSendCommand(request.Command(), request.Url(), "body", 4, &status,
                                    reply.empty() ? nullptr : reply.data(),
                                    static_cast<std::uint32_t>(reply.size()), &length, 2, 2);
    if (ok && length > reply.size()) {
        std::abort();  // a success must never claim more than the caller's buffer
    }
}

void LoginExchange() {
    LoginReply parsed;
    if (SendLoginRequest("admin", "admin", nullptr, &parsed) == LoginOutcome::LoggedIn) {
        if (const auto info = SendDeviceInfoRequest()) {
            StoreDeviceInfo(ParseDeviceInfoReply(*info));
        }
    }
}

void ConfigurationSections() {
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    for (const auto& [section, block] : fuzz::SectionBlocks(cfg)) {
        if (GetConfigSection(section, block.data(), static_cast<std::uint32_t>(block.size())) ==
            0) {
            return;
        }
    }
    const auto entries = config::ReadRs485Entries(cfg.RS485);
    config::WriteRs485Entries(entries, cfg.RS485);
    for (std::size_t i = 0; i < config::kListRows; ++i) {
        const auto detection = config::ReadDetectionChannel(cfg.DVRLIVE, cfg.ALARM, i);
        config::WriteDetectionChannel(detection, cfg.DVRLIVE, i);
        const auto camera = config::ReadCameraChannel(cfg.DVRLIVE, cfg.DVRREC, i);
        config::WriteCameraChannel(camera, cfg.DVRLIVE, cfg.DVRREC, i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::LoopbackDevice device;
    fuzz::Program::Get().PointAt(device.Port());
    if (size < 2) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    device.Serve(fuzz::DecodeReplyScript({data + 1, size - 1}));
    switch (mode % 3) {
        case 0:
            PlainCommand(mode);
            break;
        case 1:
            LoginExchange();
            break;
        default:
            ConfigurationSections();
            break;
    }
    device.WaitIdle();
    return 0;
}
