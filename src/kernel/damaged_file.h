#pragma once

// A file of ours that a reader finds damaged (the address book, the alarm list) is the user's only
// copy of what it held: it is never deleted or overwritten but renamed beside itself, a new one is
// started with whatever could still be read, and the user is told once where the old one went.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

// Renames `file` to the first free "<file>.damaged", "<file>.damaged-2", ... in its folder. The
// caller holds the folder's update lock (platform/atomic_file), so no other copy of the program
// takes the same name meanwhile. Nullopt when the file could not be moved.
std::optional<std::filesystem::path> KeepDamagedFileAside(const std::filesystem::path& file);

// Tells the user that the `what` in `file` was damaged, where it was kept, and how many of its
// entries the new one carries over. Call it without holding a lock: on the window thread the box
// waits for the user.
void TellDamagedFileKeptAside(std::string_view what, const std::filesystem::path& file,
                              const std::filesystem::path& aside, std::size_t carried);
