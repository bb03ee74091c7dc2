#include "kernel/alarm_db.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/byte_order.h"
#include "platform/profile.h"

namespace {

constexpr std::size_t kPathField = 260;
constexpr std::size_t kAddressField = 32;

using platform::GetU16;
using platform::GetU32;
using platform::PutU16;
using platform::PutU32;

// A zero-terminated, zero-filled text field; the text is cut to leave room for the terminator.
void PutText(std::uint8_t* p, std::size_t field, const std::string& text) {
    std::memcpy(p, text.data(), std::min(text.size(), field - 1));
}

std::string GetText(const std::uint8_t* p, std::size_t field) {
    const auto* end = std::find(p, p + field, 0);
    return std::string(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(end));
}

struct FileContent {
    bool wholeHeader = false;
    AlarmDBHeader header;
    std::vector<AlarmDBItem> items;
};

// The file as it stands. Only whole records count: the header's count is trusted no further
// than the records the file really holds, and nothing past the records it names is read.
// nullopt when the file is missing.
std::optional<FileContent> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    FileContent content;
    std::uint8_t header[kAlarmDBHeaderSize];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
        return content;
    }
    content.wholeHeader = true;
    content.header = {GetU16(header), GetU16(header + 2)};
    std::vector<std::uint8_t> records(std::size_t{content.header.wCount} * kAlarmDBItemSize);
    in.read(reinterpret_cast<char*>(records.data()), static_cast<std::streamsize>(records.size()));
    const std::size_t whole = static_cast<std::size_t>(in.gcount()) / kAlarmDBItemSize;
    for (std::size_t i = 0; i < whole; ++i) {
        content.items.push_back(AlarmDBItem::Decode(records.data() + i * kAlarmDBItemSize));
    }
    return content;
}

bool WriteFile(const std::filesystem::path& path, std::uint16_t magic,
               const std::vector<AlarmDBItem>& items) {
    std::string bytes(kAlarmDBHeaderSize, '\0');
    auto* header = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutU16(header, magic);
    PutU16(header + 2, static_cast<std::uint16_t>(items.size()));
    for (const AlarmDBItem& item : items) {
        const auto record = item.Encode();
        bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
    }
    return platform::WriteFileAtomically(path, bytes);
}

}  // namespace

std::array<std::uint8_t, kAlarmDBItemSize> AlarmDBItem::Encode() const {
    std::array<std::uint8_t, kAlarmDBItemSize> b{};
    PutU16(&b[0], wSerial);
    b[3] = byStatus;
    PutU16(&b[4], wYear);
    PutU16(&b[6], wMonth);
    PutU16(&b[10], wDay);
    PutU16(&b[12], wHour);
    PutU16(&b[14], wMinute);
    PutU16(&b[16], wSecond);
    PutText(&b[20], kPathField, strFilePath);
    PutU32(&b[280], dwFrames);
    PutText(&b[284], kAddressField, strAddress);
    return b;
}

AlarmDBItem AlarmDBItem::Decode(const std::uint8_t* b) {
    AlarmDBItem item;
    item.wSerial = GetU16(&b[0]);
    item.byStatus = b[3];
    item.wYear = GetU16(&b[4]);
    item.wMonth = GetU16(&b[6]);
    item.wDay = GetU16(&b[10]);
    item.wHour = GetU16(&b[12]);
    item.wMinute = GetU16(&b[14]);
    item.wSecond = GetU16(&b[16]);
    item.strFilePath = GetText(&b[20], kPathField);
    item.dwFrames = GetU32(&b[280]);
    item.strAddress = GetText(&b[284], kAddressField);
    return item;
}

std::filesystem::path SystemConfig::FileIn(const std::string& folder) {
    return std::filesystem::path(folder) / "AlarmData.dat";
}

std::uint32_t SystemConfig::NewAlarmDataItem(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_pending = AlarmDBItem{};
    m_pending.strFilePath = path.substr(0, kPathField - 1);
    return 1;
}

void SystemConfig::SetPendingCaptureTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                                         std::uint16_t hour, std::uint16_t minute,
                                         std::uint16_t second) {
    std::lock_guard lock(m_mutex);
    m_pending.wYear = year;
    m_pending.wMonth = month;
    m_pending.wDay = day;
    m_pending.wHour = hour;
    m_pending.wMinute = minute;
    m_pending.wSecond = second;
}

std::uint32_t SystemConfig::AppendAlarmData(const std::string& folder, std::uint32_t frames,
                                            const std::string& address) {
    std::lock_guard lock(m_mutex);
    m_pending.wSerial = m_header.wCount++;
    m_pending.dwFrames = frames;
    m_pending.strAddress = address.substr(0, kAddressField - 1);

    const std::filesystem::path path = FileIn(folder);
    std::optional<FileContent> file = ReadFile(path);
    if (!file) {
        m_header = {kAlarmDBMagic, 1};
        return WriteFile(path, kAlarmDBMagic, {m_pending}) ? 1 : 0;
    }
    if (file->header.wMagic != kAlarmDBMagic) {
        return 0;
    }
    if (file->items.size() >= kAlarmDBMaxItems) {
        file->items.erase(file->items.begin(), file->items.end() - (kAlarmDBMaxItems - 1));
    }
    file->items.push_back(m_pending);
    return WriteFile(path, kAlarmDBMagic, file->items) ? 1 : 0;
}

