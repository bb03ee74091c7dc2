#include "ui/string_table.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace ui {
namespace {

struct StringEntry {
    std::uint32_t id;
    std::string_view text;
};

constexpr StringEntry kStrings[] = {
#include "ui/string_table_data.inc"
};

constexpr bool SortedAndUnique() {
    for (std::size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(SortedAndUnique(), "string table ids must be sorted and unique");

}  // namespace

std::string LoadString(std::uint32_t id) {
    const auto it =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& e, std::uint32_t v) { return e.id < v; });
    return it != std::end(kStrings) && it->id == id ? std::string(it->text) : std::string();
}

}  // namespace ui
