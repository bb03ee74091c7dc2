#include "video_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "test_picture.h"

namespace device_emulator {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kFieldCount = 11;  // presence bits 0 to 10 carry fields
constexpr std::size_t kHuTextSize = 16;
// By VIDEOMODE (NTSC, PAL) and resolution (large, middle, small).
constexpr PictureSize kPictureSizes[2][3] = {{{640, 228}, {320, 228}, {176, 112}},
                                             {{640, 276}, {320, 276}, {176, 144}}};
// By quality index (high, middle, low).
constexpr int kJpegQualities[3] = {85, 65, 45};
constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;
// A claimed payload length up to this is padded or cut to keep the stream in step; a larger
// one goes out with the plain frame behind it.
constexpr std::uint32_t kMaxPaddedPayload = 4 * 1024 * 1024;
// A viewer that stops reading for this long has gone.
constexpr auto kWriteTimeout = 30s;
// The APP0 segment of a JFIF file: version 1.01, no density unit, 1:1, no thumbnail.
constexpr char kJfifSegment[] = "\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00";

// What one frame is made from, copied under the lock so the frame is built without it.
struct FrameView {
    StreamSettings stream;
    PictureSize picture;
    int quality = 0;
    std::uint8_t retr = 0;
    std::uint8_t users = 0;
};

FrameView Look(DeviceCore& core) {
    std::lock_guard lock(core.mutex);
    const Settings& s = core.settings;
    FrameView view{s.stream, {}, 0, 0, 0};
    const int mode = std::clamp(s.identity.video_mode, 0, 1);
    const int resolution = std::clamp(s.state.resolution, 0, 2);
    view.picture = s.stream.picture.value_or(kPictureSizes[mode][resolution]);
    view.picture.width = std::clamp(view.picture.width, kMinSide, kMaxSide);
    view.picture.height = std::clamp(view.picture.height, kMinSide, kMaxSide);
    view.quality =
        s.stream.jpeg_quality.value_or(kJpegQualities[std::clamp(s.state.quality, 0, 2)]);
    view.retr = s.stream.retr_byte.value_or(static_cast<std::uint8_t>(s.state.retr));
    view.users = s.stream.online_users.value_or(
        static_cast<std::uint8_t>(std::min<std::size_t>(core.sessions.size(), 255)));
    return view;
}

// True for frames n-1, 2n-1 ... of a knob that hits every n-th frame.
bool Hits(int every, std::uint64_t frame) {
    return every > 0 && (frame + 1) % static_cast<std::uint64_t>(every) == 0;
}

void PutLittleEndian(std::string& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

std::string PacketHeader(std::uint32_t presence, const FrameView& view,
                         std::uint32_t payload_length, std::uint32_t time_stamp) {
    const StreamSettings& s = view.stream;
    std::string out;
    PutLittleEndian(out, presence, 4);
    for (int bit = 0; bit < kFieldCount; ++bit) {
        if ((presence & (1u << bit)) == 0) {
            continue;
        }
        switch (bit) {
            case 0:
                PutLittleEndian(out, payload_length, 4);
                break;
            case 1: {
                std::string text = s.hu_text.substr(0, kHuTextSize);
                text.resize(kHuTextSize, '\0');
                out += text;
                break;
            }
            case 2:
                out += {static_cast<char>(view.retr), '\0'};
                break;
            case 3:
                out += static_cast<char>(s.byte3);
                break;
            case 4:
                out += static_cast<char>(s.byte4);
                break;
            case 5:
                PutLittleEndian(out, time_stamp, 4);
                break;
            case 6:
                out += static_cast<char>(view.users);
                break;
            case 7:
            case 8:
            case 9:
                PutLittleEndian(out, s.alarm_words[bit - 7], 2);
                break;
            default:
                break;  // bit 10, the backup notice, has no data
        }
    }
    return out;
}

void Corrupt(std::string& frame, const StreamSettings& s, std::uint64_t seed) {
    switch (*s.corruption) {
        case FrameCorruption::BadMarker:
            frame[3] = static_cast<char>(0xC4);
            break;
        case FrameCorruption::Garbage: {
            std::uint32_t noise = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
            for (std::size_t i = frame.size() / 3; i < frame.size() * 2 / 3; ++i) {
                noise = noise * 1664525u + 1013904223u;
                frame[i] = static_cast<char>(noise >> 24);
            }
            break;
        }
        case FrameCorruption::Truncated:
            frame.resize(s.damage_length > 0 ? std::min(s.damage_length, frame.size())
                                             : frame.size() / 2);
            break;
        case FrameCorruption::Padded:
            frame.resize(
                std::max(frame.size(), s.damage_length > 0 ? s.damage_length : 2 * frame.size()),
                '\0');
            break;
    }
}

// Writes the gathered packets, split at the knob's offsets, and empties them.
bool Flush(Connection& connection, std::string& pending, const StreamSettings& s) {
    const bool written =
        connection.WritePieces(pending, s.write_splits, s.split_pause, kWriteTimeout);
    pending.clear();
    return written;
}

// The encoded pictures of one size and quality, for distinct_pictures.
struct PictureCache {
    PictureSize size;
    int quality = 0;
    int grain = 0;
    std::vector<std::string> frames;

    const std::string& Get(TestPicture& picture, std::uint64_t n, const FrameView& view) {
        const auto count = static_cast<std::size_t>(view.stream.distinct_pictures);
        if (size.width != view.picture.width || size.height != view.picture.height ||
            quality != view.quality || grain != view.stream.grain || frames.size() != count) {
            size = view.picture;
            quality = view.quality;
            grain = view.stream.grain;
            frames.assign(count, std::string());
        }
        std::string& frame = frames[n % count];
        if (frame.empty()) {
            frame = picture.Encode(n % count, view.picture, view.quality, view.stream.grain);
        }
        return frame;
    }
};

std::string Refusal(int status) {
    struct Reason {
        int status;
        const char* text;
    };
    constexpr Reason kReasons[] = {{202, "Accepted"}, {401, "Unauthorized"}, {404, "Not Found"}};
    const char* reason = "Refused";
    for (const Reason& r : kReasons) {
        if (r.status == status) {
            reason = r.text;
        }
    }
    const std::string body = "<html><body>" + std::to_string(status) + " " + reason +
                             ": the stream needs a valid session</body></html>";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

void RunVideoStream(DeviceCore& core, Connection& connection) {
    if (const int status = Look(core).stream.refuse_status; status != 0) {
        connection.WritePieces(Refusal(status), {}, {}, kWriteTimeout);
        return;
    }
    TestPicture picture;
    PictureCache cache;
    const Clock::time_point start = Clock::now();
    std::string pending;
    int pending_packets = 0;
    for (std::uint64_t n = 0;; ++n) {
        const FrameView view = Look(core);
        const StreamSettings& s = view.stream;
        const bool at_limit = s.frame_limit != 0 && n >= s.frame_limit;
        const bool mid_frame =
            s.end == StreamEnd::CloseMidFrame || s.end == StreamEnd::StallMidFrame;
        if (at_limit && s.frame_limit_once) {
            std::lock_guard lock(core.mutex);
            core.settings.stream.frame_limit = 0;
        }
        if (at_limit && !mid_frame) {
            if (Flush(connection, pending, s) && s.end == StreamEnd::Stall) {
                connection.Hold();
            }
            return;
        }
        if (s.frame_rate > 0) {
            const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(n / s.frame_rate));
            if (!connection.Pause(
                    std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()))) {
                return;
            }
        }

        const auto elapsed_ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        const std::uint32_t time_stamp =
            s.time_stamp.value_or(static_cast<std::uint32_t>(elapsed_ms / 5));
        const bool alarm_on =
            s.alarm_on_frames > 0 &&
            n % static_cast<std::uint64_t>(s.alarm_on_frames + std::max(0, s.alarm_off_frames)) <
                static_cast<std::uint64_t>(s.alarm_on_frames);
        const std::uint32_t presence =
            (s.presence | (alarm_on ? s.alarm_bits : 0)) & ~kPayloadLengthBit;

        if (Hits(s.header_only_every, n)) {
            pending += PacketHeader(presence, view, 0, time_stamp);
            ++pending_packets;
        }
        std::string frame = s.distinct_pictures > 0
                                ? cache.Get(picture, n, view)
                                : picture.Encode(n, view.picture, view.quality, s.grain);
        if (s.jfif) {
            frame.insert(2, kJfifSegment, sizeof kJfifSegment - 1);
        }
        if (s.corruption && Hits(s.corrupt_every, n)) {
            Corrupt(frame, s, n);
        }
        std::uint32_t claimed = s.payload_length.value_or(static_cast<std::uint32_t>(frame.size()));
        if (claimed <= kMaxPaddedPayload) {
            frame.resize(claimed, '\0');
        }
        if (s.false_length && n >= s.false_length_frame) {
            claimed = *s.false_length;
            if (!s.false_length_every_stream) {
                std::lock_guard lock(core.mutex);
                core.settings.stream.false_length.reset();
            }
        }
        pending += PacketHeader(presence | kPayloadLengthBit, view, claimed, time_stamp);
        pending += frame;
        if (at_limit) {
            pending.resize(pending.size() - frame.size() / 2);
            if (Flush(connection, pending, s) && s.end == StreamEnd::StallMidFrame) {
                connection.Hold();
            }
            return;
        }
        if (++pending_packets >= std::max(1, s.packets_per_write)) {
            if (!Flush(connection, pending, s)) {
                return;
            }
            pending_packets = 0;
        }
    }
}

}  // namespace device_emulator
