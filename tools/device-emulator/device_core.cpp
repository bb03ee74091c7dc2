#include "device_core.h"

namespace device_emulator {

std::optional<std::string> RecordedRequest::Param(std::string_view name) const {
    std::string_view rest = query;
    while (!rest.empty()) {
        const std::size_t amp = rest.find('&');
        const std::string_view item = rest.substr(0, amp);
        const std::size_t eq = item.find('=');
        if (item.substr(0, eq) == name) {
            return std::string(eq == std::string_view::npos ? "" : item.substr(eq + 1));
        }
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
    return std::nullopt;
}

void DeviceCore::Record(RecordedRequest request) {
    {
        std::lock_guard lock(log_mutex);
        log.push_back(std::move(request));
    }
    log_changed.notify_all();
}

ReplyFaults DeviceCore::TakeFaults(std::string_view path) {
    std::lock_guard lock(mutex);
    auto it = settings.faults.find(path);
    if (it == settings.faults.end()) {
        it = settings.faults.find("*");
    }
    if (it == settings.faults.end()) {
        return {};
    }
    ReplyFaults faults = it->second;
    if (it->second.times > 0 && --it->second.times == 0) {
        settings.faults.erase(it);
    }
    return faults;
}

}  // namespace device_emulator
