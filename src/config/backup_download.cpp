#include "config/backup_download.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/byte_order.h"
#include "protocol/cgi_request.h"

namespace config {

namespace {

constexpr std::size_t kMasterBit = 0;
constexpr std::size_t kSlaveBit = 1;
constexpr std::size_t kFirstExternalBit = 4;

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

BackupFile::BackupFile(std::filesystem::path target)
    : m_target(std::move(target)), m_part(PartOf(m_target)) {}

BackupFile::~BackupFile() {
    Close();
    if (!m_committed && m_written == 0) {
        std::error_code ignored;
        std::filesystem::remove(m_part, ignored);
    }
}

std::filesystem::path BackupFile::PartOf(const std::filesystem::path& target) {
    std::filesystem::path part = target;
    part += ".part";
    return part;
}

bool BackupFile::Open() {
    Close();
    m_written = 0;
    m_fd = ::open(m_part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

bool BackupFile::Append(std::span<const std::uint8_t> bytes) {
    if (m_fd < 0 ||
        !platform::WriteAll(m_fd, {reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        return false;
    }
    m_written += bytes.size();
    return true;
}

bool BackupFile::Commit() {
    const bool synced = m_fd >= 0 && ::fsync(m_fd) == 0;
    const bool closed = m_fd >= 0 && ::close(m_fd) == 0;
    m_fd = -1;
    std::error_code ec;
    if (synced && closed) {
        std::filesystem::rename(m_part, m_target, ec);
        m_committed = !ec;
    }
    return m_committed;
}

void BackupFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool BackupTargetUsable(const std::filesystem::path& target) {
    std::error_code ec;
    if (target.empty() || std::filesystem::is_directory(target, ec)) {
        return false;
    }
    std::filesystem::path probe = target;
    probe += ".probe-" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    std::filesystem::remove(probe, ec);
    return true;
}

}  // namespace config
