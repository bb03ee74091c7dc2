#include "kernel/alarm_db.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>

#include "kernel/damaged_file.h"
#include "platform/byte_order.h"
#include "platform/file_gate.h"

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

// A list never holds more; a larger file is not one we wrote.
constexpr std::size_t kMaxFileBytes = kAlarmDBHeaderSize + kAlarmDBMaxItems * kAlarmDBItemSize;

// AlarmData.dat as a read found it. `items` are the whole records of a list of ours; for a cut
// one, every whole record the file holds, whatever its header claimed.
struct FileContent {
    enum class State { Missing, Unreadable, Foreign, Cut, Ours };
    State state = State::Missing;
    AlarmDBHeader header;
    std::vector<AlarmDBItem> items;
};

// A list of ours is exactly its header and the records the header counts; an empty file is a list
// not yet begun. A file with another magic is another program's, never ours to change. One too
// short for its header, or whose length disagrees with its count (a write cut short, a header from
// another state of the file), or larger than any list, is damaged, but the whole records of one
// read whole are still the user's.
FileContent Parse(const platform::FileSnapshot& snapshot) {
    FileContent content;
    using Snapshot = platform::FileSnapshot::State;
    if (snapshot.state == Snapshot::Missing ||
        (snapshot.state == Snapshot::Read && snapshot.bytes.empty())) {
        return content;
    }
    if (snapshot.state == Snapshot::Unreadable) {
        content.state = FileContent::State::Unreadable;
        return content;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(snapshot.bytes.data());
    if (snapshot.bytes.size() >= 2 && GetU16(bytes) != kAlarmDBMagic) {
        content.state = FileContent::State::Foreign;
        return content;
    }
    const std::size_t size = snapshot.bytes.size();
    const std::size_t body = size >= kAlarmDBHeaderSize ? size - kAlarmDBHeaderSize : 0;
    const std::size_t whole = body / kAlarmDBItemSize;
    // A file cut inside its header holds no list at all: a magic of 0 says so.
    content.header = size >= kAlarmDBHeaderSize ? AlarmDBHeader{kAlarmDBMagic, GetU16(bytes + 2)}
                                                : AlarmDBHeader{};
    const bool exact = snapshot.state == Snapshot::Read && size >= kAlarmDBHeaderSize &&
                       body % kAlarmDBItemSize == 0 && whole == content.header.wCount;
    content.state = exact ? FileContent::State::Ours : FileContent::State::Cut;
    // Of a file larger than any list only its beginning was read: nothing of it is carried over.
    for (std::size_t i = 0; snapshot.state == Snapshot::Read && i < whole; ++i) {
        content.items.push_back(
            AlarmDBItem::Decode(bytes + kAlarmDBHeaderSize + i * kAlarmDBItemSize));
    }
    content.header.wCount = static_cast<std::uint16_t>(content.items.size());
    return content;
}

// One past the largest serial of the list, wrapping within the field. The serials of a list lie
// within a window far narrower than the field, so the largest is taken around the newest entry's:
// after 65535 comes 0, and 0 then counts as the larger.
std::uint16_t NextSerial(const std::vector<AlarmDBItem>& items) {
    if (items.empty()) {
        return 0;
    }
    const std::uint16_t newest = items.back().wSerial;
    int ahead = 0;
    for (const AlarmDBItem& item : items) {
        ahead = std::max<int>(ahead, static_cast<std::int16_t>(item.wSerial - newest));
    }
    return static_cast<std::uint16_t>(newest + ahead + 1);
}

std::string Encode(const std::vector<AlarmDBItem>& items) {
    std::string bytes(kAlarmDBHeaderSize, '\0');
    auto* header = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutU16(header, kAlarmDBMagic);
    PutU16(header + 2, static_cast<std::uint16_t>(items.size()));
    for (const AlarmDBItem& item : items) {
        const auto record = item.Encode();
        bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
    }
    return bytes;
}

struct Update {
    platform::FileStatus status;  // the file could not be read, written or kept aside
    bool foreign = false;         // another program's file: left as it is
    std::optional<std::filesystem::path> setAside;
    std::size_t carried = 0;  // whole records of the damaged file, in the new one

    bool Ok() const { return static_cast<bool>(status) && !foreign; }
};

// One read-modify-write of the file. `change` gets the file's content when it is ours, or null
// when there is none, and returns the records to write, or nullopt to leave the file as it is. A
// damaged file is first moved aside; a cut one hands its whole records on as if they were the
// file. A file that cannot be read, or another program's, is never replaced.
Update UpdateFile(
    const std::filesystem::path& file,
    const std::function<std::optional<std::vector<AlarmDBItem>>(FileContent*)>& change) {
    Update update;
    const platform::FileStatus written = platform::UpdateFileAtomically(
        file, kMaxFileBytes,
        [&](const platform::FileSnapshot& snapshot) -> std::optional<std::string> {
            FileContent content = Parse(snapshot);
            if (content.state == FileContent::State::Unreadable) {
                update.status = snapshot.status;
                return std::nullopt;
            }
            if (content.state == FileContent::State::Foreign) {
                update.foreign = true;
                return std::nullopt;
            }
            // A damaged list is the user's only record of earlier alarms: kept beside a fresh one.
            if (content.state == FileContent::State::Cut) {
                const platform::KeptAside kept = platform::KeepFileAside(snapshot);
                if (!kept.aside) {
                    update.status = kept.status;
                    return std::nullopt;
                }
                update.setAside = kept.aside;
                update.carried = content.items.size();
            }
            const bool ours = content.header.wMagic == kAlarmDBMagic;
            auto items = change(ours ? &content : nullptr);
            // The damaged file has moved: its place gets at least what could be read of it.
            if (!items && update.setAside) {
                items = content.items;
            }
            return items ? std::optional(Encode(*items)) : std::nullopt;
        });
    if (update.status) {
        update.status = written;
    }
    return update;
}

std::string ForeignFileText(const std::filesystem::path& file) {
    return "The alarm list " + file.string() +
           " is not a list of this program (it begins with another mark). It is left as it is, so "
           "alarm recordings are not listed in it";
}

// Called without the database lock: on the window thread the box waits for the user.
void Report(const std::filesystem::path& file, const Update& update) {
    if (update.setAside) {
        TellDamagedFileKeptAside("alarm database", file, *update.setAside, update.carried);
    } else if (update.status.error == platform::FileError::NamesTaken) {
        TellDamagedFileNotKeptAside("alarm database", file, update.status);
    }
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
    Update update;
    {
        std::lock_guard lock(m_mutex);
        m_pending.dwFrames = frames;
        m_pending.strAddress = address.substr(0, kAddressField - 1);
        if (folder.empty()) {
            return 0;
        }
        update = UpdateFile(FileIn(folder), [&](FileContent* file) {
            std::vector<AlarmDBItem> items;
            if (file) {
                items = std::move(file->items);
            }
            // Numbered from the file as it stands under the lock, so another copy of the program
            // appending to the same list never hands out the same numbers.
            m_pending.wSerial = NextSerial(items);
            if (items.size() >= kAlarmDBMaxItems) {
                items.erase(items.begin(), items.end() - (kAlarmDBMaxItems - 1));
            }
            items.push_back(m_pending);
            m_header = {kAlarmDBMagic, static_cast<std::uint16_t>(items.size())};
            return std::optional(std::move(items));
        });
        m_AppendFailure = {update.foreign  ? ForeignFileText(FileIn(folder))
                           : update.status ? std::string()
                                           : "The alarm list " + FileIn(folder).string() + " " +
                                                 update.status.Describe(),
                           update.foreign};
    }
    Report(FileIn(folder), update);
    return update.Ok() ? 1 : 0;
}

std::uint32_t SystemConfig::LoadAlarmDatabase(const std::string& folder) {
    std::lock_guard lock(m_mutex);
    m_lpAlarmDBItem_Struct.clear();
    if (folder.empty()) {
        return 0;
    }
    m_path = FileIn(folder);
    const FileContent file = Parse(platform::ReadFile(m_path, kMaxFileBytes));
    if (file.state == FileContent::State::Ours || file.state == FileContent::State::Cut) {
        m_header = file.header;
        m_lpAlarmDBItem_Struct = file.items;
    }
    return 1;
}

AlarmDBOpenResult SystemConfig::OpenAlarmDatabase(const std::string& folder) {
    Update update;
    bool created = false;
    {
        std::lock_guard lock(m_mutex);
        m_lpAlarmDBItem_Struct.clear();
        if (folder.empty()) {
            return AlarmDBOpenResult::Refused;
        }
        m_path = FileIn(folder);
        update =
            UpdateFile(m_path, [&](FileContent* file) -> std::optional<std::vector<AlarmDBItem>> {
                if (!file) {
                    m_header = {kAlarmDBMagic, 0};
                    created = true;
                    return std::vector<AlarmDBItem>{};
                }
                m_header = file->header;
                m_lpAlarmDBItem_Struct = file->items;
                for (AlarmDBItem& item : m_lpAlarmDBItem_Struct) {
                    item.byStatus = 0;
                }
                return std::nullopt;
            });
    }
    Report(FileIn(folder), update);
    if (update.foreign) {
        return AlarmDBOpenResult::Foreign;
    }
    if (update.status.error == platform::FileError::NamesTaken) {
        return AlarmDBOpenResult::NotSetAside;
    }
    if (!update.Ok()) {
        return AlarmDBOpenResult::Refused;
    }
    if (update.setAside) {
        return AlarmDBOpenResult::SetAside;
    }
    return created ? AlarmDBOpenResult::Created : AlarmDBOpenResult::Read;
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
    Update update;
    update.status = {platform::FileError::Missing, 0};
    std::filesystem::path database;
    {
        std::lock_guard lock(m_mutex);
        if (!m_fDirty) {
            return 1;
        }
        database = m_path;
        const auto marked = [&](const AlarmDBItem& item) {
            return std::any_of(m_lpAlarmDBItem_Struct.begin(), m_lpAlarmDBItem_Struct.end(),
                               [&](const AlarmDBItem& m) {
                                   return (m.byStatus & AlarmDBItem::kMarkedForDeletion) &&
                                          m.strFilePath == item.strFilePath;
                               });
        };
        if (!m_path.empty()) {
            update = UpdateFile(m_path, [&](FileContent* file) {
                std::vector<AlarmDBItem> kept;
                if (file) {
                    std::copy_if(file->items.begin(), file->items.end(), std::back_inserter(kept),
                                 [&](const AlarmDBItem& item) { return !marked(item); });
                } else {
                    std::copy_if(m_lpAlarmDBItem_Struct.begin(), m_lpAlarmDBItem_Struct.end(),
                                 std::back_inserter(kept), [](const AlarmDBItem& item) {
                                     return !(item.byStatus & AlarmDBItem::kMarkedForDeletion);
                                 });
                }
                return std::optional(std::move(kept));
            });
        }
        m_fDirty = 0;
        m_lpAlarmDBItem_Struct.clear();
    }
    Report(database, update);
    return update.Ok() ? 1 : 0;
}

AlarmDBFailure SystemConfig::LastAppendFailure() const {
    std::lock_guard lock(m_mutex);
    return m_AppendFailure;
}

bool SystemConfig::FirstForeignNotice() {
    return !m_fForeignNoticeGiven.exchange(true);
}

std::string SystemConfig::ForeignNotice(const std::string& folder) {
    return ForeignFileText(FileIn(folder)) + ".";
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
