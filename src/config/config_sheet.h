#pragma once

// What a configuration page needs of the sheet around it: the values the sections held when the
// sheet opened (a page's changes are measured against them), the sends of an apply, and the
// sheet's own buttons. The pages know the sheet only through this, so they build and test without
// it.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

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

// What one APPLY does at the device. The apply steps decide on the window's thread what to send;
// the sends then run as one command on the sheet's command thread, so a slow device never holds
// the window. Each send carries its own copy of the section bytes, taken when the step decided
// on it: the buffers stay the window thread's alone. The steps run in order, and a failed send
// ends its own step only. Built on the window's thread and not changed while it runs.
class SectionSends {
public:
    // What a run did with each step: how many of its entries ran, and whether the last of those
    // was a send that failed.
    struct StepResult {
        std::size_t ran = 0;
        bool failed = false;
    };
    using Outcome = std::vector<StepResult>;

    // Starts the next step. `onSent` runs on the window's thread after the run when every send
    // of the step went through.
    void BeginStep(std::function<void()> onSent = {});
    // Adds a send of a copy of `bytes` to the step; its failure shows `failureText` (4012 when
    // empty). `onTried` runs on the window's thread after the run when the send was tried,
    // whether or not it went through. `onAccepted` runs on the command's thread the moment the
    // device accepted the send, before anything else goes out, also when a cancel follows.
    void Add(std::uint8_t section, std::span<const std::uint8_t> bytes,
             std::string failureText = {}, std::function<void()> onTried = {},
             std::function<void()> onAccepted = {});
    // Adds work that cannot fail and must run in its place among the sends.
    void AddWork(std::function<void()> work);

    // On the command's thread. A stop request (the sheet was closed) ends the run at once.
    Outcome Run() const;
    // On the window's thread, step by step: the `onTried` of the sends tried, the text of a
    // failed send, and the `onSent` of a step that went through.
    void Report(const Outcome& outcome) const;

private:
    struct Entry {
        std::uint8_t section = 0;
        std::vector<std::uint8_t> bytes;
        std::string failureText;
        std::function<void()> onTried;
        std::function<void()> onAccepted;
        std::function<void()> work;  // set: the entry is this work, not a send
    };
    struct Step {
        std::vector<Entry> entries;
        std::function<void()> onSent;
    };
    std::vector<Step> m_steps;
};

class ConfigSheet {
public:
    // A page's device command (the sheet has one at a time): `work` runs off the window's
    // thread, then `done` gets its result on the window's thread; the sheet waits for the device
    // meanwhile as during APPLY. False, with nothing started, while another command runs.
    virtual bool RunDeviceCommand(std::function<bool()> work, std::function<void(bool)> done) = 0;

    // A page that runs a long device exchange of its own keeps the sheet from closing meanwhile.
    virtual void DisableSheetButtons() = 0;
    virtual void EnableSheetButtons() = 0;

protected:
    ~ConfigSheet() = default;
};
