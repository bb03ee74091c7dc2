#pragma once

// Setting.ini: the client's persistent settings, one section "Quarnel" in the program folder.
// Loaded once at start-up, saved when the main window closes and when a firmware file is chosen.
//
// The window thread and its dialogs own the settings. The few that the session threads read too
// (the login, receive, show, recorder and kernel message threads) are SharedSetting values: each
// read takes a copy under the value's own lock and each write replaces it under that lock, so a
// thread never sees half of a text that the window is replacing. The device address pairs its
// server and port under one more lock (GetDeviceAddress).

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

template <class T>
class SharedSetting {
public:
    SharedSetting() = default;
    SharedSetting(T value) : m_value(std::move(value)) {}
    SharedSetting(const SharedSetting& other) : m_value(other.Get()) {}
    SharedSetting& operator=(const SharedSetting& other) {
        Set(other.Get());
        return *this;
    }
    SharedSetting& operator=(T value) {
        Set(std::move(value));
        return *this;
    }

    operator T() const { return Get(); }
    T Get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void Set(T value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

    // Numbers compare through their conversion; texts need these.
    friend bool operator==(const SharedSetting& a, const T& b) requires(!std::is_arithmetic_v<T>) {
        return a.Get() == b;
    }
    friend bool operator==(const SharedSetting& a,
                           const SharedSetting& b) requires(!std::is_arithmetic_v<T>) {
        return a.Get() == b.Get();
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

// Slots of CSettingINI::m_strKeyName; slot 0 is the section name.
enum class SettingKey : std::size_t {
    Quarnel,
    ImageQuility,
    ServerPort,
    ImageResolution,
    Username,
    Brightness,
    Contrast,
    Saturation,
    AvSwitchOption,
    RETRAlarmRecord,
    EnableALARM,
    ALARMDURATION,
    ServerName,
    SubPortNumber,
    NetworkFilePath,
    Unused15,
    ZoomRatio,
    FrameRate,
    TargetBitRate,
    PeakBitRate,
    ControlBitRateType,
    ResolutionType,
    SelectedChannel,
    RecordPath,
    SnapshotPath,
    UpgradeFWPath,
    LastConnectionMAC1,
    LastConnectionMAC2,
    AlarmTriggerRecord,
    AlarmTriggerAudio,
    AlarmAudioNewPathIII,
    AlarmEnableButton,
    AlarmTriggerQuality,
    AlarmTriggerResolution,
    TriggerWavPath,
    TriggerWavPathLOWORD,
    TriggerCloseTimeHour,
    TriggerCloseTimeMin,
    TriggerCloseTimeDate,
    NerrowAlarmTriggerRecord,
};

class CSettingINI {
public:
    CSettingINI();

    // Reads Setting.ini; missing keys take the defaults. Always 1.
    std::uint32_t Load();
    // Writes every saved key from memory, in one replacement of the file. 1 on success.
    std::uint32_t Save();

    // Key names by SettingKey: slot 0 holds the section name, slot 15 stays empty.
    std::array<std::string, 40> m_strKeyName;
    const std::string& Key(SettingKey k) const { return m_strKeyName[static_cast<std::size_t>(k)]; }

    SharedSetting<std::uint32_t> m_nResolution;
    std::uint32_t m_nBrightness = 0;
    std::uint32_t m_nContrast = 96;
    std::uint32_t m_nSaturation = 0;
    SharedSetting<std::string> m_strPassword{"pirow"};  // held in memory only, never written
    SharedSetting<std::string> m_strUserName{"admin"};
    SharedSetting<std::string> m_strServerName{"192.168.1.10"};
    SharedSetting<std::uint16_t> m_wWebPort{80};
    std::uint32_t m_dwSubPort = 8888;
    std::uint16_t m_wZoomRatio = 100;
    std::uint16_t m_wFrameRate = 0;
    std::uint16_t m_wTargetBitRate = 0;
    std::uint16_t m_wPeakBitRate = 0;
    std::uint16_t m_wBitRateControl = 0;
    std::uint8_t m_bResolutionType = 0;
    std::uint8_t m_bImageQuality = 0;
    SharedSetting<std::uint8_t> m_bSelectedChannel;
    std::uint16_t m_wLastMAC1 = 0;
    std::uint16_t m_wLastMAC2 = 0;
    std::uint8_t m_bRetrAlarmRecord = 0;
    SharedSetting<std::uint8_t> m_bAlarmTriggerRecord;
    std::uint8_t m_bAlarmTriggerRecordCopy = 0;
    std::uint8_t m_bNerrowAlarmTriggerRecord = 0;
    std::uint16_t m_wAlarmEnableButton = 0;
    SharedSetting<std::uint32_t> m_nQuality;
    std::uint32_t m_nAlarmTriggerResolution = 0;
    std::uint32_t m_dwTriggerWavPathLow = 0;
    std::uint8_t m_bTriggerCloseHour = 0;
    std::uint8_t m_bTriggerCloseMin = 0;
    std::uint8_t m_bTriggerCloseDate = 0;
    std::string m_strDesktopPath;
    SharedSetting<std::string> m_strRecordPath;
    SharedSetting<std::string> m_strSnapshotPath;
    std::string m_strUpgradeFWPath;
    std::string m_strProgramPath;  // ends in a separator
    SharedSetting<std::string> m_strTriggerWavPath;
    std::string m_strNetworkFilePath;

private:
    std::string SettingsFile() const;
};
