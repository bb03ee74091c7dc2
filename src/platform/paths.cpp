#include "platform/paths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::optional<std::filesystem::path> g_programFolder;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// XDG_DESKTOP_DIR="$HOME/Desktop" from the user-dirs file.
std::optional<std::filesystem::path> XdgDesktop(const std::filesystem::path& home) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path config =
        configHome && *configHome ? std::filesystem::path(configHome) : home / ".config";
    std::ifstream in(config / "user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (!line.starts_with(key)) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.starts_with("$HOME")) {
            return home / std::filesystem::path(value.substr(5)).relative_path();
        }
        if (value.starts_with("/")) {
            return std::filesystem::path(value);
        }
    }
    return std::nullopt;
}

}  // namespace

std::filesystem::path ProgramFolder() {
    std::lock_guard lock(g_mutex);
    if (!g_programFolder) {
        std::error_code ec;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        g_programFolder = ec ? std::filesystem::current_path() : exe.parent_path();
    }
    return *g_programFolder;
}

void SetProgramFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(g_mutex);
    g_programFolder = folder;
}

std::optional<std::filesystem::path> DesktopFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        return std::nullopt;
    }
    if (auto xdg = XdgDesktop(home)) {
        return xdg;
    }
    return std::filesystem::path(home) / "Desktop";
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

std::string WithTrailingSeparator(std::string_view folder) {
    std::string text(folder);
    if (text.empty()) {
        return text;
    }
    std::replace(text.begin(), text.end(), '\\', '/');
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    if (text != "/") {
        text += '/';
    }
    return text;
}

std::filesystem::path FromBackslashPath(std::string_view path) {
    std::string text(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return std::filesystem::path(text);
}

std::filesystem::path ResolvePath(const std::filesystem::path& base, std::string_view relative) {
    const std::filesystem::path rel = FromBackslashPath(relative);
    std::filesystem::path exact = base / rel;
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) {
        return exact;
    }
    std::filesystem::path found = base;
    for (const auto& part : rel) {
        const std::string wanted = part.string();
        std::filesystem::path next;
        for (const auto& entry : std::filesystem::directory_iterator(found, ec)) {
            if (SameNameIgnoringCase(entry.path().filename().string(), wanted)) {
                next = entry.path();
                break;
            }
        }
        if (next.empty()) {
            return exact;
        }
        found = std::move(next);
    }
    return found;
}

}  // namespace platform
