// CtrlFile.ini, the remote-control protocols of the device models, the binding of the device
// types to them, and the key bodies built from what was read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "kernel/kernel_object.h"
#include "protocol/ctrl_file.h"
#include "protocol/remote_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program::Get();
    std::vector<CtrlProtocol> records;
    ParseCtrlFile(std::string_view(reinterpret_cast<const char*>(data), size), records);
    const KeyContext context{1, 2, 3, true};
    for (const CtrlProtocol& protocol : records) {
        if (protocol.szName.size() > 79) {
            std::abort();
        }
        BuildKeyBody(protocol, protocol.PowerKey, 0, context);
        for (const KeyCommandEntry& key : protocol.Keys) {
            if (const auto body = BuildKeyBody(protocol, key, 1, context);
                body && body->size() > kMaxKeyBody) {
                std::abort();
            }
        }
    }
    g_lpApp->m_lpCtrlFileRecords = std::move(records);
    BindDeviceProtocols();
    return 0;
}
