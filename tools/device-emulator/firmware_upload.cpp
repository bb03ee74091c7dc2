#include "firmware_upload.h"

#include <array>
#include <charconv>
#include <thread>

namespace device_emulator {

namespace {

constexpr std::array<std::string_view, 4> kImageTypes = {"KERNEL", "BOOT", "CODEC", "FPGA"};

Reply Status(int status) {
    return Reply{status, "", "text/plain"};
}

std::optional<long long> SizeParam(const RecordedRequest& request) {
    const std::optional<std::string> text = request.Param("FileSize");
    long long value = 0;
    if (!text || text->empty() ||
        std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc() ||
        value < 1) {
        return std::nullopt;
    }
    return value;
}

// Takes one piece into the image under the device's lock. Start opens a new image; a plain piece
// and Finished continue the open one.
Reply TakePiece(DeviceCore& core, const RecordedRequest& request, std::string_view upgrade) {
    std::lock_guard lock(core.mutex);
    FirmwareUploadState& state = core.settings.state.firmware;
    const FirmwareUploadSettings& knobs = core.settings.firmware;
    if (upgrade == "Cancel") {
        const int cancels = state.cancels + 1;
        state = FirmwareUploadState{};
        state.cancels = cancels;
        return Status(200);
    }
    if (upgrade == "Start") {
        const std::optional<long long> size = SizeParam(request);
        if (!size) {
            return Status(400);
        }
        const int cancels = state.cancels;
        state = FirmwareUploadState{};
        state.declared_size = *size;
        state.cancels = cancels;
    } else if (upgrade.empty() || upgrade == "Finished") {
        if (state.declared_size < 0 || state.complete) {
            return Status(400);  // no image is open
        }
    } else {
        return Status(400);
    }
    if (knobs.fail_piece && *knobs.fail_piece == state.pieces) {
        Reply failure = Status(knobs.fail_status);
        failure.close_without_reply = knobs.fail_status == 0;
        return failure;
    }
    if (static_cast<long long>(state.image.size() + request.body.size()) > state.declared_size) {
        return Status(400);
    }
    if (upgrade == "Finished") {
        const std::optional<std::string> type = request.Param("Type");
        bool known = false;
        for (std::string_view t : kImageTypes) {
            known = known || (type && *type == t);
        }
        if (!known || static_cast<long long>(state.image.size() + request.body.size()) !=
                          state.declared_size) {
            return Status(400);
        }
        state.type = *type;
    }
    state.image += request.body;
    ++state.pieces;
    state.complete = static_cast<long long>(state.image.size()) == state.declared_size &&
                     (upgrade == "Finished" || state.pieces == 1);
    return Status(200);
}

}  // namespace

Reply UpgradeFirmware(DeviceCore& core, const RecordedRequest& request) {
    std::chrono::milliseconds delay{};
    {
        std::lock_guard lock(core.mutex);
        delay = core.settings.firmware.piece_delay;
    }
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
    }
    return TakePiece(core, request, request.Param("Upgrade").value_or(""));
}

}  // namespace device_emulator
