#pragma once

// The device's event log: the reader thread that fetches it page by page for the tool box page,
// and the "Server Log" dialog that lists the entries with a filter box per event.
//
// The reader first asks how many entries the device holds, then fetches the newest page and the
// pages before it until it has what the user asked for. It only ever reports to the page's
// window; the dialog reads the entries after the reader's last message.

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sync.h"
#include "ui/window_message.h"

// One entry as the device sends it: event bit (32-bit little-endian), three date bytes, hour,
// minute, second, channel, and 21 bytes of detail text.
struct ServerLogEntry {
    static constexpr std::size_t kSize = 32;
    static constexpr std::size_t kDetailSize = 21;

    std::array<std::uint8_t, kSize> bytes{};

    std::uint32_t EventId() const;
    std::uint8_t Date(int field) const { return bytes[4 + field]; }  // 0, 1, 2
    std::uint8_t Hour() const { return bytes[7]; }
    std::uint8_t Minute() const { return bytes[8]; }
    std::uint8_t Second() const { return bytes[9]; }
    std::uint8_t Channel() const { return bytes[10]; }
    // Up to the first NUL, or the whole field when it has none.
    std::string Detail() const;
};
static_assert(sizeof(ServerLogEntry) == ServerLogEntry::kSize);

// The reader's buffer holds at most this many entries (64 KiB).
inline constexpr int kServerLogCapacity = 2048;

// wParam of WM_SERVERLOGRESULT.
inline constexpr ui::WPARAM kServerLogDone = 1;    // entries stored (possibly none)
inline constexpr ui::WPARAM kServerLogEmpty = 2;   // the device holds no entries
inline constexpr ui::WPARAM kServerLogFailed = 4;  // a request failed or its reply was unusable
// Posted by the reader after each page: wParam the percentage read.
inline constexpr std::uint32_t WM_SERVERLOGPROGRESS = 0x0480;

// The entry count of the count reply: the number after "COUNT=" (the first "COUNT" and the
// character after it), up to ";". None when there is no such number.
std::optional<int> ParseLogCount(std::string_view reply);

// What the reader works on; lParam of its messages is `tag`, so that the page can tell a
// reading it has given up from the current one.
struct ServerLogThreadParam {
    ui::WindowHandle window = 0;
    platform::Handle stopEvent;
    ServerLogEntry* buffer = nullptr;  // kServerLogCapacity entries
    int* count = nullptr;              // entries stored so far
    // Why the reading failed, for the user: written before the reader posts kServerLogFailed.
    std::string* failure = nullptr;
    int maxLogList = 0;
    ui::LPARAM tag = 0;
};

std::uint32_t GetServerLogThread(const ServerLogThreadParam& param);

// One row of the log list.
struct ServerLogRow {
    std::string number;
    std::string event;
    std::string time;
    std::string channel;

    bool operator==(const ServerLogRow&) const = default;
};

// The rows shown for `mask`: entries whose event shares no bit with it, and the 65535 filler,
// are left out; the rest are numbered from 1 in buffer order.
std::vector<ServerLogRow> ServerLogRows(std::span<const ServerLogEntry> entries,
                                        std::uint32_t mask);

// A filter box of the dialog: its control id, its event bit and its text.
struct ServerLogFilter {
    int id;
    std::uint32_t bit;
    const char* text;
};

class CServerLogDlg : public QDialog {
    Q_OBJECT

public:
    // The filter boxes, in the order of m_nChecked.
    static constexpr std::array<ServerLogFilter, 11> kFilters = {{
        {1449, 8, "EMAIL FAILED"},
        {1450, 16, "FTP FAILED"},
        {1452, 1024, "HDD DMA ERROR"},
        {1451, 512, "HDD ERROR"},
        {1445, 4, "HDD FULL"},
        {1446, 32, "KEY LOCK"},
        {1447, 64, "KEY UNLOCK"},
        {1442, 1, "POWER ON"},
        {1444, 256, "REMOTE LOGIN"},
        {1443, 2, "VIDEO LOSS"},
        {1448, 128, "RESET DEFAULT"},
    }};

    explicit CServerLogDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    // Rebuilds the list from the entries and the mask.
    int FillLogList();
    // A filter box was clicked: its event goes in or out of the mask.
    void OnFilterClicked(std::size_t filter);
    // Flags and mask into the boxes.
    void UpdateData();

    const ServerLogEntry* plogList = nullptr;  // the tool box page's buffer, not owned
    int m_nLogCount = 0;
    std::uint32_t m_dwEventMask = 0xFFF;
    QTreeWidget m_ctlLogList;
    std::array<int, kFilters.size()> m_nChecked;
    std::array<QCheckBox, kFilters.size()> m_chkFilter;
    QPushButton m_btnOK;
};
