#include "kernel/damaged_file.h"

#include <string>
#include <system_error>

#include "ui/message_sink.h"

std::optional<std::filesystem::path> KeepDamagedFileAside(const std::filesystem::path& file) {
    constexpr int kMaxKept = 999;
    for (int n = 1; n <= kMaxKept; ++n) {
        std::filesystem::path aside = file;
        aside += n == 1 ? ".damaged" : ".damaged-" + std::to_string(n);
        // A name held by anything, a dangling link included, is taken.
        std::error_code ec;
        if (std::filesystem::symlink_status(aside, ec).type() !=
            std::filesystem::file_type::not_found) {
            continue;
        }
        std::filesystem::rename(file, aside, ec);
        return ec ? std::nullopt : std::optional(aside);
    }
    return std::nullopt;
}

void TellDamagedFileKeptAside(std::string_view what, const std::filesystem::path& file,
                              const std::filesystem::path& aside, std::size_t carried) {
    std::string text = "The " + std::string(what) + " " + file.filename().string() +
                       " was damaged. It was kept as " + aside.string() +
                       " and a new one was started";
    if (carried > 0) {
        text += carried == 1
                    ? " with the one entry that could still be read"
                    : " with the " + std::to_string(carried) + " entries that could still be read";
    }
    ui::ShowMessage(text + ".");
}
