// The device's event log as the tool box page reads it: the count reply, then pages of entries
// until the device has sent what the user asked for; then the rows the log window lists.
//
// Input: how many entries to ask for (two bytes), then a reply script (fuzz_support.h).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "config/server_log_dlg.h"
#include "fuzz_support.h"
#include "platform/sync.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::LoopbackDevice device;
    static const platform::Handle stopEvent = platform::CreateEventObject(true, false);
    fuzz::Program::Get().PointAt(device.Port());
    if (size < 2) {
        return 0;
    }
    std::vector<ServerLogEntry> buffer(kServerLogCapacity);
    int count = -1;
    ServerLogThreadParam param;
    param.stopEvent = stopEvent;
    param.buffer = buffer.data();
    param.count = &count;
    param.maxLogList = static_cast<std::int16_t>(data[0] | data[1] << 8);
    device.Serve(fuzz::DecodeReplyScript({data + 2, size - 2}));
    GetServerLogThread(param);
    device.WaitIdle();
    if (count < 0 || count > kServerLogCapacity) {
        std::abort();
    }
    const auto rows =
        ServerLogRows(std::span(buffer.data(), static_cast<std::size_t>(count)), 0xFFFFFFFF);
    if (rows.size() > static_cast<std::size_t>(count)) {
        std::abort();
    }
    return 0;
}
