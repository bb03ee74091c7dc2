#include "cgi_commands.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <random>
#include <set>

#include "event_log.h"
#include "firmware_upload.h"
#include "network_backup.h"

namespace device_emulator {

namespace {

constexpr std::size_t kOnlineEntrySize = 24;
constexpr std::size_t kOnlineNameSize = 16;

Reply Status(int status) {
    return Reply{status, "", "text/plain"};
}

std::optional<int> IntParam(const RecordedRequest& request, std::string_view name) {
    const std::optional<std::string> text = request.Param(name);
    int value = 0;
    if (!text || text->empty() ||
        std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

std::string NewSessionId() {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", salt, ++counter);
    return id;
}

const Account* SessionAccount(const DeviceCore& core, const RecordedRequest& request) {
    const std::optional<std::string> cookie = request.Param("Cookie");
    if (!cookie) {
        return nullptr;
    }
    const auto it = core.sessions.find(*cookie);
    return it == core.sessions.end() ? nullptr : &it->second;
}

std::string PeripheralItems(const std::vector<Peripheral>& peripherals) {
    std::string items = "SLAVENUM=" + std::to_string(peripherals.size()) + ";";
    for (const Peripheral& p : peripherals) {
        items += "SID=" + std::to_string(p.id) + ";STYPE=" + std::to_string(p.type) +
                 ";SPROTOCOL=" + std::to_string(p.protocol) + ";";
    }
    return items;
}

// The ONLINE section is the device's view of its sessions, so it is built on every read.
std::string OnlineSection(const DeviceCore& core) {
    std::string bytes(FindSection("ONLINE")->size, '\0');
    std::size_t at = 0;
    for (const auto& [id, account] : core.sessions) {
        if (at + kOnlineEntrySize > bytes.size()) {
            break;
        }
        const std::string name = account.user.substr(0, kOnlineNameSize - 1);
        std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        const char entry_tail[] = {127,
                                   0,
                                   0,
                                   1,
                                   static_cast<char>(account.level),
                                   0,
                                   static_cast<char>(core.settings.state.resolution),
                                   static_cast<char>(core.settings.state.quality)};
        std::copy(std::begin(entry_tail), std::end(entry_tail),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at + kOnlineNameSize));
        at += kOnlineEntrySize;
    }
    return bytes;
}

Reply Acknowledge(DeviceCore&, const RecordedRequest&) {
    return Status(200);
}

Reply Login(DeviceCore& core, const RecordedRequest& request) {
    const std::optional<std::string> user = request.Param("Username");
    const std::optional<std::string> password = request.Param("Password");
    std::lock_guard lock(core.mutex);
    const Settings& s = core.settings;
    const auto account = std::find_if(s.accounts.begin(), s.accounts.end(), [&](const Account& a) {
        return user && password && a.user == *user && a.password == *password;
    });
    if (account == s.accounts.end()) {
        return Status(401);
    }
    std::set<std::string> others;
    for (const auto& [id, online] : core.sessions) {
        if (online.user != account->user) {
            others.insert(online.user);
        }
    }
    if (s.identity.max_users > 0 &&
        others.size() >= static_cast<std::size_t>(s.identity.max_users)) {
        return Status(202);
    }
    std::erase_if(core.sessions,
                  [&](const auto& item) { return item.second.user == account->user; });
    const std::string id = s.identity.session_id.empty() ? NewSessionId() : s.identity.session_id;
    core.sessions[id] = *account;
    const Identity& i = s.identity;
    return Reply{200, "Session-ID=" + id + ";Firmware-Version=" + i.firmware_version +
                          ";Product-ID=" + i.product + ";MAC-Address=" + i.mac +
                          ";Host-Name=" + i.host_name + ";"};
}

// The client passes its resolution and quality here, and the stream follows them.
Reply GetDeviceInfo(DeviceCore& core, const RecordedRequest& request) {
    std::lock_guard lock(core.mutex);
    DeviceState& state = core.settings.state;
    state.resolution = IntParam(request, "RES").value_or(state.resolution);
    state.quality = IntParam(request, "QUA").value_or(state.quality);
    const Identity& i = core.settings.identity;
    const Account* account = SessionAccount(core, request);
    const int level = i.user_level.value_or(account ? account->level : 0);
    std::string body =
        "LIFETIME=" + i.lifetime + ";LINKDEVICE=" + std::to_string(i.device_type) + ";";
    if (i.report_retr) {
        body += "RETR=" + std::to_string(state.retr) + ";";
    }
    body += "VIDEOMODE=" + std::to_string(i.video_mode) + ";USERLEVEL=" + std::to_string(level) +
            ";Boot-Version=" + i.boot_version + ";5817-Version=" + i.codec_version +
            ";FPGA-Version=" + i.fpga_version + ";" + PeripheralItems(i.peripherals);
    return Reply{200, body};
}

Reply PtzReset(DeviceCore& core, const RecordedRequest&) {
    std::lock_guard lock(core.mutex);
    return Reply{200, PeripheralItems(core.settings.identity.peripherals)};
}

// Stores a parameter in the device state when it lies in [low, high].
template <int DeviceState::*field, int low, int high>
Reply SetStateParam(DeviceCore& core, const RecordedRequest& request, std::string_view name) {
    const std::optional<int> value = IntParam(request, name);
    if (!value || *value < low || *value > high) {
        return Status(400);
    }
    std::lock_guard lock(core.mutex);
    core.settings.state.*field = *value;
    return Status(200);
}

Reply SetResolution(DeviceCore& core, const RecordedRequest& request) {
    return SetStateParam<&DeviceState::resolution, 0, 2>(core, request, "RES");
}

Reply SetQuality(DeviceCore& core, const RecordedRequest& request) {
    return SetStateParam<&DeviceState::quality, 0, 2>(core, request, "QUA");
}

Reply SetChannel(DeviceCore& core, const RecordedRequest& request) {
    return SetStateParam<&DeviceState::channel, 1, 16>(core, request, "CH");
}

Reply SetRetr(DeviceCore& core, const RecordedRequest& request) {
    return SetStateParam<&DeviceState::retr, 0, 1>(core, request, "SET");
}

Reply GetSysCfg(DeviceCore& core, const RecordedRequest& request) {
    const SectionInfo* section = FindSection(request.Param("Option").value_or(""));
    if (section == nullptr) {
        return Status(404);
    }
    std::lock_guard lock(core.mutex);
    return Reply{200, section->name == "ONLINE" ? OnlineSection(core) : core.sections.Get(*section),
                 "application/octet-stream"};
}

Reply SetSysCfg(DeviceCore& core, const RecordedRequest& request) {
    const SectionInfo* section = FindSection(request.Param("Option").value_or(""));
    if (section == nullptr) {
        return Status(404);
    }
    if (section->name == "ONLINE") {
        return Status(403);
    }
    std::lock_guard lock(core.mutex);
    return Status(core.sections.Set(*section, request.body) ? 200 : 400);
}

Reply GetOnlineUser(DeviceCore& core, const RecordedRequest&) {
    std::lock_guard lock(core.mutex);
    return Reply{200, OnlineSection(core), "application/octet-stream"};
}

// A restarted device has forgotten every session.
Reply RebootServer(DeviceCore& core, const RecordedRequest&) {
    std::lock_guard lock(core.mutex);
    ++core.settings.state.reboots;
    core.sessions.clear();
    return Status(200);
}

// their requests land in the log like every other.
constexpr std::array<CgiCommand, 20> kCommands = {{
    {"/Login.cgi", false, Login},
    {"/Getvideo.cgi", true, nullptr},
    {"/Setchannel.cgi", true, SetChannel},
    {"/Setresolution.cgi", true, SetResolution},
    {"/Setquality.cgi", true, SetQuality},
    {"/Setbrcssa.cgi", true, Acknowledge},
    {"/GetSysCfg.cgi", true, GetSysCfg},
    {"/Periodcommand.cgi", true, Acknowledge},
    {"/SetSysCfg.cgi", true, SetSysCfg},
    {"/UpgradeFW.cgi", true, UpgradeFirmware},
    {"/GetOnlineUser.cgi", true, GetOnlineUser},
    {"/RS485Cmd.cgi", true, Acknowledge},
    {"/SetVorta.cgi", true, Acknowledge},
    {"/RebootServer.cgi", true, RebootServer},
    {"/Getdeviceinfo.cgi", true, GetDeviceInfo},
    {"/Getlog.cgi", true, GetLog},
    {"/SetRetr.cgi", true, SetRetr},
    {"/GetDvrHDD.cgi", true, GetDvrHdd},
    {"/NetworkBk.cgi", true, nullptr, RunNetworkBackup},
    {"/PTZReset.cgi", true, PtzReset},
}};

}  // namespace

const CgiCommand* FindCommand(std::string_view path) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&](const CgiCommand& c) { return c.path == path; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::optional<Reply> RefuseWithoutSession(DeviceCore& core, const CgiCommand& command,
                                          const RecordedRequest& request) {
    std::lock_guard lock(core.mutex);
    if (!command.needs_session || !core.settings.identity.check_cookie ||
        SessionAccount(core, request) != nullptr) {
        return std::nullopt;
    }
    return Status(401);
}

}  // namespace device_emulator
