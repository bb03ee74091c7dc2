// One accepted socket. Every wait also watches the emulator's stop event, so that Stop() never
// waits for a slow or silent peer.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace device_emulator {

class Connection {
public:
    enum class Io { Ok, Closed, TimedOut, Stopped, Failed };

    Connection(int fd, int stop_fd);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Appends what has arrived, at most max bytes, to into.
    Io ReadSome(std::string& into, std::size_t max, std::chrono::milliseconds timeout);
    Io WriteAll(std::string_view bytes, std::chrono::milliseconds timeout);
    // Writes bytes in pieces that end at the given offsets, pausing between pieces, so that the
    // peer receives them in separate reads. Offsets outside the bytes are ignored.
    bool WritePieces(std::string_view bytes, std::vector<std::size_t> cuts,
                     std::chrono::milliseconds pause, std::chrono::milliseconds timeout);
    // false when the emulator stops during the pause.
    bool Pause(std::chrono::milliseconds duration);
    // Keeps the connection open, discarding what arrives, until the peer closes or the emulator
    // stops.
    void Hold();

private:
    Io Wait(short events, std::chrono::milliseconds timeout);

    int fd_;
    int stop_fd_;
};

}  // namespace device_emulator
