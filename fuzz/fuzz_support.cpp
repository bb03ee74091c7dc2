#include "fuzz_support.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "kernel/kernel_object.h"
#include "platform/paths.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"

namespace fuzz {
namespace {

class DroppingSink : public ui::MessageSink {
public:
    void Show(const std::string&) override {}
};

// How long a connection may stay open after its reply before the device gives up on the
// client; a client that holds it longer is one that hangs.
constexpr int kDrainMs = 20'000;

}  // namespace

Program& Program::Get() {
    static Program& program = *new Program;
    return program;
}

Program::Program() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvel-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("no temporary folder");
    }
    m_folder = pattern;
    // libFuzzer ends a run with exit(), so the folder goes then; a crash leaves it to look at.
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(Get().m_folder, ignored);
    });
    platform::SetProgramFolder(m_folder);
    static DroppingSink sink;
    ui::SetMessageSink(&sink);
    g_lpApp = new KernelObject;
    g_lpApp->CSettingINI.m_strProgramPath = m_folder.string() + "/";
    PointAt(0);
}

void Program::ClearFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        std::filesystem::remove_all(entry.path());
    }
}

std::filesystem::path Program::WriteFile(const std::string& relative,
                                         std::span<const std::uint8_t> bytes) {
    const std::filesystem::path path = m_folder / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

void Program::PointAt(std::uint16_t webPort) {
    g_lpApp->CSettingINI.m_strServerName = "127.0.0.1";
    g_lpApp->CSettingINI.m_wWebPort = webPort;
}

std::vector<std::pair<std::uint8_t, std::span<std::uint8_t>>> SectionBlocks(SysCfgBlocks& cfg) {
    return {{CFG_INF, cfg.INF},         {CFG_IP, cfg.IP},        {CFG_SECURE, cfg.SECURE},
            {CFG_DNS, cfg.DNS},         {CFG_SMTP, cfg.SMTP},    {CFG_FTP, cfg.FTP},
            {CFG_PPPOE, cfg.PPPOE},     {CFG_SNTP, cfg.SNTP},    {CFG_IMG, cfg.IMG},
            {CFG_RS485, cfg.RS485},     {CFG_ALARM, cfg.ALARM},  {CFG_ONLINE, cfg.ONLINE},
            {CFG_DVRLIVE, cfg.DVRLIVE}, {CFG_DVRREC, cfg.DVRREC}};
}

ReplyScript DecodeReplyScript(std::span<const std::uint8_t> input) {
    ReplyScript script;
    if (input.size() >= 2) {
        script.splitSeed = static_cast<std::uint16_t>(input[0] | input[1] << 8);
        input = input.subspan(2);
    }
    std::string reply;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const char c = static_cast<char>(input[i]);
        if (c == '\\' && i + 1 < input.size()) {
            ++i;
            if (input[i] != '\\') {
                script.replies.push_back(std::move(reply));
                reply.clear();
                continue;
            }
        }
        reply += c;
    }
    if (!reply.empty()) {
        script.replies.push_back(std::move(reply));
    }
    return script;
}

std::string EncodeReplyScript(const ReplyScript& script) {
    std::string out{static_cast<char>(script.splitSeed & 0xFF),
                    static_cast<char>(script.splitSeed >> 8)};
    for (const std::string& reply : script.replies) {
        for (const char c : reply) {
            out += c;
            if (c == '\\') {
                out += c;
            }
        }
        out += "\\n";
    }
    return out;
}

std::vector<std::string_view> SplitReply(std::string_view reply, std::uint16_t seed) {
    std::vector<std::string_view> pieces;
    std::uint32_t state = seed * 2654435761u + 1;
    while (!reply.empty()) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        // Seed 0 keeps the reply whole, as one write.
        const std::size_t length = seed == 0 ? reply.size() : 1 + state % 512;
        pieces.push_back(reply.substr(0, length));
        reply.remove_prefix(std::min(length, reply.size()));
    }
    return pieces;
}

LoopbackDevice::LoopbackDevice() {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(m_listener, 16) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no loopback listener");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

LoopbackDevice::~LoopbackDevice() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
    close(m_listener);
}

void LoopbackDevice::Serve(ReplyScript script) {
    std::lock_guard lock(m_mutex);
    m_seed = script.splitSeed;
    m_pending.assign(std::make_move_iterator(script.replies.begin()),
                     std::make_move_iterator(script.replies.end()));
}

void LoopbackDevice::WaitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_busy; });
}

void LoopbackDevice::Run() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) {
                return;
            }
        }
        pollfd ready{m_listener, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            m_busy = true;
        }
        const int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Answer(connection);
            close(connection);
        }
        std::lock_guard lock(m_mutex);
        m_busy = false;
        m_idle.notify_all();
    }
}

void LoopbackDevice::Answer(int connection) {
    std::string reply;
    std::uint16_t seed = 0;
    {
        std::lock_guard lock(m_mutex);
        seed = m_seed;
        if (!m_pending.empty()) {
            reply = std::move(m_pending.front());
            m_pending.pop_front();
        }
    }
    const int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (const std::string_view piece : SplitReply(reply, seed)) {
        if (send(connection, piece.data(), piece.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(piece.size())) {
            return;
        }
    }
    shutdown(connection, SHUT_WR);
    char sink[4096];
    pollfd readable{connection, POLLIN, 0};
    while (poll(&readable, 1, kDrainMs) > 0 && recv(connection, sink, sizeof sink, 0) > 0) {
    }
}

}  // namespace fuzz
