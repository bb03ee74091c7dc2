// A video server on 127.0.0.1 for tests and demos: the CGI commands, the configuration sections
// and the live stream of generated JPEG frames, with knobs for the faults a real device shows.
//
// Every knob lives in one Settings value. Change it at run time with Update(); each request and
// each stream frame works on a fresh copy, so a change takes effect at the next request or frame.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_log.h"
#include "network_backup.h"

namespace device_emulator {

// A user the device accepts at /Login.cgi. The level is reported as USERLEVEL.
struct Account {
    std::string user;
    std::string password;
    int level = 30;
};

// A unit on the device's RS-485 bus, reported by /Getdeviceinfo.cgi and /PTZReset.cgi.
struct Peripheral {
    int id = 1;
    int type = 1;
    int protocol = 0;
};

// What the device says about itself in the login and device-info replies.
struct Identity {
    std::string product = "Q41E";
    std::string firmware_version = "3.1.4";
    std::string mac = "0012AB34CD56";
    std::string host_name = "emulator";
    std::string boot_version = "1.0.2";
    std::string codec_version = "2.0.1";
    std::string fpga_version = "1.1.0";
    int device_type = 19;                 // LINKDEVICE
    bool report_retr = true;              // whether a RETR item is sent at all
    std::string lifetime = "-1";          // LIFETIME, minutes; sent as written
    int video_mode = 0;                   // VIDEOMODE: 0 NTSC, 1 PAL
    std::optional<int> user_level;        // USERLEVEL; unset: the logged-in account's level
    std::vector<Peripheral> peripherals;  // SLAVENUM with SID / STYPE / SPROTOCOL
    std::string session_id;               // empty: a fresh id for every login
    int max_users = 0;                    // 0: unlimited; a further user gets status 202
    bool check_cookie = true;             // commands without a known session get 401
};

// What /UpgradeFW.cgi has received: the pieces of the image since the last Start.
struct FirmwareUploadState {
    std::string image;             // the bytes of the pieces taken so far, in order
    long long declared_size = -1;  // FileSize of the Start piece; -1 before any Start
    int pieces = 0;                // pieces taken since that Start
    std::string type;              // Type of the Finished piece
    bool complete = false;         // a Finished piece (or a single Start piece) completed the image
    int cancels = 0;               // Upgrade=Cancel requests
};

// What the commands have changed on the device.
struct DeviceState {
    int resolution =
        0;            // 0 large, 1 middle, 2 small: RES of /Setresolution.cgi, /Getdeviceinfo.cgi
    int quality = 0;  // 0 high, 1 middle, 2 low: QUA of /Setquality.cgi, /Getdeviceinfo.cgi
    int channel = 1;  // CH of /Setchannel.cgi
    int retr = 0;     // SET of /SetRetr.cgi; reported as RETR and in the stream
    int reboots = 0;  // /RebootServer.cgi requests answered
    FirmwareUploadState firmware;
};

enum class ReplyAction {
    Answer,             // reply (shaped by the other fault fields)
    CloseWithoutReply,  // read the request, then close
    Stall,              // read the request, then keep the connection open and silent
};

enum class ContentLengthStyle {
    Standard,     // "Content-Length: 24"
    LowerCase,    // "content-length: 24"
    NoBlank,      // "Content-Length:24"
    ExtraBlanks,  // "Content-Length:   24"
    Omitted,      // no Content-Length line: the body ends where the device closes
};

// How the device misbehaves on one path. The default value is a well-behaved device.
struct ReplyFaults {
    ReplyAction action = ReplyAction::Answer;
    int status = 0;                     // replaces the command's status (202, 404, 500 ...)
    std::optional<std::string> body{};  // replaces the command's body
    std::size_t pad_body_to = 0;        // appends 'x' until the body is this long
    ContentLengthStyle content_length_style = ContentLengthStyle::Standard;
    long long content_length_delta = 0;  // added to the true body length in the header
    // Offsets, counted from the first body byte, where one write ends and the next begins; a
    // negative one falls in the header, -2 between the two line ends of the blank line.
    std::vector<long long> body_splits{};
    std::chrono::milliseconds split_pause{100};  // pause between those writes
    std::size_t truncate_to = 0;                 // send only this many bytes of the reply (0: all)
    std::chrono::milliseconds reply_delay{0};    // a slow device: the reply starts this late
    int times = 0;  // 0: every request until cleared; n: only the next n requests
    // n > 0: a device that trickles: the whole reply goes out n bytes per write, split_pause
    // apart (with body_splits too).
    std::size_t trickle_bytes = 0;
    // n > 0: "Transfer-Encoding: chunked" in place of Content-Length, the body in chunks of n
    // bytes and the last chunk "0". Each size line claims chunk_size_delta more than its chunk
    // holds and carries chunk_extension (";name=value") behind the size.
    std::size_t chunk_size = 0;
    long long chunk_size_delta = 0;
    std::string chunk_extension{};
    // After the reply (or the part truncate_to leaves), the connection stays open and silent
    // until the peer closes: a device that never closes.
    bool hold_open = false;
    // Every line of the reply's header, and every chunk line, ends in a bare LF, not CR LF.
    bool bare_lf = false;
};

// Presence bits of the stream packet header.
inline constexpr std::uint32_t kPayloadLengthBit = 1u << 0;
inline constexpr std::uint32_t kHuTextBit = 1u << 1;
inline constexpr std::uint32_t kRetrBit = 1u << 2;
inline constexpr std::uint32_t kByte3Bit = 1u << 3;
inline constexpr std::uint32_t kByte4Bit = 1u << 4;
inline constexpr std::uint32_t kTimeStampBit = 1u << 5;
inline constexpr std::uint32_t kOnlineUsersBit = 1u << 6;
inline constexpr std::uint32_t kAlarm1Bit = 1u << 7;
inline constexpr std::uint32_t kAlarm2Bit = 1u << 8;
inline constexpr std::uint32_t kAlarm3Bit = 1u << 9;
inline constexpr std::uint32_t kBackupNoticeBit = 1u << 10;

struct PictureSize {
    int width = 0;
    int height = 0;
};

enum class FrameCorruption {
    BadMarker,  // the frame does not begin with FF D8 FF DB
    Garbage,    // the entropy-coded data is overwritten with noise
    Truncated,  // the frame is cut off after damage_length bytes (0: after half of it)
    Padded,     // zeros follow the picture up to damage_length bytes (0: twice its length)
};

enum class StreamEnd {
    Close,          // close after the last frame
    CloseMidFrame,  // send half of the next packet, then close
    StallMidFrame,  // send half of the next packet, then keep the connection open and silent
    Stall,          // keep the connection open and send nothing more
};

struct StreamSettings {
    // Not 0: the stream request is refused with this HTTP status (a line, headers and a short
    // text body), and the connection closes.
    int refuse_status = 0;
    std::optional<PictureSize> picture;  // unset: from VIDEOMODE and the resolution
    double frame_rate = 25.0;            // frames per second; 0 sends as fast as the peer reads
    std::optional<int> jpeg_quality;     // 1..100; unset: from the device's quality setting
    int grain = 0;  // 0..255: noise over the picture, as in a detailed scene (larger frames)
    // n > 0: frames repeat the pictures of frames 0 to n-1, each encoded once, so that a
    // benchmark measures the viewer and not the encoder.
    int distinct_pictures = 0;

