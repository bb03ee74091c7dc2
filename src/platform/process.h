#pragma once

// Starting another program (the record-file player) that then runs on its own.

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// Starts `program` with `arguments`, each handed over as one argument exactly as given, in a
// process group of its own. False when the program could not be started. The process is
// collected when it ends, whether the caller lives on or not.
bool StartProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);

}  // namespace platform
