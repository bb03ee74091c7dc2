// Writes the seed corpus of every fuzz target: files made by the program's own writers and
// replies recorded from the device emulator. Usage: torvel-fuzz-seeds OUTPUT_FOLDER

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/backup_download.h"
#include "device_emulator.h"
#include "fuzz_support.h"
#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "kernel/settings_ini.h"
#include "login/ip_record_file.h"
#include "login/search_datagram.h"
#include "platform/jpeg.h"
#include "protocol/config_section.h"
#include "protocol/ctrl_file.h"
#include "recording/record_file.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path g_output;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(g_output / target);
    std::ofstream(g_output / target / name, std::ios::binary) << bytes;
}

std::string Text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::string FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Everything the emulator sends for one request, until it closes.
std::string Exchange(std::uint16_t port, const std::string& url) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string reply;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + url + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char piece[4096];
        pollfd readable{fd, POLLIN, 0};
        ssize_t n = 0;
        while (poll(&readable, 1, 5'000) > 0 && (n = recv(fd, piece, sizeof piece, 0)) > 0) {
            reply.append(piece, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return reply;
}

std::string BodyOf(const std::string& reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string Script(std::uint16_t seed, std::vector<std::string> replies) {
    return fuzz::EncodeReplyScript({seed, std::move(replies)});
}

Bytes Picture(int width, int height) {
    Bytes pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 7 / 3);
    }
    return pixels;
}

void DeviceSeeds() {
    device_emulator::DeviceEmulator device;
    device.Start();
    device.Update([](device_emulator::Settings& s) {
        s.identity.check_cookie = false;
        s.identity.peripherals = {{1, 1, 0}, {2, 2, 1}};
        s.stream.picture = device_emulator::PictureSize{160, 120};
        s.stream.frame_rate = 0;
        s.stream.frame_limit = 3;
        s.stream.presence |=
            device_emulator::kAlarm1Bit | device_emulator::kHuTextBit | device_emulator::kRetrBit;
        s.stream.hu_text = "CH01";
        s.stream.header_only_every = 2;
        s.event_log.entries = device_emulator::SampleEventLog(40);
        s.backup.data_bytes = 5'000;
        s.backup.other_type = 7;
    });
    const std::uint16_t port = device.Port();

    const std::string login = Exchange(port, "/Login.cgi?Username=admin&Password=admin");
    const std::string info = Exchange(port, "/Getdeviceinfo.cgi?RES=0&QUA=0");
    Seed("device_reply", "login", BodyOf(login));
    Seed("device_reply", "device_info", BodyOf(info));
    const std::string online = Exchange(port, "/GetOnlineUser.cgi");
    Seed("cgi_reply", "plain", "\x30" + Script(0, {online}));
    Seed("cgi_reply", "plain_split", "\x03" + Script(7, {online}));
    Seed("cgi_reply", "login", "\x01" + Script(0, {login, info}));
    Seed("cgi_reply", "login_split", "\x04" + Script(3, {login, info}));
    std::vector<std::string> sections;
    for (const auto& [section, block] : fuzz::SectionBlocks(g_lpApp->m_SysCfg)) {
        sections.push_back(
            Exchange(port, "/GetSysCfg.cgi?Option=" + std::string(ConfigSectionNames[section]) +
                               "&Size=" + std::to_string(block.size())));
    }
    Seed("cgi_reply", "sections", "\x02" + Script(0, sections));
    // The same replies in the two other forms a body may take, chunks and no length at all, and
    // with every line ended by a bare LF.
    const struct {
        const char* name;
        device_emulator::ReplyFaults form;
    } forms[] = {
        {"chunked", {.chunk_size = 7}},
        {"to_close", {.content_length_style = device_emulator::ContentLengthStyle::Omitted}},
        {"bare_lf", {.bare_lf = true}},
        {"chunked_bare_lf", {.chunk_size = 7, .bare_lf = true}},
    };
    for (const auto& f : forms) {
        device.Update([&](device_emulator::Settings& s) { s.faults["*"] = f.form; });
        const std::string plain = Exchange(port, "/GetOnlineUser.cgi");
        Seed("cgi_reply", std::string("plain_") + f.name, "\x30" + Script(7, {plain}));
        Seed("cgi_reply", std::string("login_") + f.name,
             "\x01" + Script(3, {Exchange(port, "/Login.cgi?Username=admin&Password=admin"),
                                 Exchange(port, "/Getdeviceinfo.cgi?RES=0&QUA=0")}));
    }
    device.Update([](device_emulator::Settings& s) { s.faults.clear(); });

    // The stream has no status line: packets from the first byte.
    const std::string stream = Exchange(port, "/Getvideo.cgi?Cookie=x");
    Seed("live_stream", "whole", Script(0, {stream}));
    Seed("live_stream", "split", Script(11, {stream}));
    Seed("packet_header", "stream_start", stream.substr(0, 64));
    // A header whose length runs on past its frame, over the packets behind it.
    std::string lie = stream.substr(0, 40'000);
    lie.replace(4, 4, std::string("\x00\x00\x10\x00", 4));
    Seed("packet_header", "lying_length", lie);
    const std::size_t frame = stream.find("\xFF\xD8\xFF\xDB");
    if (frame != std::string::npos) {
        Seed("jpeg", "stream_frame",
             stream.substr(frame, stream.find("\xFF\xD9", frame) + 2 - frame));
    }

    const std::string count = Exchange(port, "/Getlog.cgi?STATE=COUNT");
    const std::string last = Exchange(port, "/Getlog.cgi?STATE=LAST");
    const std::string pre = Exchange(port, "/Getlog.cgi?STATE=PRE");
    Seed("device_reply", "log_count", BodyOf(count));
    Seed("event_log", "pages", std::string("\x28\x00", 2) + Script(0, {count, last, pre}));
    Seed("event_log", "pages_split", std::string("\x10\x00", 2) + Script(5, {count, last, pre}));

    const std::string disks = BodyOf(Exchange(port, "/GetDvrHDD.cgi"));
    config::BackupRequest request;
    request.year = 2026;
    request.month = 12;
    request.day = 10;
    request.megabytes = 1;
    const std::string text = config::BackupRequestText(request, "x", "127.0.0.1");
    const std::string blocks = Exchange(port, text.substr(4, text.find(' ', 4) - 4));
    Seed("backup", "blocks", Script(0, {disks, blocks}));
    Seed("backup", "blocks_split", Script(9, {disks, blocks}));
}

void FileSeeds() {
    fuzz::Program& program = fuzz::Program::Get();
    const fs::path folder = program.Folder();

    for (const auto& [name, width, height] :
         {std::tuple{"small", 16, 8}, std::tuple{"field", 64, 24}, std::tuple{"odd", 13, 7}}) {
        Seed("jpeg", name,
             Text(platform::EncodeBottomUpBgr(Picture(width, height).data(), width, height)));
    }

    const std::string ctrl = (folder / "CtrlFile.ini").string();
    WriteDefaultCtrlFile(ctrl);
    Seed("ctrl_file", "default", FileBytes(ctrl));
    Seed("ctrl_file", "shipped", FileBytes(fs::path(TORVEL_SOURCE_DIR) / "res/CtrlFile.ini"));

    CSettingINI settings;
    settings.m_strProgramPath = folder.string() + "/";
    settings.m_strRecordPath = "/home/user/records";
    settings.Save();
    Seed("settings_files", "saved", FileBytes(folder / "Setting.ini"));

    SystemConfig database;
    for (int i = 0; i < 3; ++i) {
        database.NewAlarmDataItem(folder.string() + "/ALARM_" + std::to_string(i) + ".qrn");
        database.SetPendingCaptureTime(2026, 12, 10, 18, 0, static_cast<std::uint16_t>(i));
        database.AppendAlarmData(folder.string() + "/", 25 * i, "192.168.1.10");
    }
    Seed("alarm_database", "three", FileBytes(folder / "AlarmData.dat"));

    WriteIPRecordFile(folder / "IPRecord.dat", {{"admin", "192.168.1.10", "office", 80},
                                                {"guest", "dvr.example", "", 8080}});
    Seed("ip_record", "two", FileBytes(folder / "IPRecord.dat"));

    recording::RecordFileWriter writer(recording::kRecordKindAlarm);
    writer.Create(folder, "ALARM", {192, 168, 1, 10}, "admin");
    const Bytes jpeg = platform::EncodeBottomUpBgr(Picture(16, 8).data(), 16, 8);
    for (std::uint32_t i = 0; i < 3; ++i) {
        recording::PreAlarmFrameInfo info;
        info.dwFrameSize = static_cast<std::uint32_t>(jpeg.size());
        info.dwMagic = recording::kFrameInfoMagic;
        info.dwTimeStamp = 100 * i;
        info.wWidth = 16;
        info.wHeight = 8;
        writer.WriteFrame(info, jpeg.data());
    }
    const fs::path record = writer.Path();
    writer.Close();
    const std::string recorded = FileBytes(record);
    Seed("record_file", "indexed", recorded);
    Seed("record_file", "cut_short", recorded.substr(0, recorded.size() * 2 / 3));
    // The same file ending in a count far past what it has room for.
    std::string overclaimed = recorded;
    overclaimed.back() = '\x7F';
    Seed("record_file", "count_past_its_room", overclaimed);

    LanSearchDatagram search;
    search.command = "QX_SEARCH";
    search.operation = static_cast<std::uint8_t>(LanSearchOperation::Search);
    search.code = kLanDeviceVideoServer;
    search.mac = {0x00, 0x12, 0xab, 0x34, 0xcd, 0x56};
    search.user = "admin";
    search.password = "admin";
    search.address = {192, 168, 1, 10};
    search.mask = {255, 255, 255, 0};
    search.port = 80;
    const LanSearchBytes answer = EncodeLanSearchDatagram(search);
    Seed("discovery", "answer", std::string(answer.begin(), answer.end()));
    Seed("discovery", "address", "192.168.001.10");
    Seed("discovery", "mac", "00:12:ab:34:cd:56");

    QImage skin(12, 5, QImage::Format_RGB888);
    skin.fill(Qt::darkCyan);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    skin.save(&buffer, "BMP");
    Seed("skin_bitmap", "rgb", bmp.toStdString());
    skin.convertTo(QImage::Format_Indexed8);
    bmp.clear();
    buffer.seek(0);
    skin.save(&buffer, "BMP");
    Seed("skin_bitmap", "indexed", bmp.toStdString());
}

// A PCM wave of a short tone with one chunk before the data, as sound editors write it.
void WaveSeeds() {
    auto u32 = [](std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string data;
    for (int i = 0; i < 400; ++i) {
        data += u16(static_cast<std::uint16_t>((i % 40) * 800));
    }
    const std::string format = u16(1) + u16(1) + u32(8000) + u32(16000) + u16(2) + u16(16);
    const std::string body = "WAVEfmt " + u32(16) + format + "LIST" + u32(4) + "INFO" + "data" +
                             u32(static_cast<std::uint32_t>(data.size())) + data;
    Seed("wave", "tone", "RIFF" + u32(static_cast<std::uint32_t>(body.size())) + body);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    g_output = argv[1];
    fuzz::Program::Get();
    DeviceSeeds();
    FileSeeds();
    WaveSeeds();
    return 0;
}
