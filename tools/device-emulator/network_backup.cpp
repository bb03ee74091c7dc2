#include "network_backup.h"

#include <algorithm>
#include <charconv>
#include <mutex>

#include "connection.h"
#include "device_core.h"
#include "http_exchange.h"

namespace device_emulator {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kTypeEnd = 1;
constexpr std::uint32_t kTypeData = 3;
constexpr std::uint64_t kMegabyte = 1024 * 1024;
constexpr std::uint64_t kMaxSizeMegabytes = 500;
constexpr std::size_t kUncounted = static_cast<std::size_t>(-1);
// A client that stops reading for this long has gone.
constexpr auto kWriteTimeout = 30s;

std::string Header(std::uint32_t length, std::uint32_t type) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>(length >> (8 * i));
        bytes[4 + i] = static_cast<char>(type >> (8 * i));
    }
    return bytes;
}

std::uint64_t RequestedBytes(const RecordedRequest& request) {
    const std::string size = request.Param("Size").value_or("");
    std::uint64_t megabytes = 0;
    std::from_chars(size.data(), size.data() + size.size(), megabytes);
    return std::min(megabytes, kMaxSizeMegabytes) * kMegabyte;
}

class BackupWriter {
public:
    BackupWriter(Connection& connection, const BackupSettings& settings)
        : connection_(connection), settings_(settings) {}

    // One block, header and payload, broken off as the settings say when it is block `index`
    // (kUncounted: never). False when the reply ends here.
    bool Block(std::size_t index, std::uint32_t type, const std::string& payload) {
        std::string header = Header(static_cast<std::uint32_t>(payload.size()), type);
        std::string body = payload;
        const bool breaks =
            settings_.break_kind != BackupBreak::None && index == settings_.break_block;
        if (breaks) {
            switch (settings_.break_kind) {
                case BackupBreak::CloseBeforeHeader:
                    return false;
                case BackupBreak::CloseInHeader:
                    Write(header.substr(0, header.size() / 2));
                    return false;
                case BackupBreak::CloseInPayload:
                    if (Write(header) && Pause(settings_.piece_pause)) {
                        Write(body.substr(0, body.size() / 2));
                    }
                    return false;
                case BackupBreak::Stall:
                    connection_.Hold();
                    return false;
                case BackupBreak::OversizeLength:
                    header = Header(settings_.oversize_length, type);
                    break;
                case BackupBreak::None:
                    break;
            }
        }
        if (settings_.piece_pause.count() > 0) {
            return Write(header) && Pause(settings_.piece_pause) && (body.empty() || Write(body)) &&
                   Pause(settings_.block_pause);
        }
        return Write(header + body) && Pause(settings_.block_pause);
    }

private:
    bool Write(const std::string& bytes) {
        return connection_.WriteAll(bytes, kWriteTimeout) == Connection::Io::Ok;
    }
    bool Pause(std::chrono::milliseconds pause) { return connection_.Pause(pause); }

    Connection& connection_;
    const BackupSettings& settings_;
};

}  // namespace

std::uint8_t BackupDataByte(std::uint64_t offset) {
    return static_cast<std::uint8_t>(offset % 251 + offset / 251);
}

std::string BackupData(std::uint64_t count) {
    std::string bytes(count, '\0');
    for (std::uint64_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(BackupDataByte(i));
    }
    return bytes;
}

Reply GetDvrHdd(DeviceCore& core, const RecordedRequest&) {
    std::lock_guard lock(core.mutex);
    const BackupSettings& backup = core.settings.backup;
    std::string body(backup.disk_map.begin(), backup.disk_map.end());
    body.push_back(static_cast<char>(backup.disk_flag));
    return Reply{200, body, "application/octet-stream"};
}

void RunNetworkBackup(DeviceCore& core, Connection& connection, const RecordedRequest& request) {
    BackupSettings settings;
    {
        std::lock_guard lock(core.mutex);
        settings = core.settings.backup;
    }
    const std::uint64_t total = settings.data_bytes.value_or(RequestedBytes(request));
    const std::uint32_t block_size = std::max<std::uint32_t>(settings.block_size, 1);
    BackupWriter writer(connection, settings);
    std::size_t index = 0;
    for (std::uint64_t sent = 0; sent < total; sent += block_size, ++index) {
        if (settings.other_type != 0 && !writer.Block(kUncounted, settings.other_type, {})) {
            return;
        }
        const std::uint64_t length = std::min<std::uint64_t>(block_size, total - sent);
        std::string payload(length, '\0');
        for (std::uint64_t i = 0; i < length; ++i) {
            payload[i] = static_cast<char>(BackupDataByte(sent + i));
        }
        if (!writer.Block(index, kTypeData, payload)) {
            return;
        }
    }
    if (settings.send_end) {
        writer.Block(index, kTypeEnd, {});
    }
}

}  // namespace device_emulator
