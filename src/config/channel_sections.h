#pragma once

// The per-entry fields of the sections behind the device, detection and camera pages: the sixteen
// RS-485 entries of RS485, the picture and motion-detection fields of each channel in DVRLIVE,
// the record flag in DVRREC and the per-channel alarm byte of ALARM. Every per-entry field is an
// array of sixteen, one array after the other, so an entry is gathered from several places.
//
// Also here: what a row editor's OK changes in a page's copy of an entry. A drop-down list with
// nothing chosen (-1) keeps the value it was opened with: the device may hold a value the list
// has no item for, and that value must not turn into 255 on the way back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "config/motion_area.h"

namespace config {

inline constexpr std::size_t kListRows = 16;

// --- RS485 (124 bytes) ---

inline constexpr std::size_t kRs485IdOffset = 12;
inline constexpr std::size_t kRs485KindOffset = 28;
inline constexpr std::size_t kRs485ProtocolOffset = 44;
inline constexpr std::size_t kRs485RateOffset = 60;  // u32 per entry

inline constexpr std::array<const char*, 2> kDeviceKindTexts = {"CAMERA", "PTZ"};
inline constexpr std::array<const char*, 2> kDeviceProtocolTexts = {"NORMAL", "P-D"};
inline constexpr std::array<std::uint32_t, 7> kBaudRates = {2400,  4800,  9600,  19200,
                                                            38400, 57600, 115200};

struct Rs485Entry {
    std::uint8_t kind = 0;
    std::uint8_t id = 0;
    std::uint8_t protocol = 0;
    std::uint32_t rate = 0;
};
using Rs485Entries = std::array<Rs485Entry, kListRows>;

Rs485Entries ReadRs485Entries(std::span<const std::uint8_t, 124> rs485);
// Writes all sixteen entries; the header bytes 0..11 stay as they are.
void WriteRs485Entries(const Rs485Entries& entries, std::span<std::uint8_t, 124> rs485);

// The index of a rate in kBaudRates, -1 for a rate the list has no item for.
int BaudRateIndex(std::uint32_t rate);

// What the RS-485 row editor returns.
struct DeviceEditValues {
    int kindIndex = -1;
    int protocolIndex = -1;
    int rateIndex = -1;
    int id = 0;
};
// Takes the editor's values into the entry; true when any of them differed.
bool MergeDeviceEdit(Rs485Entry& entry, const DeviceEditValues& values);

// --- DVRLIVE (772 bytes), DVRREC (128 bytes) and ALARM (24 bytes) ---

inline constexpr std::size_t kBrightnessOffset = 4;
inline constexpr std::size_t kContrastOffset = 20;
inline constexpr std::size_t kHueOffset = 36;
inline constexpr std::size_t kSaturationOffset = 52;
inline constexpr std::size_t kCovOffset = 84;
inline constexpr std::size_t kTitleOffset = 116;
inline constexpr std::size_t kTitleWidth = 6;
inline constexpr std::size_t kDetectOffset = 308;
inline constexpr std::size_t kLsOffset = 324;
inline constexpr std::size_t kSsOffset = 340;
inline constexpr std::size_t kTsOffset = 356;
inline constexpr std::size_t kReOffset = 372;
inline constexpr std::size_t kMaskOffset = 388;
inline constexpr std::size_t kRecordOffset = 20;       // DVRREC
inline constexpr std::size_t kAlarmSettingOffset = 8;  // ALARM

inline constexpr std::array<const char*, 2> kDetectTexts = {"OFF", "ON"};
inline constexpr std::array<const char*, 3> kAlarmSettingTexts = {"LOW", "HIGH", "OFF"};
inline constexpr std::array<const char*, 2> kYesNoTexts = {"NO", "YES"};

// The text of a coded byte; a value without a text of its own reads as the first one.
template <std::size_t N>
const char* ChoiceText(const std::array<const char*, N>& texts, std::uint8_t value) {
    return value < N ? texts[value] : texts[0];
}

struct DetectionChannel {
    std::uint8_t detect = 0;
    std::uint8_t ls = 0;
    std::uint8_t ss = 0;
    std::uint8_t ts = 0;
    std::uint8_t re = 0;
    std::uint8_t alarm = 0;  // 0 LOW, 1 HIGH, 2 OFF
    MotionAreaMask mask{};
};

// Channel `i` as the detection page opens it: an alarm byte above 2 becomes 0 (LOW).
DetectionChannel ReadDetectionChannel(std::span<const std::uint8_t, 772> dvrLive,
                                      std::span<const std::uint8_t, 24> alarm, std::size_t i);
// DETECT, LS, SS, TS, RE and the mask of channel `i`.
void WriteDetectionChannel(const DetectionChannel& channel, std::span<std::uint8_t, 772> dvrLive,
                           std::size_t i);

struct DetectionEditValues {
    int alarmIndex = -1;
    int detectIndex = -1;
    int ls = 0;
    int ss = 0;
    int ts = 0;
    int re = 0;
    MotionAreaMask mask{};
};
struct DetectionChanges {
    bool dvrLive = false;
    bool alarm = false;
};
DetectionChanges MergeDetectionEdit(DetectionChannel& channel, const DetectionEditValues& values);

struct CameraChannel {
    std::string title;  // at most six characters
    std::uint8_t brightness = 0;
    std::uint8_t contrast = 0;
    std::uint8_t saturation = 0;
    std::uint8_t hue = 0;
    std::uint8_t cov = 0;
    std::uint8_t record = 0;
};

CameraChannel ReadCameraChannel(std::span<const std::uint8_t, 772> dvrLive,
                                std::span<const std::uint8_t, 128> dvrRec, std::size_t i);
// The four picture values and COV of channel `i` into DVRLIVE, its record flag into DVRREC. The
// title is never written back.
void WriteCameraChannel(const CameraChannel& channel, std::span<std::uint8_t, 772> dvrLive,
                        std::span<std::uint8_t, 128> dvrRec, std::size_t i);

struct CameraEditValues {
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    int hue = 0;
};
bool MergeCameraEdit(CameraChannel& channel, const CameraEditValues& values);

}  // namespace config
