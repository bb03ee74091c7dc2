#include "kernel/settings_ini.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "kernel/trace_log.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

constexpr std::array<const char*, 40> kKeyNames = {
    "Quarnel",
    "Image Quility",
    "ServerPort",
    "Image Resolution",
    "Username",
    "brightness",
    "contrast",
    "saturation",
    "AvSwitch Option",
    "RETR Alarm Record",
    "Enable_ALARM",
    "ALARM_DURATION",
    "Server Name",
    "Sub Port Number",
    "Network File Path",
    "",
    "Zoom Ratio",
    "Frame Rate",
    "Target Bit Rate",
    "Peak Bit Rate",
    "Control Bit Rate Type",
    "Resolution Type",
    "Selected Channel",
    "Record Path",
    "Snapshot Path",
    "Upgrade FW Path",
    "Last Connection MAC1",
    "Last Connection MAC2",
    "Alarm Trigger Record",
    "Alarm Trigger Audio",
    "Alarm Audio New Path III",
    "Alarm Enable Button",
    "Alarm Trigger Quality",
    "Alarm Trigger Resolution",
    "Trigger Wav Path",
    "Trigger Wav Path LOWORD",
    "Trigger Close Time Hour",
    "Trigger Close Time Min",
    "Trigger Close Time date",
    "Nerrow Alarm trigger record",
};

}  // namespace

CSettingINI::CSettingINI() {
    for (std::size_t i = 0; i < kKeyNames.size(); ++i) {
        m_strKeyName[i] = kKeyNames[i];
    }
}

std::string CSettingINI::SettingsFile() const {
    return m_strProgramPath + "Setting.ini";
}

std::uint32_t CSettingINI::Load() {
    m_strProgramPath = platform::WithTrailingSeparator(platform::ProgramFolder().string());
    // One read of the file for every key.
    const platform::ProfileSection values(
        SettingsFile(), Key(SettingKey::Quarnel),
        std::vector<std::string>(m_strKeyName.begin() + 1, m_strKeyName.end()));
    const auto readInt = [&](const std::string& key, std::int64_t fallback) {
        return static_cast<std::uint32_t>(values.Int(key, static_cast<std::int32_t>(fallback)));
    };
    const auto readText = [&](const std::string& key, const std::string& fallback) {
        return values.String(key, fallback);
    };

    m_nBrightness = readInt(Key(SettingKey::Brightness), m_nBrightness);
    m_nContrast = readInt(Key(SettingKey::Contrast), m_nContrast);
    m_nSaturation = readInt(Key(SettingKey::Saturation), m_nSaturation);
    m_nResolution = readInt(Key(SettingKey::ImageResolution), 1);
    m_strUserName = readText(Key(SettingKey::Username), m_strUserName);
    m_strServerName = readText(Key(SettingKey::ServerName), "192.168.1.10");

    // Values wider than their member keep their low bits, as the settings always have.
    m_wWebPort = static_cast<std::uint16_t>(readInt(Key(SettingKey::ServerPort), m_wWebPort));
    m_dwSubPort = readInt(Key(SettingKey::SubPortNumber), m_dwSubPort);
    m_wZoomRatio = static_cast<std::uint16_t>(readInt(Key(SettingKey::ZoomRatio), 100));
    m_wFrameRate = static_cast<std::uint16_t>(readInt(Key(SettingKey::FrameRate), 30));
    m_wTargetBitRate = static_cast<std::uint16_t>(readInt(Key(SettingKey::TargetBitRate), 400));
    m_wPeakBitRate = static_cast<std::uint16_t>(readInt(Key(SettingKey::PeakBitRate), 450));
    m_wBitRateControl = static_cast<std::uint16_t>(readInt(Key(SettingKey::ControlBitRateType), 1));
    m_bResolutionType = static_cast<std::uint8_t>(readInt(Key(SettingKey::ResolutionType), 3));
    m_bImageQuality = static_cast<std::uint8_t>(readInt(Key(SettingKey::ImageQuility), 0));
    m_bSelectedChannel = static_cast<std::uint8_t>(readInt(Key(SettingKey::SelectedChannel), 1));
    m_wLastMAC1 = static_cast<std::uint16_t>(readInt(Key(SettingKey::LastConnectionMAC1), 255));
    m_wLastMAC2 = static_cast<std::uint16_t>(readInt(Key(SettingKey::LastConnectionMAC2), 255));
    m_bAlarmTriggerRecord =
        static_cast<std::uint8_t>(readInt(Key(SettingKey::AlarmTriggerRecord), 1));
    m_bNerrowAlarmTriggerRecord =
        static_cast<std::uint8_t>(readInt(Key(SettingKey::NerrowAlarmTriggerRecord), 1));
    m_wAlarmEnableButton =
        static_cast<std::uint16_t>(readInt(Key(SettingKey::AlarmEnableButton), 3));

    m_bRetrAlarmRecord = 1;
    m_bAlarmTriggerRecordCopy = m_bAlarmTriggerRecord;

    m_nQuality = readInt(Key(SettingKey::AlarmTriggerQuality), 0);
    m_nAlarmTriggerResolution = readInt(Key(SettingKey::AlarmTriggerResolution), 1);
    m_dwTriggerWavPathLow = readInt(Key(SettingKey::TriggerWavPathLOWORD), 0);
    m_bTriggerCloseHour =
        static_cast<std::uint8_t>(readInt(Key(SettingKey::TriggerCloseTimeHour), 0));
    m_bTriggerCloseMin =
        static_cast<std::uint8_t>(readInt(Key(SettingKey::TriggerCloseTimeMin), 0));
    m_bTriggerCloseDate =
        static_cast<std::uint8_t>(readInt(Key(SettingKey::TriggerCloseTimeDate), 0));

    if (const auto desktop = platform::DesktopFolder()) {
        m_strDesktopPath = desktop->string();
    } else {
        ui::ShowMessage(ui::texts::kReadDesktopFailed);
        m_strDesktopPath.clear();
    }

    std::string recordPath = readText(Key(SettingKey::RecordPath), m_strDesktopPath);
    std::string snapshotPath = readText(Key(SettingKey::SnapshotPath), m_strDesktopPath);
    m_strUpgradeFWPath = readText(Key(SettingKey::UpgradeFWPath), m_strDesktopPath);
    m_strNetworkFilePath = readText(Key(SettingKey::NetworkFilePath), "");
    m_strUpgradeFWPath = platform::WithTrailingSeparator(m_strUpgradeFWPath);
    m_strTriggerWavPath = readText(Key(SettingKey::TriggerWavPath), m_strProgramPath + "alarm.wav");

    for (std::string* folder : {&recordPath, &snapshotPath}) {
        if (folder->empty()) {
            *folder = m_strDesktopPath;
        }
        // A relative folder belongs beside the program, not wherever it was started from.
        if (!folder->empty() && std::filesystem::path(*folder).is_relative()) {
            *folder = m_strProgramPath + *folder;
        }
        std::error_code ignored;
        if (!folder->empty()) {
            std::filesystem::create_directories(*folder, ignored);
        }
    }
    m_strRecordPath = std::move(recordPath);
    m_strSnapshotPath = std::move(snapshotPath);
    return 1;
}