std::uint32_t SystemConfig::LoadAlarmDatabase(const std::string& folder) {
    std::lock_guard lock(m_mutex);
    m_path = FileIn(folder);
    m_lpAlarmDBItem_Struct.clear();
    const std::optional<FileContent> file = ReadFile(m_path);
    if (!file) {
        return 1;
    }
    m_header = file->header;
    if (file->header.wMagic == kAlarmDBMagic) {
        m_lpAlarmDBItem_Struct = file->items;
    }
    return 1;
}

AlarmDBOpenResult SystemConfig::OpenAlarmDatabase(const std::string& folder) {
    std::lock_guard lock(m_mutex);
    m_path = FileIn(folder);
    m_lpAlarmDBItem_Struct.clear();
    const std::optional<FileContent> file = ReadFile(m_path);
    if (!file) {
        m_header = {kAlarmDBMagic, 0};
        WriteFile(m_path, kAlarmDBMagic, {});
        return AlarmDBOpenResult::Created;
    }
    if (!file->wholeHeader || file->header.wMagic != kAlarmDBMagic) {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
        return file->wholeHeader ? AlarmDBOpenResult::NotOurs : AlarmDBOpenResult::HeaderUnreadable;
    }
    m_header = file->header;
    m_lpAlarmDBItem_Struct = file->items;
    for (AlarmDBItem& item : m_lpAlarmDBItem_Struct) {
        item.byStatus = 0;
    }
    return AlarmDBOpenResult::Read;
}

void SystemConfig::AlarmDB_DiscardChanges() {
    std::lock_guard lock(m_mutex);
    m_lpAlarmDBItem_Struct.clear();
    m_fDirty = 0;
}

std::uint32_t SystemConfig::AlarmDB_FreeBuffer() {
    std::lock_guard lock(m_mutex);
    m_lpAlarmDBItem_Struct.clear();
    m_lpAlarmDBItem_Struct.shrink_to_fit();
    return 1;
}

void SystemConfig::MarkForDeletion(std::size_t index) {
    std::lock_guard lock(m_mutex);
    if (index < m_lpAlarmDBItem_Struct.size()) {
        AlarmDBItem& item = m_lpAlarmDBItem_Struct[index];
        item.byStatus = static_cast<std::uint8_t>(
            (item.byStatus | AlarmDBItem::kMarkedForDeletion) & ~AlarmDBItem::kOpenFailed);
        m_fDirty = 1;
    }
}

std::uint32_t SystemConfig::AlarmDB_Save() {
    std::lock_guard lock(m_mutex);
    if (!m_fDirty) {
        return 1;
    }
    const auto marked = [&](const AlarmDBItem& item) {
        return std::any_of(m_lpAlarmDBItem_Struct.begin(), m_lpAlarmDBItem_Struct.end(),
                           [&](const AlarmDBItem& m) {
                               return (m.byStatus & AlarmDBItem::kMarkedForDeletion) &&
                                      m.strFilePath == item.strFilePath;
                           });
    };
    // A file too short for its header holds no record to keep; rewriting it with its unread
    // magic would leave a file that neither the recorder nor the page accepts.
    std::optional<FileContent> file = ReadFile(m_path);
    std::vector<AlarmDBItem> kept;
    std::uint16_t magic = kAlarmDBMagic;
    if (file && file->wholeHeader) {
        magic = file->header.wMagic;
        std::copy_if(file->items.begin(), file->items.end(), std::back_inserter(kept),
                     [&](const AlarmDBItem& item) { return !marked(item); });
    } else {
        std::copy_if(m_lpAlarmDBItem_Struct.begin(), m_lpAlarmDBItem_Struct.end(),
                     std::back_inserter(kept), [](const AlarmDBItem& item) {
                         return !(item.byStatus & AlarmDBItem::kMarkedForDeletion);
                     });
    }
    const bool written = WriteFile(m_path, magic, kept);
    m_fDirty = 0;
    m_lpAlarmDBItem_Struct.clear();
    return written ? 1 : 0;
}

std::vector<AlarmDBItem> SystemConfig::Items() const {
    std::lock_guard lock(m_mutex);
    return m_lpAlarmDBItem_Struct;
}

AlarmDBHeader SystemConfig::Header() const {
    std::lock_guard lock(m_mutex);
    return m_header;
}

bool SystemConfig::Dirty() const {
    std::lock_guard lock(m_mutex);
    return m_fDirty != 0;
}

SystemConfig& AlarmDatabase() {
    static SystemConfig database;
    return database;
}
