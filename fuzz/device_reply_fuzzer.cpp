// The key-and-value texts of the login and device-info replies, and the event log's count reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/server_log_dlg.h"
#include "protocol/device_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto login = ParseLoginReply(text)) {
        if (login->macAddress && login->macAddress->size() > 12) {
            std::abort();
        }
    }
    const DeviceInfoReply info = ParseDeviceInfoReply(text);
    if (info.peripherals.size() > kMaxPeripherals) {
        std::abort();
    }
    for (const auto& value : {info.bootVersion, info.codecVersion, info.fpgaVersion}) {
        if (value && value->size() > kMaxReplyValue) {
            std::abort();
        }
    }
    ReplyAtoi(text);
    ParseLogCount(text);
    return 0;
}
