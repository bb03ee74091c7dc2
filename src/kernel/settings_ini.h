#pragma once

// Setting.ini: the client's persistent settings, one section "Quarnel" in the program folder.
// Loaded once at start-up, saved when the main window closes and when a firmware file is chosen.

#include <array>
#include <cstdint>
#include <string>

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

    std::uint32_t m_nResolution = 0;
    std::uint32_t m_nBrightness = 0;
    std::uint32_t m_nContrast = 96;
    std::uint32_t m_nSaturation = 0;
    std::string m_strPassword = "pirow";  // held in memory only, never written
    std::string m_strUserName = "admin";
    std::string m_strServerName = "192.168.1.10";
    std::uint16_t m_wWebPort = 80;
    std::uint32_t m_dwSubPort = 8888;
    std::uint16_t m_wZoomRatio = 100;
    std::uint16_t m_wFrameRate = 0;
    std::uint16_t m_wTargetBitRate = 0;
    std::uint16_t m_wPeakBitRate = 0;
    std::uint16_t m_wBitRateControl = 0;
    std::uint8_t m_bResolutionType = 0;
    std::uint8_t m_bImageQuality = 0;
    std::uint8_t m_bSelectedChannel = 0;
    std::uint16_t m_wLastMAC1 = 0;
    std::uint16_t m_wLastMAC2 = 0;
    std::uint8_t m_bRetrAlarmRecord = 0;
    std::uint8_t m_bAlarmTriggerRecord = 0;
    std::uint8_t m_bAlarmTriggerRecordCopy = 0;
    std::uint8_t m_bNerrowAlarmTriggerRecord = 0;
    std::uint16_t m_wAlarmEnableButton = 0;
    std::uint32_t m_nQuality = 0;
    std::uint32_t m_nAlarmTriggerResolution = 0;
    std::uint32_t m_dwTriggerWavPathLow = 0;
    std::uint8_t m_bTriggerCloseHour = 0;
    std::uint8_t m_bTriggerCloseMin = 0;
    std::uint8_t m_bTriggerCloseDate = 0;
    std::string m_strDesktopPath;
    std::string m_strRecordPath;
    std::string m_strSnapshotPath;
    std::string m_strUpgradeFWPath;
    std::string m_strProgramPath;  // ends in a separator
    std::string m_strTriggerWavPath;
    std::string m_strNetworkFilePath;

private:
    std::string SettingsFile() const;
};
