#pragma once

#include <cstdint>
#include <string>

namespace ui {

// The program's numbered texts (named in ui/string_ids.h); an unknown id gives an empty text.
std::string LoadString(std::uint32_t id);

}  // namespace ui
