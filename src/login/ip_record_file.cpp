#include "login/ip_record_file.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "login/search_datagram.h"
#include "platform/file_gate.h"

namespace {

constexpr std::size_t kUserOffset = 0;
constexpr std::size_t kAddressOffset = 132;
constexpr std::size_t kCommentOffset = 264;
constexpr std::size_t kPortOffset = 396;
constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxHostLabel = 63;

void PutU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetU32(const std::uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A field is the check code followed by its text.
void PutField(std::uint8_t* at, std::uint32_t checkCode, const std::string& text) {
    PutU32(at, checkCode);
    std::memcpy(at + 4, text.data(), std::min(text.size(), kIPRecordTextField - 1));
}

std::optional<std::string> GetField(const std::uint8_t* at, std::uint32_t checkCode) {
    if (GetU32(at) != checkCode) {
        return std::nullopt;
    }
    const char* text = reinterpret_cast<const char*>(at + 4);
    return std::string(text, ::strnlen(text, kIPRecordTextField));
}

// ASCII only, whatever the locale: a resolver takes nothing else.
bool IsHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

bool IsDeviceAddressText(std::string_view text) {
    if (text.empty() || text.size() > kMaxHostName) {
        return false;
    }
    if (text.find_first_not_of("0123456789.") == std::string_view::npos) {
        const auto bytes = ParseDottedQuad(text);
        return bytes && FormatDottedQuad(*bytes) == text;
    }
    // The resolver reads a text such as "0x7f.1" or "0x7f000001" as a number before it looks for
    // a name of that spelling, so it names an address written as it would never be written back.
    if (in_addr number{}; ::inet_aton(std::string(text).c_str(), &number) != 0) {
        return false;
    }
    std::size_t label = 0;
    for (const char c : text) {
        if (c == '.') {
            if (label == 0) {
                return false;
            }
            label = 0;
        } else if (!IsHostNameCharacter(c)) {
            return false;
        } else if (++label > kMaxHostLabel) {
            return false;
        }
    }
    return label != 0;
}

IPRecordBytes EncodeIPRecord(const IPRecord& record) {
    IPRecordBytes bytes{};
    PutField(&bytes[kUserOffset], kCheckCodeForUser, record.user);
    PutField(&bytes[kAddressOffset], kCheckCodeForIPAddress, record.address);
    PutField(&bytes[kCommentOffset], kCheckCodeForComment, record.comment);
    bytes[kPortOffset] = static_cast<std::uint8_t>(record.port);
    bytes[kPortOffset + 1] = static_cast<std::uint8_t>(record.port >> 8);
    return bytes;
}

std::optional<IPRecord> DecodeIPRecord(const std::uint8_t* bytes) {
    auto user = GetField(bytes + kUserOffset, kCheckCodeForUser);
    auto address = GetField(bytes + kAddressOffset, kCheckCodeForIPAddress);
    auto comment = GetField(bytes + kCommentOffset, kCheckCodeForComment);
    if (!user || !address || !comment) {
        return std::nullopt;
    }
    const auto port = static_cast<std::uint16_t>(bytes[kPortOffset] | bytes[kPortOffset + 1] << 8);
    return IPRecord{std::move(*user), std::move(*address), std::move(*comment), port};
}

IPRecordFileContents ReadIPRecordFile(const std::filesystem::path& file) {
    using State = platform::FileSnapshot::State;
    IPRecordFileContents contents;
    // One locked update: a missing file is created only while still missing (another copy of the
    // program may be writing one), and a cut one is moved aside before anyone rewrites it.
    const platform::FileStatus updated = platform::UpdateFileAtomically(
        file, kIPRecordFileMax,
        [&](const platform::FileSnapshot& current) -> std::optional<std::string> {
            if (current.state == State::Missing) {
                return std::string();
            }
            if (current.state == State::Unreadable) {
                contents.status = IPRecordFileStatus::OpenFailed;
                contents.why = current.status;
                return std::nullopt;
            }
            // Of a file larger than any book only its beginning was read: nothing of it is taken.
            const std::string& bytes = current.bytes;
            const std::size_t whole =
                current.state == State::Read ? bytes.size() / kIPRecordSize * kIPRecordSize : 0;
            for (std::size_t at = 0; at < whole; at += kIPRecordSize) {
                auto record =
                    DecodeIPRecord(reinterpret_cast<const std::uint8_t*>(bytes.data() + at));
                if (!record) {
                    contents.status = IPRecordFileStatus::Bad;
                    contents.records.clear();
                    return std::nullopt;
                }
                contents.records.push_back(std::move(*record));
            }
            if (current.state == State::Read && whole == bytes.size()) {
                return std::nullopt;
            }
            // A cut file lost at least its last entry, and one larger than any book was not
            // written whole by us; writing back only the whole records would make that loss
            // silent, so the file as it was stays beside the new one.
            const platform::KeptAside kept = platform::KeepFileAside(current);
            contents.keptAside = kept.aside;
            if (!contents.keptAside) {
                contents.status = IPRecordFileStatus::NotKeptAside;
                contents.why = kept.status;
                contents.records.clear();
                return std::nullopt;
            }
            return bytes.substr(0, whole);
        });
    // Once the cut file is aside, the book holds its entries and writes them at its close, even
    // when the new file could not be written here.
    if (!updated && contents.status == IPRecordFileStatus::Ok && !contents.keptAside) {
        contents.status = IPRecordFileStatus::OpenFailed;
        contents.why = updated;
    }
    return contents;
}

platform::FileStatus WriteIPRecordFile(const std::filesystem::path& file,
                                       const std::vector<IPRecord>& records) {
    std::string bytes;
    bytes.reserve(records.size() * kIPRecordSize);
    for (const IPRecord& record : records) {
        const IPRecordBytes encoded = EncodeIPRecord(record);
        bytes.append(reinterpret_cast<const char*>(encoded.data()), encoded.size());
    }
    return platform::WriteFileAtomically(file, bytes);
}
