#pragma once

// A file of ours that a reader finds damaged (the address book, the alarm list) is the user's only
// copy of what it held: it is never deleted or overwritten but kept aside beside itself
// (platform::KeepFileAside), a new one is started with whatever could still be read, and the user
// is told once where the old one went. These are the words for it.

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "platform/file_gate.h"

// Tells the user that the `what` in `file` was damaged, where it was kept, and how many of its
// entries the new one carries over. Call it without holding a lock: on the window thread the box
// waits for the user.
void TellDamagedFileKeptAside(std::string_view what, const std::filesystem::path& file,
                              const std::filesystem::path& aside, std::size_t carried);

// Tells the user that the damaged `what` in `file` could not be kept aside, why, and that it is
// left as it is.
void TellDamagedFileNotKeptAside(std::string_view what, const std::filesystem::path& file,
                                 const platform::FileStatus& why);
