// Points a settings file at a device, for the demo: writes the given keys into the program's
// section of the file the way the program saves its settings, and leaves every other line as
// the user left it. KEY?=VALUE writes the value only where the file holds none for KEY, so a
// folder the user chose stays theirs.
//
// Usage: torvel-demo-settings FILE KEY=VALUE|KEY?=VALUE ...

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/settings_ini.h"
#include "platform/profile.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: torvel-demo-settings FILE KEY=VALUE|KEY?=VALUE ...\n");
        return 2;
    }
    const std::string file = argv[1];
    const std::string section = CSettingINI().Key(SettingKey::Quarnel);
    std::vector<platform::ProfileEntry> entries;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::size_t equals = argument.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            std::fprintf(stderr, "not KEY=VALUE: %s\n", argv[i]);
            return 2;
        }
        const bool ifAbsent = argument[equals - 1] == '?';
        std::string key(argument.substr(0, ifAbsent ? equals - 1 : equals));
        if (ifAbsent && !platform::ReadProfileString(file, section, key, "").empty()) {
            continue;
        }
        entries.push_back({std::move(key), std::string(argument.substr(equals + 1))});
    }
    if (const platform::FileStatus saved = platform::WriteProfileStrings(file, section, entries);
        !saved) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), saved.Describe().c_str());
        return 1;
    }
    return 0;
}
