#include "kernel/damaged_file.h"

#include <string>

#include "ui/message_sink.h"

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

void TellDamagedFileNotKeptAside(std::string_view what, const std::filesystem::path& file,
                                 const platform::FileStatus& why) {
    const std::string name = file.filename().string();
    std::string text = "The " + std::string(what) + " " + file.string() + " is damaged";
    if (why.error == platform::FileError::NamesTaken) {
        text += ", and earlier damaged copies fill every name it could be kept under (" + name +
                ".damaged to " + name + ".damaged-" + std::to_string(platform::kMaxKeptAside) +
                "). Move some of them away";
    } else {
        text += ". It could not be kept aside: it " + why.Describe();
    }
    ui::ShowMessage(text + ". The file is left as it is.");
}
