#include "event_log.h"

#include <algorithm>

#include "device_core.h"
#include "http_exchange.h"

namespace device_emulator {

namespace {

constexpr std::size_t kDetailOffset = 11;
constexpr std::size_t kDetailSize = kEventLogEntrySize - kDetailOffset;

std::string Page(const std::vector<EventLogEntry>& entries, std::size_t first, std::size_t end,
                 std::size_t tail) {
    std::string bytes;
    for (std::size_t i = first; i < end; ++i) {
        bytes += EncodeEventLogEntry(entries[i]);
    }
    bytes.append(tail, '\x5A');
    return bytes;
}

}  // namespace

std::vector<EventLogEntry> SampleEventLog(std::size_t count) {
    std::vector<EventLogEntry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        EventLogEntry& e = entries[i];
        e.event_id = 1u << (i % 12);
        e.date = {26, static_cast<std::uint8_t>(1 + i / 28 % 12),
                  static_cast<std::uint8_t>(1 + i % 28)};
        e.hour = static_cast<std::uint8_t>(i % 24);
        e.minute = static_cast<std::uint8_t>(i * 7 % 60);
        e.second = static_cast<std::uint8_t>(i * 13 % 60);
        e.channel = static_cast<std::uint8_t>(i % 17);
        if (e.event_id == 256) {
            e.detail = "10.0.0." + std::to_string(i % 250 + 1);
        }
    }
    return entries;
}

std::string EncodeEventLogEntry(const EventLogEntry& entry) {
    std::string bytes(kEventLogEntrySize, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>(entry.event_id >> (8 * i) & 0xFF);
    }
    const std::uint8_t fields[] = {entry.date[0], entry.date[1], entry.date[2], entry.hour,
                                   entry.minute,  entry.second,  entry.channel};
    std::copy(std::begin(fields), std::end(fields), bytes.begin() + 4);
    bytes.replace(kDetailOffset, std::min(entry.detail.size(), kDetailSize), entry.detail, 0,
                  kDetailSize);
    return bytes;
}

Reply GetLog(DeviceCore& core, const RecordedRequest& request) {
    const std::string state = request.Param("STATE").value_or("");
    std::lock_guard lock(core.mutex);
    EventLogSettings& log = core.settings.event_log;
    if (state == "COUNT") {
        const int count = log.reported_count.value_or(static_cast<int>(log.entries.size()));
        return Reply{200, "COUNT=" + std::to_string(count) + ";"};
    }
    if (state == "LAST") {
        log.cursor = log.entries.size();
        log.pages_served = 0;
    } else if (state != "PRE") {
        return Reply{400, ""};
    }
    const int page = log.pages_served++;
    if (page == log.failing_page) {
        return Reply{500, ""};
    }
    const std::size_t end = std::min(log.cursor, log.entries.size());
    const std::size_t first = end - std::min(end, log.page_entries);
    log.cursor = first;
    return Reply{200, Page(log.entries, first, end, log.page_tail_bytes),
                 "application/octet-stream"};
}

}  // namespace device_emulator
