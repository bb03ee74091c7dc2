#include "config/channel_sections.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

namespace config {

namespace {

// A value the editor hands back for a byte field; true when it differed. A negative value is a
// drop-down list with nothing chosen and keeps the field.
bool Store(std::uint8_t& field, int value) {
    if (value < 0 || value == field) {
        return false;
    }
    field = static_cast<std::uint8_t>(value);
    return true;
}

}  // namespace

Rs485Entries ReadRs485Entries(std::span<const std::uint8_t, 124> rs485) {
    Rs485Entries entries;
    for (std::size_t i = 0; i < kListRows; ++i) {
        entries[i].id = rs485[kRs485IdOffset + i];
        entries[i].kind = rs485[kRs485KindOffset + i];
        entries[i].protocol = rs485[kRs485ProtocolOffset + i];
        entries[i].rate = platform::GetU32(&rs485[kRs485RateOffset + 4 * i]);
    }
    return entries;
}

void WriteRs485Entries(const Rs485Entries& entries, std::span<std::uint8_t, 124> rs485) {
    for (std::size_t i = 0; i < kListRows; ++i) {
        rs485[kRs485KindOffset + i] = entries[i].kind;
        rs485[kRs485IdOffset + i] = entries[i].id;
        rs485[kRs485ProtocolOffset + i] = entries[i].protocol;
        platform::PutU32(&rs485[kRs485RateOffset + 4 * i], entries[i].rate);
    }
}

int BaudRateIndex(std::uint32_t rate) {
    const auto* found = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
    return found == kBaudRates.end() ? -1 : static_cast<int>(found - kBaudRates.begin());
}

bool MergeDeviceEdit(Rs485Entry& entry, const DeviceEditValues& values) {
    bool changed = Store(entry.id, values.id);
    changed |= Store(entry.kind, values.kindIndex);
    changed |= Store(entry.protocol, values.protocolIndex);
    if (values.rateIndex >= 0 && values.rateIndex < static_cast<int>(kBaudRates.size()) &&
        kBaudRates[static_cast<std::size_t>(values.rateIndex)] != entry.rate) {
        entry.rate = kBaudRates[static_cast<std::size_t>(values.rateIndex)];
        changed = true;
    }
    return changed;
}

DetectionChannel ReadDetectionChannel(std::span<const std::uint8_t, 772> dvrLive,
                                      std::span<const std::uint8_t, 24> alarm, std::size_t i) {
    DetectionChannel channel;
    channel.detect = dvrLive[kDetectOffset + i];
    channel.ls = dvrLive[kLsOffset + i];
    channel.ss = dvrLive[kSsOffset + i];
    channel.ts = dvrLive[kTsOffset + i];
    channel.re = dvrLive[kReOffset + i];
    std::copy_n(&dvrLive[kMaskOffset + kMaskBytes * i], kMaskBytes, channel.mask.begin());
    const std::uint8_t setting = alarm[kAlarmSettingOffset + i];
    channel.alarm = setting < kAlarmSettingTexts.size() ? setting : 0;
    return channel;
}

void WriteDetectionChannel(const DetectionChannel& channel, std::span<std::uint8_t, 772> dvrLive,
                           std::size_t i) {
    dvrLive[kDetectOffset + i] = channel.detect;
    dvrLive[kLsOffset + i] = channel.ls;
    dvrLive[kSsOffset + i] = channel.ss;
    dvrLive[kTsOffset + i] = channel.ts;
    dvrLive[kReOffset + i] = channel.re;
    std::copy(channel.mask.begin(), channel.mask.end(), &dvrLive[kMaskOffset + kMaskBytes * i]);
}

DetectionChanges MergeDetectionEdit(DetectionChannel& channel, const DetectionEditValues& values) {
    DetectionChanges changes;
    changes.alarm = Store(channel.alarm, values.alarmIndex);
    changes.dvrLive = Store(channel.detect, values.detectIndex);
    for (const auto& [field, value] : {std::pair{&channel.ls, values.ls},
                                       {&channel.ss, values.ss},
                                       {&channel.ts, values.ts},
                                       {&channel.re, values.re}}) {
        changes.dvrLive |= Store(*field, value);
    }
    if (channel.mask != values.mask) {
        channel.mask = values.mask;
        changes.dvrLive = true;
    }
    return changes;
}

CameraChannel ReadCameraChannel(std::span<const std::uint8_t, 772> dvrLive,
                                std::span<const std::uint8_t, 128> dvrRec, std::size_t i) {
    CameraChannel channel;
    // A title of all six characters has no terminator: it ends at the field's end, not in the
    // next channel's title.
    const auto* title = reinterpret_cast<const char*>(&dvrLive[kTitleOffset + kTitleWidth * i]);
    channel.title.assign(title, strnlen(title, kTitleWidth));
    channel.brightness = dvrLive[kBrightnessOffset + i];
    channel.contrast = dvrLive[kContrastOffset + i];
    channel.hue = dvrLive[kHueOffset + i];
    channel.saturation = dvrLive[kSaturationOffset + i];
    channel.cov = dvrLive[kCovOffset + i];
    channel.record = dvrRec[kRecordOffset + i];
    return channel;
}

void WriteCameraChannel(const CameraChannel& channel, std::span<std::uint8_t, 772> dvrLive,
                        std::span<std::uint8_t, 128> dvrRec, std::size_t i) {
    dvrLive[kBrightnessOffset + i] = channel.brightness;
    dvrLive[kContrastOffset + i] = channel.contrast;
    dvrLive[kSaturationOffset + i] = channel.saturation;
    dvrLive[kHueOffset + i] = channel.hue;
    dvrLive[kCovOffset + i] = channel.cov;
    dvrRec[kRecordOffset + i] = channel.record;
}

bool MergeCameraEdit(CameraChannel& channel, const CameraEditValues& values) {
    bool changed = false;
    for (const auto& [field, value] : {std::pair{&channel.brightness, values.brightness},
                                       {&channel.contrast, values.contrast},
                                       {&channel.saturation, values.saturation},
                                       {&channel.hue, values.hue}}) {
        changed |= Store(*field, value);
    }
    return changed;
}

}  // namespace config
