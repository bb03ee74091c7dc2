#include "config/backup_download.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/byte_order.h"
#include "platform/file_gate.h"
#include "protocol/cgi_request.h"

namespace config {

namespace {

constexpr std::size_t kMasterBit = 0;
constexpr std::size_t kSlaveBit = 1;
constexpr std::size_t kFirstExternalBit = 4;

constexpr const char* kPartSuffix = ".part";

bool BitSet(const DiskMap& map, std::size_t bit) {
    return (map[bit / 8] >> (bit % 8)) & 1;
}

}  // namespace

std::vector<DiskRow> DiskRows(const DiskMap& map, std::uint8_t flag) {
    std::vector<DiskRow> rows;
    for (std::size_t bit = 0; bit < map.size() * 8; ++bit) {
        if (!BitSet(map, bit)) {
            continue;
        }
        std::string label;
        if (bit == kMasterBit) {
            label = "MASTER";
        } else if (bit == kSlaveBit) {
            label = flag != 0 ? "DVD" : "SLAVE";
        } else if (bit >= kFirstExternalBit) {
            char text[16];
            std::snprintf(text, sizeof text, "EXT-%.2d", static_cast<int>(bit - kFirstExternalBit));
            label = text;
        } else {
            continue;
        }
        rows.push_back({static_cast<std::uint8_t>(bit), label});
    }
    return rows;
}

std::uint8_t DiskNumberOfRow(const DiskMap& map, int row) {
    const std::vector<DiskRow> rows = DiskRows(map, 0);
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) {
        return 0;
    }
    return rows[static_cast<std::size_t>(row)].bit;
}

std::string BackupRequestText(const BackupRequest& r, const std::string& cookie,
                              const std::string& host) {
    CCgiRequest request(CGI_NETWORKBK);
    // The cookie goes out even when it is empty.
    request.AddParam("Cookie", cookie);
    const std::pair<const char*, int> numbers[] = {
        {"Year", r.year},
        {"Month", r.month},
        {"Day", r.day},
        {"Hour", r.hour},
        {"Minute", r.minute},
        {"Second", r.second},
        {"Num", static_cast<int>(r.disk)},
        {"CH", r.channel},
        {"Size", r.megabytes},
    };
    for (const auto& [name, value] : numbers) {
        request.AddParamInt(name, value);
    }
    return DeviceRequestHead(request.Url(), host);
}

BackupBlockHeader BackupBlockHeader::Decode(const std::uint8_t* bytes) {
    return {platform::GetU32(bytes), platform::GetU32(bytes + 4)};
}

std::uint32_t BackupPercent(std::uint64_t received, int megabytes) {
    if (megabytes <= 0) {
        return 0;
    }
    const std::uint64_t percent = ((received * 100) >> 20) / static_cast<std::uint64_t>(megabytes);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(percent, 0xFFFFFFFFu));
}

std::optional<int> TypedBackupSize(const std::string& text) {
    std::string digits = text;
    std::erase_if(digits, [](char c) { return c < '0' || c > '9'; });
    if (digits.empty()) {
        return std::nullopt;
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return 0;
    }
    // More than three significant digits is above the limit whatever they say.
    if (digits.size() - first > 3) {
        return kMaxBackupMegabytes;
    }
    return std::min(std::stoi(digits.substr(first)), kMaxBackupMegabytes);
}

BackupFile::BackupFile(std::filesystem::path target) : m_target(std::move(target)) {}

BackupFile::~BackupFile() {
    // What arrived of a broken download is kept under one name per target, so that failed
    // attempts do not pile up; like the target, only a regular file there is replaced.
    if (m_part && !m_committed && m_written > 0) {
        static_cast<void>(m_part->Place(m_target.filename().string() + kPartSuffix));
    }
}

bool BackupFile::Open() {
    Discard();
    m_written = 0;
    m_part = std::make_unique<platform::NewFile>(m_target, kPartSuffix);
    return static_cast<bool>(m_part->Status());
}

bool BackupFile::Append(std::span<const std::uint8_t> bytes) {
    if (!m_part || !m_part->Status() ||
        !platform::WriteAll(m_part->Fd(),
                            {reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        return false;
    }
    m_written += bytes.size();
    return true;
}

bool BackupFile::Commit() {
    // A part that could not be written out (a full disk reports late) is of no use to anyone.
    if (!m_part || !m_part->Status() || ::fsync(m_part->Fd()) != 0) {
        Discard();
        return false;
    }
    m_committed = static_cast<bool>(m_part->Place());
    return m_committed;
}

void BackupFile::Discard() {
    m_part.reset();
}

BackupTarget CheckBackupTarget(const std::filesystem::path& target) {
    std::error_code ec;
    if (target.empty() || target.filename().empty() ||
        std::filesystem::is_directory(std::filesystem::symlink_status(target, ec))) {
        return BackupTarget::Unusable;
    }
    const platform::NewFile probe(target, ".probe");
    switch (probe.Status().error) {
        case platform::FileError::None:
            return BackupTarget::Usable;
        case platform::FileError::NotRegular:
        case platform::FileError::UntrustedLink:
        case platform::FileError::LinkLoop:
            return BackupTarget::NotRegularFile;
        default:
            return BackupTarget::Unusable;
    }
}

}  // namespace config
