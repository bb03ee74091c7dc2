#pragma once

// What a configuration page needs of the sheet around it: the values the sections held when the
// sheet opened (a page's changes are measured against them), the send of one section, and the
// sheet's own buttons. The pages know the sheet only through this, so they build and test without
// it.

#include <cstdint>
#include <span>
#include <string>

struct SysCfgBlocks;

// The network fields: what the network page holds, taken from its controls, and what the IP and
// PPPOE sections held when the sheet opened.
struct NetworkSettings {
    std::uint32_t address = 0;
    std::uint32_t netMask = 0;
    std::uint32_t gateway = 0;
    std::uint16_t webPort = 0;
    std::uint8_t connectionType = 0;
    std::string pppoeUser;
    std::string pppoePassword;
};

// What the section buffers held when the sheet opened: the apply steps send a section only when
// a field of it differs from these.
struct SheetOpeningValues {
    NetworkSettings network;  // IP and PPPOE
    // DNS and the DDNS fields of SMTP
    std::uint32_t dnsServer = 0;
    std::uint8_t ddnsEnable = 0;
    std::string ddnsUser;
    std::string ddnsPassword;
    std::string ddnsDomain;
    int ddnsSystem = -1;  // 0 custom, 1 dyndns, 2 statdns, -1 none
    // SMTP
    std::string mailFrom;       // 72
    std::string smtpServer;     // 8
    std::string loginPassword;  // 408
    std::string loginUser;      // 376
    std::uint8_t needsLogin = 0;
    // FTP
    std::string ftpServer;
    std::string ftpUser;
    std::string ftpPassword;
    std::string ftpDirectory;
    std::uint16_t ftpPort = 0;
    // ALARM
    std::uint16_t alarmDurationSeconds = 0;  // ALARM bytes 6-7, whether the page lists it or not
    std::uint8_t alarmPostNumberIndex = 0;   // ALARM byte 2 minus 1, at least 0
    std::uint8_t alarmImageResolution = 0;   // ALARM byte 5
    std::uint8_t alarmMethod = 0;            // ALARM byte 3
    // SECURE
    std::uint8_t maxUsers = 0;

    static SheetOpeningValues FromSections(SysCfgBlocks& cfg);
};

// The DDNS system names in their index order.
inline constexpr const char* kDdnsSystemNames[] = {"custom", "dyndns", "statdns"};
// Index of a DDNS system name, -1 when it is none of them.
int DdnsSystemIndex(const std::string& name);

class ConfigSheet {
public:
    // Sends one section; on failure shows `failureText` (4012 when empty). True on success.
    static bool SendSection(std::uint8_t section, std::span<const std::uint8_t> bytes,
                            const std::string& failureText = {});

    // A page that runs a long device exchange of its own keeps the sheet from closing meanwhile.
    virtual void DisableSheetButtons() = 0;
    virtual void EnableSheetButtons() = 0;

protected:
    ~ConfigSheet() = default;
};
