#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/file_gate.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Every line end counts (FirstLine), so no value ever holds a line break: what is read is what a
// write of it keeps.
std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const TextLine line = FirstLine(bytes);
        lines.emplace_back(line.text);
        bytes.remove_prefix(line.consumed);
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') {
        return std::nullopt;
    }
    const auto close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// One pair of matching quotes around a value is not part of it: `Server Name="10.0.0.5"` names
// the address, not a text with quotes in it.
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::optional<KeyLine> KeyOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || Trim(line).starts_with(';')) {
        return std::nullopt;
    }
    return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

struct Location {
    std::optional<std::size_t> sectionLine;  // index of the "[section]" line
    std::optional<std::size_t> keyLine;      // index of the "key=value" line
    std::size_t sectionEnd = 0;              // index after the section's last key line
};

Location Locate(const std::vector<std::string>& lines, std::string_view section,
                std::string_view key) {
    Location where;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionOf(lines[i])) {
            if (inside) {
                break;
            }
            inside = SameName(*name, section);
            if (inside) {
                where.sectionLine = i;
                where.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inside) {
            continue;
        }
        if (!Trim(lines[i]).empty()) {
            where.sectionEnd = i + 1;
        }
        if (const auto kv = KeyOf(lines[i]); kv && !where.keyLine && SameName(kv->key, key)) {
            where.keyLine = i;
        }
    }
    return where;
}

}  // namespace

ProfileSection::ProfileSection(const std::filesystem::path& file, std::string_view section,
                               const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        m_values.push_back({key, {}, false});
    }
    // A file larger than the program ever writes reads as no file: every key takes its default.
    FileSnapshot read = ReadFile(file, kProfileFileMax);
    const std::string bytes =
        read.state == FileSnapshot::State::Read ? std::move(read.bytes) : std::string();
    std::string_view rest = bytes;
    bool inside = false;
    std::size_t missing = m_values.size();
    while (!rest.empty() && missing > 0) {
        const TextLine line = FirstLine(rest);
        rest.remove_prefix(line.consumed);
        if (const auto name = SectionOf(line.text)) {
            if (inside) {
                break;
            }
            inside = SameName(*name, section);
            continue;
        }
        const auto kv = inside ? KeyOf(line.text) : std::nullopt;
        if (!kv) {
            continue;
        }
        for (Value& v : m_values) {
            if (!v.found && SameName(v.key, kv->key)) {
                v.text = std::string(Unquoted(kv->value).substr(0, kProfileValueMax));
                v.found = true;
                --missing;
            }
        }
    }
}

const ProfileSection::Value* ProfileSection::Find(std::string_view key) const {
    for (const Value& v : m_values) {
        if (v.found && SameName(v.key, key)) {
            return &v;
        }
    }
    return nullptr;
}

std::string ProfileSection::String(std::string_view key, std::string_view fallback) const {
    const Value* v = Find(key);
    return v && !v->text.empty() ? v->text : std::string(fallback.substr(0, kProfileValueMax));
}

std::int32_t ProfileSection::Int(std::string_view key, std::int32_t fallback) const {
    const Value* v = Find(key);
    return v && !v->text.empty() ? static_cast<std::int32_t>(AtoiModulo32(v->text)) : fallback;
}

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback) {
    return ProfileSection(file, section, {std::string(key)}).String(key, fallback);
}

std::int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                            std::string_view key, std::int32_t fallback) {
    return ProfileSection(file, section, {std::string(key)}).Int(key, fallback);
}

FileStatus WriteProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view value) {
    return WriteProfileStrings(file, section, {{std::string(key), std::string(value)}});
}

std::string WithProfileStrings(const std::string& content, std::string_view section,
                               const std::vector<ProfileEntry>& entries) {
    auto lines = SplitLines(content);
    for (const ProfileEntry& e : entries) {
        const Location where = Locate(lines, section, e.key);
        // A value is one line: a line break in it (a device's name, say) would otherwise write
        // keys and sections of its own.
        const std::string_view value(e.value);
        std::string entry = e.key + "=" + std::string(value.substr(0, value.find_first_of("\r\n")));
        if (where.keyLine) {
            lines[*where.keyLine] = std::move(entry);
        } else if (where.sectionLine) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where.sectionEnd),
                         std::move(entry));
        } else {
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(std::move(entry));
        }
    }
    std::string result;
    for (const auto& line : lines) {
        result += line;
        result += "\r\n";
    }
    return result;
}

FileStatus WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                               const std::vector<ProfileEntry>& entries) {
    FileStatus refused;
    const FileStatus updated = UpdateFileAtomically(
        file, kProfileFileMax, [&](const FileSnapshot& current) -> std::optional<std::string> {
            // A file that exists but cannot be read would lose every other key if rewritten; an
            // over-large one is kept aside for a new one.
            if (current.state == FileSnapshot::State::Unreadable) {
                refused = current.status;
                return std::nullopt;
            }
            if (current.state == FileSnapshot::State::TooLarge) {
                refused = KeepFileAside(current).status;
                if (!refused) {
                    return std::nullopt;
                }
                return WithProfileStrings({}, section, entries);
            }
            return WithProfileStrings(current.bytes, section, entries);
        });
    return refused ? updated : refused;
}

}  // namespace platform
