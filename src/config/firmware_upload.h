#pragma once

// Sending a firmware image to the device: one /UpgradeFW.cgi request per 900-byte piece, the
// first announcing the whole size, the last naming the kind of image. No widgets here: the
// upgrade dialog runs it on its upload thread and reports the progress itself.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class CBlockingSocket;

inline constexpr std::uint32_t kFirmwareChunkSize = 900;
// Pieces are counted in 16 bits on both sides; a larger image would wrap the count and send a
// second "Start" in the middle of the upload.
inline constexpr std::uint32_t kMaxFirmwareSize = 0xFFFF * kFirmwareChunkSize;

// The kinds of firmware image, in the order of the type list.
struct FirmwareType {
    const char* comboText;
    const char* fileName;  // the name proposed in the upgrade folder
    const char* typeText;  // "Type" of the last piece
    const char* filter;    // the file chooser's filter, "description|pattern||"
};
inline constexpr std::array<FirmwareType, 4> kFirmwareTypes = {{
    {"Kernel", "KERNEL.BIN", "KERNEL", "Kernel Firmware files (KERNEL.BIN)|KERNEL.BIN||"},
    {"Bootloader", "BOOT.BIN", "BOOT", "Boot Firmware files (BOOT.BIN)|BOOT.BIN||"},
    {"Codec", "ZQ410.BIN", "CODEC", "Codec Firmware files (ZQ410.BIN)|ZQ410.BIN||"},
    {"FPGA", "ZQ520.BIN", "FPGA", "FPGA Firmware files (ZQ520.BIN)|ZQ520.BIN||"},
}};
// The entry of a type index; null outside the table.
const FirmwareType* FindFirmwareType(int index);

std::uint32_t FirmwareChunkCount(std::uint32_t fileSize);
// The request of piece `index` of `count`, with the session cookie when there is one.
std::string FirmwareChunkUrl(std::uint32_t index, std::uint32_t count, std::uint32_t fileSize,
                             const std::string& typeText);
// Whole percent of `sent` of `size` bytes, rounded down.
std::uint32_t UploadPercent(std::uint64_t sent, std::uint64_t size);

enum class UploadResult { Sent, Failed, Stopped };

// Sends every piece in order; `progress` hears the percentage after each. A failed piece before
// the last, or any refusal by the device, fails the upload; a last piece that gets no answer at
// all counts as sent, since the device may already be writing its flash. Stopped when the calling
// thread was asked to stop.
UploadResult SendFirmwareChunks(std::span<const std::uint8_t> image, const std::string& typeText,
                                const std::function<void(std::uint32_t percent)>& progress);

// The device takes an upgrade while the session holds its video connection open, so the upload
// opens one for its whole run; nothing is read from it. False when it cannot be made.
bool OpenUpgradeVideoConnection(CBlockingSocket& socket);

// Tells the device to drop what it has of an upload; the answer is not used.
void SendUpgradeCancel();