    // Header fields. Frame packets always carry the payload length (bit 0); these bits add the
    // other fields. Bits 11 to 31 carry no data and may be set to see that a reader ignores them.
    std::uint32_t presence = kTimeStampBit;
    std::string hu_text;                       // bit 1, at most 16 characters
    std::optional<std::uint8_t> retr_byte;     // bit 2; unset: the device's R.E.T.R. state
    std::uint8_t byte3 = 0;                    // bit 3
    std::uint8_t byte4 = 0;                    // bit 4
    std::optional<std::uint32_t> time_stamp;   // bit 5; unset: milliseconds since the start / 5
    std::optional<std::uint8_t> online_users;  // bit 6; unset: the number of logged-in users
    std::uint16_t alarm_words[3] = {1, 1, 1};  // bits 7, 8 and 9

    // Alarm cycle: the bits of alarm_bits are present for alarm_on_frames frames, then absent
    // for alarm_off_frames frames, and so on. No cycle while alarm_on_frames is 0.
    std::uint32_t alarm_bits = kAlarm1Bit;
    int alarm_on_frames = 0;
    int alarm_off_frames = 0;

    int header_only_every = 0;  // n > 0: a packet without payload before frames n-1, 2n-1 ...
    std::optional<FrameCorruption> corruption;
    int corrupt_every = 1;                        // which frames the corruption hits, as above
    std::size_t damage_length = 0;                // Truncated, Padded: the length after damage
    std::optional<std::uint32_t> payload_length;  // claimed length; the payload is padded or cut
    int packets_per_write = 1;                    // packets gathered into one write
    std::vector<std::size_t> write_splits;        // offsets into each write where it is split
    std::chrono::milliseconds split_pause{20};
    std::uint64_t frame_limit = 0;  // 0: unlimited
    StreamEnd end = StreamEnd::Close;
    // The limit and its end hit one connection only: the limit then clears itself, so the next
    // connection streams on (a dropped or stalled stream, then a sound one).
    bool frame_limit_once = false;
    // Frames carry a JFIF segment right after the start of image, as many encoders write them.
    bool jfif = false;
    // Once: the first packet from frame false_length_frame of a stream on claims false_length,
    // and the plain frame follows it, so the stream is out of step from there on. The knob then
    // clears itself.
    std::optional<std::uint32_t> false_length;
    std::uint64_t false_length_frame = 0;
    // The false length stays: every stream is out of step from its frame false_length_frame on.
    bool false_length_every_stream = false;
};

// The network settings a unit reports to the LAN discovery and takes from it.
struct DiscoveryNetwork {
    std::array<std::uint8_t, 4> address = {127, 0, 0, 1};
    std::array<std::uint8_t, 4> mask = {255, 0, 0, 0};
    std::array<std::uint8_t, 4> gateway = {127, 0, 0, 1};
    std::array<std::uint8_t, 4> dns = {127, 0, 0, 1};
    std::uint16_t web_port = 0;  // 0: the port the emulator listens on

