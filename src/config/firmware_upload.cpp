#include "config/firmware_upload.h"

#include <algorithm>

#include "platform/thread.h"
#include "protocol/blocking_socket.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"

namespace {

void AddCookie(CCgiRequest& request) {
    if (!g_szSessionCookie.Empty()) {
        request.AddParam("Cookie", g_szSessionCookie.Get());
    }
}

}  // namespace

const FirmwareType* FindFirmwareType(int index) {
    if (index < 0 || index >= static_cast<int>(kFirmwareTypes.size())) {
        return nullptr;
    }
    return &kFirmwareTypes[static_cast<std::size_t>(index)];
}

std::uint32_t FirmwareChunkCount(std::uint32_t fileSize) {
    return fileSize / kFirmwareChunkSize + (fileSize % kFirmwareChunkSize != 0 ? 1 : 0);
}

std::string FirmwareChunkUrl(std::uint32_t index, std::uint32_t count, std::uint32_t fileSize,
                             const std::string& typeText) {
    CCgiRequest request(CGI_UPGRADEFW);
    if (index == 0) {
        request.AddParam("Upgrade", "Start");
        request.AddParam("FileSize", std::to_string(fileSize));
    } else if (index + 1 == count) {
        request.AddParam("Upgrade", "Finished");
        request.AddParam("Type", typeText);
    }
    AddCookie(request);
    return request.Url();
}

std::uint32_t UploadPercent(std::uint64_t sent, std::uint64_t size) {
    return size == 0 ? 0 : static_cast<std::uint32_t>(sent * 100 / size);
}

UploadResult SendFirmwareChunks(std::span<const std::uint8_t> image, const std::string& typeText,
                                const std::function<void(std::uint32_t percent)>& progress) {
    const auto size = static_cast<std::uint32_t>(image.size());
    const std::uint32_t count = FirmwareChunkCount(size);
    std::uint32_t remaining = size;
    std::uint32_t offset = 0;
    std::uint32_t index = 0;
    while (remaining > 0) {
        const std::uint32_t length = std::min(remaining, kFirmwareChunkSize);
        VortaStatus status{};
        if (VortaSendCommand(CGI_UPGRADEFW, FirmwareChunkUrl(index, count, size, typeText),
                             image.data() + offset, length, &status, nullptr, 0, nullptr,
                             kCommandSeconds, kCommandSeconds, 0) != 0) {
            remaining -= length;
            offset += length;
            ++index;
        } else if (platform::StopRequested()) {
            return UploadResult::Stopped;
        } else if (index + 1 < count || status.httpStatus != 0) {
            return UploadResult::Failed;
        } else {
            remaining = 0;
        }
        progress(UploadPercent(size - remaining, size));
    }
    return UploadResult::Sent;
}

bool OpenUpgradeVideoConnection(CBlockingSocket& socket) {
    const DeviceAddress device = GetDeviceAddress();
    CCgiRequest target(CGI_GETVIDEO);
    // The cookie goes out even when it is empty.
    target.AddParam("Cookie", g_szSessionCookie.Get());
    target.AddParam("Fake", "1");
    const std::string request = DeviceRequestHead(target.Url(), g_strHostName.Get());
    if (request.empty()) {
        return false;
    }
    try {
        socket.Create(CBlockingSocket::kStream);
        const CSocketAddress address =
            IsDottedAddress(device.server) == 2
                ? CSocketAddress(device.server, device.webPort)
                : CBlockingSocket::GetHostByName(device.server, device.webPort);
        socket.Connect(address, kCommandSeconds);
        socket.SendAll(request.data(), static_cast<int>(request.size()), kCommandSeconds);
    } catch (const CBlockingSocketException&) {
        socket.Cleanup();
        return false;
    }
    return true;
}

void SendUpgradeCancel() {
    CCgiRequest request(CGI_UPGRADEFW);
    request.AddParam("Upgrade", "Cancel");
    AddCookie(request);
    VortaStatus status{};
    VortaSendCommand(CGI_UPGRADEFW, request.Url(), nullptr, 0, &status, nullptr, 0, nullptr,
                     kCommandSeconds, kCommandSeconds, 0);
}
