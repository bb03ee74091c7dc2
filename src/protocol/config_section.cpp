#include "protocol/config_section.h"

#include <cstring>
#include <string>
#include <vector>

#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"

namespace {

void AddCookie(CCgiRequest& request) {
    if (!g_szSessionCookie.Empty()) {
        request.AddParam("Cookie", g_szSessionCookie.Get());
    }
}

}  // namespace

int GetConfigSection(std::uint8_t section, void* destination, std::uint32_t size) {
    if (section >= ConfigSectionNames.size()) {
        return 0;
    }
    CCgiRequest request(CGI_GETSYSCFG);
    request.AddParam("Option", std::string(ConfigSectionNames[section]));
    request.AddParamInt("Size", static_cast<int>(size));
    AddCookie(request);
    std::vector<std::uint8_t> body(size);
    std::uint32_t length = 0;
    if (VortaSendCommand(CGI_GETSYSCFG, request.Url(), nullptr, 0, nullptr, body.data(), size,
                         &length) == 0) {
        return 0;
    }
    // The online-user list is as long as the users logged in; every other section has its size,
    // and a shorter one would send garbage back when the page applies it.
    if (section != CFG_ONLINE && length != size) {
        return 0;
    }
    // An empty online list into an empty buffer has nothing to copy, and no buffer to copy from.
    if (size != 0) {
        std::memset(destination, 0, size);
        std::memcpy(destination, body.data(), length);
    }
    return 1;
}

int SetConfigSection(std::uint8_t section, const void* data, std::uint32_t size, int refresh) {
    if (section >= ConfigSectionNames.size()) {
        return 0;
    }
    CCgiRequest request(CGI_SETSYSCFG);
    request.AddParam("Option", std::string(ConfigSectionNames[section]));
    if (section == CFG_DNS) {
        request.AddParam("Refresh", refresh ? "True" : "False");
    }
    AddCookie(request);
    return VortaSendCommand(CGI_SETSYSCFG, request.Url(), data, size, nullptr, nullptr, 0, nullptr);
}
