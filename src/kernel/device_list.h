#pragma once

// What the logged-in server reported about itself and the RS-485 peripherals behind it, and which
// of them the main window's keys address now. Filled by the login threads, read by the window,
// the key sender and the stream parser on their own threads, so every operation takes a lock.

#include <array>
#include <cstdint>
#include <mutex>
#include <string_view>

enum DEVICE_TYPE : std::uint8_t {
    CAMERA = 0,
    DVR_1CH = 1,
    DVR_4CH_FULL = 2,
    DVR_4CH_BASIC = 3,
    DMR_4CH = 4,
    DMR_9CH = 5,
    DMR_16CH = 6,
    DQR_4CH = 7,
    PTZ = 8,
    MPEG2_DVR_4CH = 9,
    NETWORK_DVR_4CH = 10,
    PTZ_SLAVE = 11,
    NETWORK_DVR_4CH_BASIC = 12,
    NETWORK_DMR_9CH = 13,
    NETWORK_DMR_16CH = 14,
    NETWORK_MPEG2_DVR_4CH = 15,
    ZK63 = 16,
    PTZ_SLAVE_BASIC = 17,
    PTZ_PELCO = 18,
    KLM300_DVR = 19,
};

inline constexpr std::size_t kDeviceTypeCount = 20;

// The name of each type; also the name of its protocol record in CtrlFile.ini.
inline constexpr std::array<std::string_view, kDeviceTypeCount> DeviceTypeNames = {
    "CAMERA",
    "1CH DVR",
    "4CH DVR (FULL)",
    "4CH DVR (BASIC)",
    "4CH DMR",
    "9CH DMR",
    "16CH DMR",
    "4CH DQR",
    "PTZ",
    "4CH MEPG2 DVR",
    "4CH NETWORK DVR",
    "PTZ SLAVE",
    "4CH NETWORK DVR (BASIC)",
    "9CH NETWORK DMR",
    "16CH NETWORK DMR",
    "4CH NETWORK MEPG2 DVR",
    "Zk63",
    "PTZ SLAVE BASIC",
    "PTZ PELCO",
    "KLM 300 DVR",
};

struct DeviceListEntry {
    static constexpr std::uint16_t kUsed = 0x01;
    static constexpr std::uint16_t kMaster = 0x02;
    static constexpr std::uint16_t kPeripheral = 0x04;

    std::uint32_t dwBaudRate = 0;
    std::uint8_t bDeviceID = 0;
    std::uint8_t bDeviceType = 0;
    std::uint16_t wFlags = 0;
};

class CDeviceList {
public:
    static constexpr std::size_t kEntries = 30;
    static constexpr int kMasterKind = DeviceListEntry::kMaster;
    static constexpr int kPeripheralKind = DeviceListEntry::kPeripheral;

    // Empties the table and the selection; the R.E.T.R. state stays.
    void Clear();
    // 0, or -1 when every entry is in use.
    int Add(std::uint32_t baudRate, std::uint8_t deviceId, std::uint8_t deviceType, int kind);
    // Keeps only the masters, moved to the front in their order.
    void Compact();
    // Makes the n-th entry of the kinds in `kindMask` current. -1 when there is none.
    int Select(std::uint32_t kindMask, std::uint8_t n);

    std::uint8_t GetCurrentType() const;
    std::uint8_t GetCurrentId() const;
    std::uint8_t GetPreviousId() const;
    std::uint8_t GetMasterType() const;
    std::uint8_t GetMasterId() const;
    std::uint8_t GetPeripheralId() const;
    // Type of the n-th peripheral, 0 when there is none.
    std::uint8_t GetPeripheralTypeAt(std::uint8_t n) const;
    std::uint32_t IsCurrentMaster() const;
    std::uint32_t IsMasterType19() const;
    // Entries of the current entry's kind before it: the channel of key commands.
    std::uint8_t GetOrdinal() const;
    std::uint32_t SetPeripheral(std::uint8_t n, std::uint8_t deviceType, std::uint8_t deviceId);
    std::uint8_t GetState() const;
    // Records the device's R.E.T.R. state and, when it changed, shows it on the main window's
    // R.E.T.R. button.
    std::uint32_t SetRetrState(std::uint8_t newState);
    // Shows the state on the button: for a button made after the state was set.
    void ShowRetrState() const;
    // Whether an alarm in the stream starts a recording: the user's "Alarm Trigger Record"
    // choice, while the R.E.T.R. alarm-record switch is on and the device reports R.E.T.R. on.
    // Worked out when asked, so neither a re-login nor the device's reports change the choice.
    bool AlarmTriggerRecordOn() const;

    DeviceListEntry Entry(std::size_t index) const;
    std::uint8_t Count() const;

private:
    // Index of the n-th used entry with a flag of `kindMask`, or -1. Caller holds m_mutex.
    int Find(std::uint32_t kindMask, std::uint8_t n) const;

    mutable std::mutex m_mutex;
    std::array<DeviceListEntry, kEntries> m_entries{};
    std::uint8_t m_current = 0;
    std::uint8_t m_previous = 0;
    std::uint8_t m_count = 0;
    std::uint8_t m_master = 0;
    std::uint8_t m_peripheral = 0;
    std::uint8_t m_state = 0;
};
