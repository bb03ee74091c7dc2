#include "protocol/cgi_reply.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/blocking_socket.h"

namespace {

// Where one write of a reply ends and the next begins.
using Cuts = std::vector<std::size_t>;

// One reply written on a loopback connection in the given pieces, then closed, and read back.
struct Read {
    CgiReplyResult result;
    std::string body;
};
Read ReadReply(const std::string& reply, const Cuts& cuts) {
    CBlockingSocket listener;
    listener.Create(CBlockingSocket::kStream);
    listener.Bind(CSocketAddress("127.0.0.1", 0));
    listener.Listen();
    CSocketAddress bound;
    listener.GetSockName(bound);
    CBlockingSocket client;
    client.Create(CBlockingSocket::kStream);
    client.Connect(CSocketAddress("127.0.0.1", bound.HostOrderPort()), 5);
    CBlockingSocket server;
    CSocketAddress peer;
    EXPECT_TRUE(listener.Accept(server, peer));

    std::thread device([&] {
        std::size_t from = 0;
        for (const std::size_t cut : cuts) {
            server.Write(reply.data() + from, static_cast<int>(cut - from), 5);
            from = cut;
            // Apart in time, so that each piece is a receive of its own.
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        server.Write(reply.data() + from, static_cast<int>(reply.size() - from), 5);
        server.Close();
    });
    Read read;
    read.body.assign(1024, '#');
    read.result = ReadCgiReply(client, 15'000, read.body.data(), 1024);
    device.join();
    read.body.resize(read.result.failure == SendFailure::None ? read.result.bodyLength : 0);
    return read;
}

// The reply whole, a byte at a time, and in a few random splits.
std::vector<Cuts> Splits(std::size_t size, std::mt19937& random) {
    std::vector<Cuts> splits{{}};
    Cuts bytes;
    for (std::size_t at = 1; at < size; ++at) {
        bytes.push_back(at);
    }
    splits.push_back(bytes);
    for (int round = 0; round < 4; ++round) {
        Cuts cuts;
        for (std::size_t at = 1 + random() % 8; at < size; at += 1 + random() % 8) {
            cuts.push_back(at);
        }
        splits.push_back(cuts);
    }
    return splits;
}

struct Case {
    const char* name;
    std::string reply;
    SendFailure failure;
    std::int32_t httpStatus;
    std::string body;
};

void ExpectReadInEverySplit(const Case& c, std::mt19937& random) {
    SCOPED_TRACE(c.name);
    for (const Cuts& cuts : Splits(c.reply.size(), random)) {
        SCOPED_TRACE(::testing::Message() << cuts.size() << " cuts");
        const Read read = ReadReply(c.reply, cuts);
        EXPECT_EQ(read.result.failure, c.failure);
        EXPECT_EQ(read.result.httpStatus, c.httpStatus);
        EXPECT_EQ(read.body, c.body);
    }
}

// HTTP readers take a bare LF as a line's end, alone or beside CR LF, in the header and in the
// chunk lines alike.
TEST(CgiReply, LinesEndedByCrLfOrABareLfAreRead) {
    const Case cases[] = {
        {"CR LF", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", SendFailure::None, 0,
         "hello"},
        {"bare LF", "HTTP/1.1 200 OK\nContent-Length: 5\n\nhello", SendFailure::None, 0, "hello"},
        {"LF lines, CR LF blank line", "HTTP/1.1 200 OK\nContent-Length: 5\n\r\nhello",
         SendFailure::None, 0, "hello"},
        {"CR LF lines, LF blank line", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\nhello",
         SendFailure::None, 0, "hello"},
        {"mixed", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\ncontent-length:5\r\n\nhello",
         SendFailure::None, 0, "hello"},
        {"a body that holds line ends", "HTTP/1.1 200 OK\nContent-Length: 6\n\n\n\r\n\n\r\n",
         SendFailure::None, 0, "\n\r\n\n\r\n"},
        {"bare LF to the close", "HTTP/1.1 200 OK\nConnection: close\n\nA=1;B=2;",
         SendFailure::None, 0, "A=1;B=2;"},
        {"bare LF, no headers", "HTTP/1.0 200\n\nbody", SendFailure::None, 0, "body"},
        {"bare LF, empty body", "HTTP/1.1 200 OK\nContent-Length: 0\n\n", SendFailure::None, 0, ""},
        {"chunked with bare LF",
         "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n4\nSess\n3;x=1\nion\r\n0\n\n",
         SendFailure::None, 0, "Session"},
        {"the status line is the first line, whatever follows",
         "HTTP/1.1 200 OK\nX: 404 y\nContent-Length: 2\n\nok", SendFailure::None, 0, "ok"},
        {"not found, bare LF", "HTTP/1.1 404 Not Found\nContent-Length: 0\n\n", SendFailure::Status,
         404, ""},
        {"too many users", "HTTP/1.1 202 Accepted\r\n\r\n", SendFailure::Status, 202, ""},
        {"two blanks before the number", "HTTP/1.1  200 OK\nContent-Length: 2\n\nok",
         SendFailure::None, 0, "ok"},
    };
    std::mt19937 random(35);
    for (const Case& c : cases) {
        ExpectReadInEverySplit(c, random);
    }
}

// The status comes from the status line alone: one without a status number is no reply to take,
// whatever a later header or the body holds.
TEST(CgiReply, RepliesThatCannotBeReadAreRefused) {
    const Case cases[] = {
        {"no blank in the status line", "HTTP/1.1-404\r\nX: 200 y\r\nContent-Length: 2\r\n\r\nok",
         SendFailure::BadReply, 0, ""},
        {"no blank in the status line, bare LF", "HTTP/1.1-404\nX: 200 y\nContent-Length: 2\n\nok",
         SendFailure::BadReply, 0, ""},
        {"no number after the blank", "HTTP/1.1 OK 200\r\nContent-Length: 2\r\n\r\nok",
         SendFailure::BadReply, 0, ""},
        {"a length beyond the body", "HTTP/1.1 200 OK\nContent-Length: 9\n\nshort",
         SendFailure::BadReply, 0, ""},
        {"a chunk size that lies", "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n5\nabc\n0\n\n",
         SendFailure::BadReply, 0, ""},
        {"chunks cut by the close", "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n3\nabc\n",
         SendFailure::BadReply, 0, ""},
        {"too short for a status line", "HTTP/1.1 200", SendFailure::NoAnswer, 0, ""},
    };
    std::mt19937 random(36);
    for (const Case& c : cases) {
        ExpectReadInEverySplit(c, random);
    }
}

}  // namespace
