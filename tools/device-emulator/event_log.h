// The device's event log as /Getlog.cgi serves it: a count request, then pages of 32-byte
// entries, the newest page first ("LAST") and each earlier one after it ("PRE").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device_emulator {

struct DeviceCore;
struct RecordedRequest;
struct Reply;

// One entry as the device stores it. On the wire: event id (32-bit little-endian), the three
// date bytes, hour, minute, second, channel, then 21 bytes of detail text, NUL-padded (a detail
// of 21 characters fills the field with no NUL).
struct EventLogEntry {
    std::uint32_t event_id = 1;
    std::array<std::uint8_t, 3> date = {26, 12, 10};
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t channel = 0;
    std::string detail{};  // cut to 21 bytes
};

inline constexpr std::size_t kEventLogEntrySize = 32;

struct EventLogSettings {
    std::vector<EventLogEntry> entries;  // oldest first
    std::size_t page_entries = 32;       // entries in a full page
    std::optional<int> reported_count;   // the COUNT answer; unset: the number of entries

    // Faults.
    int failing_page = -1;            // that page of a reading (0: the LAST page) gets status 500
    std::size_t page_tail_bytes = 0;  // stray bytes after the entries of every page

    // State, moved by the requests: the entries before `cursor` are what "PRE" serves next, and
    // `pages_served` counts the pages since the last "LAST".
    std::size_t cursor = 0;
    int pages_served = 0;
};

// `count` entries cycling through the twelve event bits, with changing times and channels;
// remote logins carry an address as detail.
std::vector<EventLogEntry> SampleEventLog(std::size_t count);

// The 32 bytes of one entry.
std::string EncodeEventLogEntry(const EventLogEntry& entry);

// /Getlog.cgi: STATE=COUNT answers "COUNT=n;", LAST and PRE a page, anything else 400.
Reply GetLog(DeviceCore& core, const RecordedRequest& request);

}  // namespace device_emulator
