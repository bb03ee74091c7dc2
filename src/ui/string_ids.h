#pragma once

// Names for the ids of the string table (string_table_data.inc) that the code asks for by name.
// Texts reached through a data table (skin and layout tables, dialog captions) keep their bare
// numbers there.

#include <cstdint>

namespace ui::texts {

inline constexpr std::uint32_t kServerLogButtonTexts = 1304;
inline constexpr std::uint32_t kMailAccountColumn = 3014;
inline constexpr std::uint32_t kUserNameColumn = 3015;
inline constexpr std::uint32_t kUserLevelColumn = 3016;
inline constexpr std::uint32_t kLifeTimeColumn = 3017;
inline constexpr std::uint32_t kInfinityText = 3018;
inline constexpr std::uint32_t kOneDayText = 3019;
inline constexpr std::uint32_t kOneHourText = 3020;
inline constexpr std::uint32_t kMinuteText = 3021;
inline constexpr std::uint32_t kSystemSettingCaption = 3027;
inline constexpr std::uint32_t kSearchStrings = 3028;
inline constexpr std::uint32_t kConnectingText = 3029;
inline constexpr std::uint32_t kBackToControlCenter = 3204;
inline constexpr std::uint32_t kAccountMemoryFull = 4001;
inline constexpr std::uint32_t kAddFailed = 4002;
inline constexpr std::uint32_t kBindFailed = 4006;
inline constexpr std::uint32_t kNoServer = 4008;
inline constexpr std::uint32_t kQualityFailed = 4011;
inline constexpr std::uint32_t kChangeConfigFailed = 4012;
inline constexpr std::uint32_t kConnectError = 4014;
inline constexpr std::uint32_t kEditFailed = 4022;
inline constexpr std::uint32_t kGetConfigError = 4029;
inline constexpr std::uint32_t kIndexItemFailed = 4031;
inline constexpr std::uint32_t kCannotConnect = 4034;
inline constexpr std::uint32_t kItemDataFailed = 4035;
inline constexpr std::uint32_t kCannotModify = 4036;
inline constexpr std::uint32_t kLoginError = 4040;
inline constexpr std::uint32_t kMaxUsersEmpty = 4042;
inline constexpr std::uint32_t kMaxUsersRange = 4043;
inline constexpr std::uint32_t kSelectItem = 4044;
inline constexpr std::uint32_t kNothingToDelete = 4045;
inline constexpr std::uint32_t kNothingToEdit = 4046;
inline constexpr std::uint32_t kOpenFirmwareFailed = 4047;
inline constexpr std::uint32_t kOverwriteFlash = 4048;
inline constexpr std::uint32_t kPasswordWrong = 4049;
inline constexpr std::uint32_t kPortNumberIsWrong = 4054;
inline constexpr std::uint32_t kReadDesktopFailed = 4056;
inline constexpr std::uint32_t kReadFirmwareFailed = 4057;
inline constexpr std::uint32_t kReceiveError = 4059;
inline constexpr std::uint32_t kCommandTimeout = 4064;
inline constexpr std::uint32_t kSendFailed = 4065;
inline constexpr std::uint32_t kResolutionFailed = 4066;
inline constexpr std::uint32_t kNotChanged = 4067;
inline constexpr std::uint32_t kOwnAccount = 4069;
inline constexpr std::uint32_t kUpgradeFirmwareError = 4077;
inline constexpr std::uint32_t kUserNameWrong = 4080;
inline constexpr std::uint32_t kUserOrPasswordWrong = 4081;
inline constexpr std::uint32_t kNotSupported = 4084;
inline constexpr std::uint32_t kConnectFirst = 4085;
inline constexpr std::uint32_t kSelectAccountBeforeDelete = 4086;
inline constexpr std::uint32_t kSelectAccountBeforeEdit = 4087;
inline constexpr std::uint32_t kSelectMailBeforeDelete = 4088;
inline constexpr std::uint32_t kSelectMailBeforeEdit = 4089;
inline constexpr std::uint32_t kTypeThePortNumber = 4090;
inline constexpr std::uint32_t kNoProtocol = 4093;
inline constexpr std::uint32_t kOpenCtrlFileFailed = 4094;
inline constexpr std::uint32_t kPtzNumberInvalid = 4095;
inline constexpr std::uint32_t kLoadAlarmAudioFailed = 4096;
inline constexpr std::uint32_t kStartPlayerProgramFailed = 4098;
inline constexpr std::uint32_t kPppoeNeedsDdns = 4101;
inline constexpr std::uint32_t kNotStaticMode = 4102;
inline constexpr std::uint32_t kSetPathFirst = 4103;
inline constexpr std::uint32_t kBackupSizeWrong = 4104;
inline constexpr std::uint32_t kBackupPathInvalid = 4105;
inline constexpr std::uint32_t kStartPlayerFailed = 4108;
inline constexpr std::uint32_t kAddPrompt = 8329;
inline constexpr std::uint32_t kEditPrompt = 8330;
inline constexpr std::uint32_t kRetrTexts = 8331;
inline constexpr std::uint32_t kConnectWords = 8532;

}  // namespace ui::texts
