#pragma once

// What the fuzz targets share: a program folder of their own with the state object the parsers
// read, a message sink that drops every box, and a device on loopback that answers each
// connection with bytes taken from the input.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

struct SysCfgBlocks;

namespace fuzz {

// g_lpApp in a fresh temporary program folder, made once per process and never freed, since
// threads of the targets may still use it while the process exits; the folder goes at exit. The
// device address points at `webPort` on 127.0.0.1.
class Program {
public:
    static Program& Get();
    const std::filesystem::path& Folder() const { return m_folder; }
    // Removes everything in the program folder: a target whose reader keeps damaged inputs aside
    // starts each input from an empty folder, as a run of the program would.
    void ClearFolder();
    // Replaces a file of the program folder with these bytes; the path is relative to the folder.
    std::filesystem::path WriteFile(const std::string& relative,
                                    std::span<const std::uint8_t> bytes);
    void PointAt(std::uint16_t webPort);

private:
    Program();
    std::filesystem::path m_folder;
};

// The configuration sections the state object keeps, in section-number order, with the block
// each one is fetched into.
std::vector<std::pair<std::uint8_t, std::span<std::uint8_t>>> SectionBlocks(SysCfgBlocks& cfg);

// The replies of one input: the write pattern, then one reply per connection. The encoding is
// the one FuzzedDataProvider reads strings with: a reply ends at a backslash followed by any
// other byte, and two backslashes stand for one.
struct ReplyScript {
    std::uint16_t splitSeed = 0;
    std::vector<std::string> replies;
};
ReplyScript DecodeReplyScript(std::span<const std::uint8_t> input);
std::string EncodeReplyScript(const ReplyScript& script);

// The write pieces of a reply: lengths 1 to 512 drawn from the seed, so a reply reaches the
// client cut at varying places (the receiving side may still join pieces that arrive together).
std::vector<std::string_view> SplitReply(std::string_view reply, std::uint16_t seed);

// A device on 127.0.0.1 that answers the connections of one input in turn with the replies of its
// script (nothing, once they run out): the pieces, then the end of sending, then it reads what
// the client still sends until the client closes.
class LoopbackDevice {
public:
    LoopbackDevice();
    ~LoopbackDevice();
    LoopbackDevice(const LoopbackDevice&) = delete;
    LoopbackDevice& operator=(const LoopbackDevice&) = delete;

    std::uint16_t Port() const { return m_port; }
    // Installs the script for the connections that follow.
    void Serve(ReplyScript script);
    // Waits until every connection accepted so far has been answered and closed.
    void WaitIdle();

private:
    void Run();
    void Answer(int connection);

    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::uint16_t m_seed = 0;
    std::deque<std::string> m_pending;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace fuzz
