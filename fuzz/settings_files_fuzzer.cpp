// The profile files of the program folder: Setting.ini read as start-up reads it, then written
// back and read again as the next start would.
//
// Input: the file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "kernel/kernel_object.h"
#include "kernel/settings_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Program& program = fuzz::Program::Get();
    program.WriteFile("Setting.ini", {data, size});
    CSettingINI settings;
    settings.Load();
    if (settings.Save() != 1) {
        std::abort();
    }
    CSettingINI again;
    again.Load();
    // What was saved is what the next start reads.
    if (again.m_strServerName != settings.m_strServerName ||
        again.m_strUserName != settings.m_strUserName || again.m_wWebPort != settings.m_wWebPort ||
        again.m_strRecordPath != settings.m_strRecordPath) {
        std::abort();
    }
    return 0;
}
