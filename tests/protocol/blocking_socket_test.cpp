#include "protocol/blocking_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace {

// A listening socket on 127.0.0.1 and one accepted peer.
class SocketPair : public ::testing::Test {
protected:
    SocketPair() {
        listener.Create(CBlockingSocket::kStream);
        listener.Bind(CSocketAddress("127.0.0.1", 0));
        listener.Listen();
        CSocketAddress bound;
        listener.GetSockName(bound);
        client.Create(CBlockingSocket::kStream);
        client.Connect(CSocketAddress("127.0.0.1", bound.HostOrderPort()), 5);
        CSocketAddress peer;
        EXPECT_TRUE(listener.Accept(server, peer));
    }

    CBlockingSocket listener;
    CBlockingSocket client;
    CBlockingSocket server;
};

TEST_F(SocketPair, WriteSendsEverythingAndReceiveSeesIt) {
    std::vector<char> big(4 << 20, 'z');
    std::atomic<std::size_t> received{0};
    std::thread reader([&] {
        std::vector<char> buffer(65536);
        int n;
        while ((n = server.Receive(buffer.data(), static_cast<int>(buffer.size()), 5)) > 0) {
            received += static_cast<std::size_t>(n);
        }
    });
    EXPECT_EQ(client.Write(big.data(), static_cast<int>(big.size()), 5),
              static_cast<int>(big.size()));
    client.Close();
    reader.join();
    EXPECT_EQ(received.load(), big.size());
    EXPECT_FALSE(client.Connected());
}

TEST_F(SocketPair, ReceiveFoldsEveryFailureIntoMinusOne) {
    char buffer[16];
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 0), -1);  // time-out
    client.Close();
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 5), -1);  // peer closed
    CBlockingSocket none;
    EXPECT_EQ(none.Receive(buffer, sizeof buffer, 5), -1);  // no socket
    EXPECT_NO_THROW(none.Close());
    none.Cleanup();
    none.Cleanup();
}

TEST_F(SocketPair, AStopRequestEndsAWaitingReceive) {
    platform::HandleField thread;
    thread = platform::StartThread([this] {
        char buffer[16];
        return static_cast<std::uint32_t>(server.Receive(buffer, sizeof buffer, 3600));
    });
    platform::Sleep(50);
    EXPECT_EQ(platform::StopThread(thread, 2000), static_cast<std::uint32_t>(-1));
}

TEST(BlockingSocket, FailuresThrowTheOperationName) {
    CBlockingSocket socket;
    socket.Create(CBlockingSocket::kStream);
    CSocketAddress nobody("127.0.0.1", 1);  // nothing listens on port 1
    try {
        socket.Connect(nobody, 2);
        FAIL() << "connect succeeded";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ(e.Operation(), "Connect");
    }
    EXPECT_THROW(CBlockingSocket::GetHostByName("no-such-host.invalid", 80),
                 CBlockingSocketException);
    const CSocketAddress a = CBlockingSocket::GetHostByName("127.0.0.1", 8080);
    EXPECT_EQ(a.DottedText(), "127.0.0.1");
    EXPECT_EQ(a.HostOrderPort(), 8080);
    EXPECT_EQ(a.HostOrderAddress(), 0x7F000001u);
}

}  // namespace