std::uint32_t CSettingINI::Save() {
    const auto number = [](auto v) { return std::to_string(+v); };
    const auto signedNumber = [](std::uint32_t v) {
        return std::to_string(static_cast<std::int32_t>(v));
    };
    const std::vector<platform::ProfileEntry> entries = {
        {Key(SettingKey::Brightness), signedNumber(m_nBrightness)},
        {Key(SettingKey::Contrast), signedNumber(m_nContrast)},
        {Key(SettingKey::Saturation), signedNumber(m_nSaturation)},
        {Key(SettingKey::ImageResolution), signedNumber(m_nResolution)},
        {Key(SettingKey::Username), m_strUserName},
        {Key(SettingKey::ServerName), m_strServerName},
        {Key(SettingKey::ServerPort), number(m_wWebPort)},
        {Key(SettingKey::SubPortNumber), signedNumber(m_dwSubPort)},
        {Key(SettingKey::ZoomRatio), number(m_wZoomRatio)},
        {Key(SettingKey::FrameRate), number(m_wFrameRate)},
        {Key(SettingKey::TargetBitRate), number(m_wTargetBitRate)},
        {Key(SettingKey::PeakBitRate), number(m_wPeakBitRate)},
        {Key(SettingKey::ControlBitRateType), number(m_wBitRateControl)},
        {Key(SettingKey::ResolutionType), number(m_bResolutionType)},
        {Key(SettingKey::ImageQuility), number(m_bImageQuality)},
        {Key(SettingKey::SelectedChannel), number(m_bSelectedChannel)},
        {Key(SettingKey::LastConnectionMAC1), number(m_wLastMAC1)},
        {Key(SettingKey::LastConnectionMAC2), number(m_wLastMAC2)},
        {Key(SettingKey::AlarmTriggerRecord), number(m_bAlarmTriggerRecord)},
        {Key(SettingKey::NerrowAlarmTriggerRecord), number(m_bNerrowAlarmTriggerRecord)},
        {Key(SettingKey::RETRAlarmRecord), number(m_bRetrAlarmRecord)},
        {Key(SettingKey::AlarmEnableButton), number(m_wAlarmEnableButton)},
        {Key(SettingKey::AlarmTriggerQuality), signedNumber(m_nQuality)},
        {Key(SettingKey::AlarmTriggerResolution), signedNumber(m_nAlarmTriggerResolution)},
        {Key(SettingKey::TriggerWavPathLOWORD), number(m_dwTriggerWavPathLow)},
        {Key(SettingKey::TriggerCloseTimeHour), number(m_bTriggerCloseHour)},
        {Key(SettingKey::TriggerCloseTimeMin), number(m_bTriggerCloseMin)},
        {Key(SettingKey::TriggerCloseTimeDate), number(m_bTriggerCloseDate)},
        {Key(SettingKey::RecordPath), m_strRecordPath},
        {Key(SettingKey::SnapshotPath), m_strSnapshotPath},
        {Key(SettingKey::UpgradeFWPath), m_strUpgradeFWPath},
        {Key(SettingKey::TriggerWavPath), m_strTriggerWavPath},
        {Key(SettingKey::NetworkFilePath), m_strNetworkFilePath},
    };
    const platform::FileStatus saved =
        platform::WriteProfileStrings(SettingsFile(), Key(SettingKey::Quarnel), entries);
    if (!saved) {
        TraceLogWrite("Setting.ini save failed");
        ui::ShowMessage("The settings could not be saved: " + SettingsFile() + " " +
                        saved.Describe() + ".");
        return 0;
    }
    return 1;
}
