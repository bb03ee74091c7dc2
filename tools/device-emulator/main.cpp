// The device emulator as a program, for the demo and for trying the client by hand. It runs until
// it is interrupted (Ctrl+C or SIGTERM).

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "device_emulator.h"

namespace {

using device_emulator::Settings;

struct Config {
    Settings settings;
    int port = 0;
};

struct Option {
    std::string_view name;
    std::string_view value;  // empty: the option takes no value
    std::string_view help;
    std::function<void(Config&, const std::string&)> apply;
};

int Number(const std::string& text) {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used != text.size()) {
        throw std::invalid_argument(text);
    }
    return value;
}

// "a:b:c" with every part a number.
std::vector<int> Numbers(const std::string& text, char separator, std::size_t count) {
    std::vector<int> values;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        values.push_back(Number(part));
    }
    if (values.size() != count) {
        throw std::invalid_argument(text);
    }
    return values;
}

const std::vector<Option>& Options() {
    static const std::vector<Option> options = {
        {"--port", "N", "port to listen on (default: a free one, printed at start)",
         [](Config& c, const std::string& v) {
             c.port = Number(v);
             if (c.port < 0 || c.port > 65535) {
                 throw std::out_of_range(v);
             }
         }},
        {"--device-type", "N", "LINKDEVICE device type (default 19)",
         [](Config& c, const std::string& v) { c.settings.identity.device_type = Number(v); }},
        {"--user", "NAME",
         "the one account's user name (default accounts: admin/admin, guest/guest)",
         [](Config& c, const std::string& v) {
             c.settings.accounts = {{v, "", 30}};
         }},
        {"--password", "TEXT", "password of the first account (admin, or the one of --user)",
         [](Config& c, const std::string& v) { c.settings.accounts.front().password = v; }},
        {"--level", "N", "USERLEVEL reported for every user: 30, 20, 10 or 0",
         [](Config& c, const std::string& v) { c.settings.identity.user_level = Number(v); }},
        {"--product", "TEXT", "Product-ID of the login reply (default Q41E)",
         [](Config& c, const std::string& v) { c.settings.identity.product = v; }},
        {"--session-id", "TEXT", "the same Session-ID for every login (default: a fresh one)",
         [](Config& c, const std::string& v) { c.settings.identity.session_id = v; }},
        {"--max-users", "N", "users logged in at once before a login gets status 202 (0: no limit)",
         [](Config& c, const std::string& v) { c.settings.identity.max_users = Number(v); }},
        {"--no-cookie-check", "", "answer commands without a valid session cookie",
         [](Config& c, const std::string&) { c.settings.identity.check_cookie = false; }},
        {"--pal", "", "VIDEOMODE 1 (PAL picture sizes); the default is NTSC",
         [](Config& c, const std::string&) { c.settings.identity.video_mode = 1; }},
        {"--retr", "0|1", "R.E.T.R. state reported in the device info and the stream",
         [](Config& c, const std::string& v) { c.settings.state.retr = Number(v); }},
        {"--peripheral", "ID:TYPE:PROTOCOL", "an RS-485 peripheral (repeat for more)",
         [](Config& c, const std::string& v) {
             const std::vector<int> p = Numbers(v, ':', 3);
             c.settings.identity.peripherals.push_back({p[0], p[1], p[2]});
         }},
        {"--size", "WxH", "picture size (default: from the video mode and the resolution)",
         [](Config& c, const std::string& v) {
             const std::vector<int> wh = Numbers(v, 'x', 2);
             c.settings.stream.picture = device_emulator::PictureSize{wh[0], wh[1]};
         }},
        {"--fps", "F", "frames per second (default 25; 0: as fast as the viewer reads)",
         [](Config& c, const std::string& v) { c.settings.stream.frame_rate = std::stod(v); }},
        {"--quality", "Q", "JPEG quality 1..100 (default: from the device's quality setting)",
         [](Config& c, const std::string& v) { c.settings.stream.jpeg_quality = Number(v); }},
        {"--alarm", "ON:OFF", "alarm word present for ON frames, absent for OFF frames, repeating",
         [](Config& c, const std::string& v) {
             const std::vector<int> p = Numbers(v, ':', 2);
             c.settings.stream.alarm_on_frames = p[0];
             c.settings.stream.alarm_off_frames = p[1];
         }},
        {"--hu-text", "TEXT", "text of the stream header (up to 16 characters)",
         [](Config& c, const std::string& v) {
             c.settings.stream.hu_text = v;
             c.settings.stream.presence |= device_emulator::kHuTextBit;
         }},
        {"--frame-limit", "N", "close each stream after N frames",
         [](Config& c, const std::string& v) { c.settings.stream.frame_limit = Number(v); }},
        {"--online-users", "", "stream headers carry the number of logged-in users (bit 6)",
         [](Config& c, const std::string&) {
             c.settings.stream.presence |= device_emulator::kOnlineUsersBit;
         }},
        {"--chunked", "N", "every reply's body in chunks of N bytes (Transfer-Encoding: chunked)",
         [](Config& c, const std::string& v) {
             const int size = Number(v);
             if (size <= 0) {
                 throw std::out_of_range(v);
             }
             c.settings.faults["*"].chunk_size = static_cast<std::size_t>(size);
         }},
        {"--no-length", "",
         "replies without Content-Length: each body ends where the device closes",
         [](Config& c, const std::string&) {
             c.settings.faults["*"].content_length_style =
                 device_emulator::ContentLengthStyle::Omitted;
         }},
        {"--log-entries", "N", "an event log of N sample entries",
         [](Config& c, const std::string& v) {
             c.settings.event_log.entries =
                 device_emulator::SampleEventLog(static_cast<std::size_t>(std::max(0, Number(v))));
         }},
    };
    return options;
}

void PrintHelp() {
    std::printf(
        "Usage: torvel-device-emulator [--port N] [options]\n"
        "A video server on 127.0.0.1 for trying the client. Runs until interrupted.\n\n"
        "  --help                         this text\n");
    for (const Option& option : Options()) {
        const std::string left = std::string(option.name) +
                                 (option.value.empty() ? "" : " " + std::string(option.value));
        std::printf("  %-30s %s\n", left.c_str(), std::string(option.help).c_str());
    }
    std::printf(
        "\nEvery knob, including the fault knobs, is described in "
        "tools/device-emulator/README.md.\n");
}

}  // namespace

int main(int argc, char** argv) {
    Config config;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            if (arg == "--help") {
                PrintHelp();
                return 0;
            }
            auto take_value = [&]() -> std::string {
                if (i + 1 >= argc) {
                    throw std::invalid_argument(std::string(arg) + " needs a value");
                }
                return argv[++i];
            };
            const auto& options = Options();
            const auto option = std::find_if(options.begin(), options.end(),
                                             [&](const Option& o) { return o.name == arg; });
            if (option == options.end()) {
                throw std::invalid_argument("unknown option " + std::string(arg));
            }
            const std::string value = option->value.empty() ? std::string() : take_value();
            try {
                option->apply(config, value);
            } catch (const std::logic_error&) {
                throw std::invalid_argument("bad value '" + value + "' for " + std::string(arg));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvel-device-emulator: %s (see --help)\n", e.what());
        return 2;
    }

    // Block the stop signals before any thread starts, so that only sigwait below sees them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    device_emulator::DeviceEmulator emulator;
    emulator.Update([&](Settings& s) { s = config.settings; });
    try {
        emulator.Start(static_cast<std::uint16_t>(config.port));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvel-device-emulator: %s\n", e.what());
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", emulator.Port());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stop_signals, &signal);
    emulator.Stop();
    return 0;
}
