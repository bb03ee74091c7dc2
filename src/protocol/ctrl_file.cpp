#include "protocol/ctrl_file.h"

#include <fstream>

#include "platform/paths.h"
#include "ui/message_sink.h"

namespace {
constexpr std::uint32_t kOpenCtrlFileFailed = 4094;
}

std::uint32_t LoadCtrlFile() {
    std::ifstream in(platform::ProgramFolder() / "CtrlFile.ini", std::ios::binary);
    if (!in) {
        ui::ShowMessage(kOpenCtrlFileFailed);
        return 0;
    }
    return 1;
}
