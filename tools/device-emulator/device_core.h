// The device's state, shared by the connection threads: the settings with their knobs, the
// configuration sections, the sessions and the request log.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "config_sections.h"
#include "device_emulator.h"

namespace device_emulator {

struct DeviceCore {
    mutable std::mutex mutex;  // guards settings, sections and sessions
    Settings settings;
    ConfigSections sections{0};
    std::map<std::string, Account, std::less<>> sessions;  // by session id

    mutable std::mutex log_mutex;
    mutable std::condition_variable log_changed;
    std::vector<RecordedRequest> log;
    std::vector<std::string> datagrams;  // the discovery service's, under log_mutex

    void Record(RecordedRequest request);
    // The faults for this request; counts down a limited number of uses.
    ReplyFaults TakeFaults(std::string_view path);
};

}  // namespace device_emulator