    bool operator==(const DiscoveryNetwork&) const = default;
};

// One unit on the emulated LAN. Set-address and reset datagrams act on the unit whose MAC they
// carry; the others stay silent.
struct DiscoveryUnit {
    std::array<std::uint8_t, 6> mac = {0x00, 0x12, 0xab, 0x34, 0xcd, 0x56};
    std::uint8_t device_code = 0x32;  // byte 17 of the search answer
    bool static_mode = true;          // false: set and reset answer 2 (not a static address)
    DiscoveryNetwork network;
    DiscoveryNetwork factory = {
        {192, 168, 1, 10}, {255, 255, 255, 0}, {192, 168, 1, 1}, {192, 168, 1, 1}, 80};
    int resets = 0;  // reset datagrams applied
};

// The UDP discovery service (StartDiscovery): its units and its fault knobs.
struct DiscoverySettings {
    std::vector<DiscoveryUnit> units = {DiscoveryUnit{}};
    std::uint16_t reply_port = 3332;               // answers go to the sender's address, this port
    std::chrono::milliseconds reply_delay{0};      // a late answer
    int answer_copies = 1;                         // 2: every answer twice; 0: no answer at all
    std::size_t reply_length = 76;                 // below 76: a short datagram
    std::optional<std::uint8_t> result_code;       // replaces the result byte of set and reset
    std::optional<std::uint8_t> answer_operation;  // replaces the operation byte of every answer
};

// Knobs of /UpgradeFW.cgi (firmware_upload.cpp).
struct FirmwareUploadSettings {
    std::optional<int> fail_piece;  // the piece (from 0, counted since the last Start) that fails
    int fail_status = 500;          // its status; 0: the device closes without answering
    std::chrono::milliseconds piece_delay{0};  // pause before answering each piece
};

struct Settings {
    std::vector<Account> accounts = {{"admin", "admin", 30}, {"guest", "guest", 0}};
    Identity identity;
    DeviceState state;
    StreamSettings stream;
    DiscoverySettings discovery;
    BackupSettings backup;       // the disks and the backup download
    EventLogSettings event_log;  // /Getlog.cgi
    FirmwareUploadSettings firmware;
    // By path, e.g. "/Login.cgi"; "*" for every path without an entry of its own.
    std::map<std::string, ReplyFaults, std::less<>> faults;
};

// One request exactly as it arrived.
struct RecordedRequest {
    std::string raw;    // every byte received on the connection for this request
    std::string path;   // "/Login.cgi"
    std::string query;  // as sent, not decoded
    std::string body;
    bool complete = false;  // false: the peer closed or went silent before the request ended

    // The first parameter of that name, its value as sent.
    std::optional<std::string> Param(std::string_view name) const;
};

class DeviceEmulator {
public:
    DeviceEmulator();
    ~DeviceEmulator();
    DeviceEmulator(const DeviceEmulator&) = delete;
    DeviceEmulator& operator=(const DeviceEmulator&) = delete;

    // Listens on 127.0.0.1 (never on another address); port 0 picks a free one. Throws
    // std::system_error when the port cannot be bound.
    void Start(std::uint16_t port = 0);
    void Stop();
    std::uint16_t Port() const;

    // false closes the listening socket, so connections are refused; true listens again on the
    // same port. Returns false when the port could not be bound again.
    bool SetListening(bool listening);

    Settings Snapshot() const;
    void Update(const std::function<void(Settings&)>& change);

    // The sixteen configuration sections, by name ("IP", "DVRLIVE" ...). SetSection refuses an
    // unknown name or a size other than the section's.
    std::optional<std::string> Section(std::string_view name) const;
    bool SetSection(std::string_view name, std::string bytes);

    // The UDP discovery service on 127.0.0.1 (port 0: a free one); returns its port. Throws
    // std::system_error when the port cannot be bound. Stop() ends it too.
    std::uint16_t StartDiscovery(std::uint16_t port = 0);
    std::uint16_t DiscoveryPort() const;
    // Every datagram the discovery service received, bytes as they came, in order.
    std::vector<std::string> Datagrams() const;
    bool WaitForDatagrams(std::size_t count, std::chrono::milliseconds timeout) const;

    std::vector<RecordedRequest> Requests(std::string_view path = {}) const;
    // Waits until at least count requests of that path (all paths when empty) were recorded.
    bool WaitForRequests(std::string_view path, std::size_t count,
                         std::chrono::milliseconds timeout) const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace device_emulator
