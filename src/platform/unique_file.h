#pragma once

// Files made afresh beside others under a name no one can know in advance: a temporary or part
// file in a folder that others may write to. The name carries random digits and the file is
// created exclusively, so a file or link planted under any name is never opened, followed or
// truncated; at worst it costs another draw.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform {

struct UniqueFile {
    int fd = -1;       // open for writing; -1 when no file could be made
    std::string name;  // the file's name inside its folder
};

// Creates "<stem>.<16 random hex digits><suffix>" in the folder open as `folder` (AT_FDCWD: the
// current folder) with `mode` (the umask applies).
UniqueFile CreateUniqueFile(int folder, std::string_view stem, std::string_view suffix,
                            mode_t mode);

}  // namespace platform
