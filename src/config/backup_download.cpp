#include "config/backup_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "platform/unique_file.h"
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

// A rename replaces whatever has the name it renames to: only nothing or a regular file (an
// earlier backup) may be there, never a device, a pipe, a folder or a link.
bool SlotFree(int folder, const std::string& name) {
    struct stat there {};
    return ::fstatat(folder, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
           S_ISREG(there.st_mode);
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
    Close();
    if (!m_committed && m_written == 0) {
        Discard();
    } else if (!m_committed && !m_partName.empty()) {
        // What arrived of a broken download is kept under one name per target, so that failed
        // attempts do not pile up; like the target, only a regular file there is replaced.
        const std::string kept = m_target.filename().string() + kPartSuffix;
        if (SlotFree(m_folder, kept)) {
            ::renameat(m_folder, m_partName.c_str(), m_folder, kept.c_str());
        }
    }
    if (m_folder >= 0) {
        ::close(m_folder);
    }
}

bool BackupFile::Open() {
    Discard();
    m_written = 0;
    if (m_folder < 0) {
        m_folder = ::open(platform::FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (m_folder < 0) {
        return false;
    }
    platform::UniqueFile part =
        platform::CreateUniqueFile(m_folder, m_target.filename().string(), kPartSuffix, 0644);
    m_fd = part.fd;
    m_partName = std::move(part.name);
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
    // A part that could not be written out (a full disk reports late) is of no use to anyone.
    if (!synced || !closed) {
        Discard();
        return false;
    }
    const std::string name = m_target.filename().string();
    if (!SlotFree(m_folder, name)) {
        return false;
    }
    m_committed = ::renameat(m_folder, m_partName.c_str(), m_folder, name.c_str()) == 0;
    return m_committed;
}

void BackupFile::Discard() {
    Close();
    if (m_folder >= 0 && !m_partName.empty()) {
        ::unlinkat(m_folder, m_partName.c_str(), 0);
    }
    m_partName.clear();
}

void BackupFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

BackupTarget CheckBackupTarget(const std::filesystem::path& target) {
    std::error_code ec;
    if (target.empty() || target.filename().empty()) {
        return BackupTarget::Unusable;
    }
    const std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
    if (status.type() == std::filesystem::file_type::directory) {
        return BackupTarget::Unusable;
    }
    if (std::filesystem::exists(status) && status.type() != std::filesystem::file_type::regular) {
        return BackupTarget::NotRegularFile;
    }
    const int folder =
        ::open(platform::FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return BackupTarget::Unusable;
    }
    const platform::UniqueFile probe =
        platform::CreateUniqueFile(folder, target.filename().string(), ".probe", 0644);
    if (probe.fd >= 0) {
        ::close(probe.fd);
        ::unlinkat(folder, probe.name.c_str(), 0);
    }
    ::close(folder);
    return probe.fd >= 0 ? BackupTarget::Usable : BackupTarget::Unusable;
}

}  // namespace config
