#include "protocol/idle_protocol.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "device_fixture.h"
#include "kernel/utilities.h"
#include "platform/thread.h"
#include "protocol/blocking_socket.h"
#include "protocol/login.h"

namespace {

TEST(StreamHelpers, MpegTimestamps) {
    // PTS 0x1_2345_6789 in the 33-bit layout: prefix 2, marker bits set.
    const std::uint64_t pts = 0x123456789ull;
    const auto encode = [](std::uint8_t prefix, std::uint64_t t, std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>((prefix << 4) | ((t >> 29) & 0x0E) | 1);
        out[1] = static_cast<std::uint8_t>(t >> 22);
        out[2] = static_cast<std::uint8_t>(((t >> 14) & 0xFE) | 1);
        out[3] = static_cast<std::uint8_t>(t >> 7);
        out[4] = static_cast<std::uint8_t>((t << 1) | 1);
    };
    std::uint8_t h[19] = {0, 0, 1, 0xE0, 0, 0, 0x80, 0x80, 5};
    encode(2, pts, h + 9);
    EXPECT_EQ(MpegPesTimestamp(h, sizeof h), 0x23456789u);
    h[3] = 0xC0;  // audio
    EXPECT_EQ(MpegPesTimestamp(h, sizeof h), 0u);
    h[3] = 0xE1;
    h[7] = 0xC0;  // PTS and DTS: the DTS counts
    encode(3, pts, h + 9);
    encode(1, 0x42ull, h + 14);
    EXPECT_EQ(MpegPesTimestamp(h, sizeof h), 0x42u);
    h[7] = 0x40;
    EXPECT_EQ(MpegPesTimestamp(h, sizeof h), 0u);
}

TEST(StreamHelpers, MuLawAndJpegEnd) {
    EXPECT_EQ(MuLawToLinear(0xFF), 0);
    EXPECT_EQ(MuLawToLinear(0x00), -32124);
    EXPECT_EQ(MuLawToLinear(0x80), 32124);
    const std::uint8_t data[] = {1, 0xFF, 0xD9, 0xFF, 0xD9, 0xFF, 0xFF, 7};
    EXPECT_EQ(FindJpegEnd(data, sizeof data), 4u);
    EXPECT_EQ(FindJpegEnd(data, 6), 0u);
}

TEST(Ping, RequestLayoutAndChecksum) {
    const auto m = CPing::BuildRequest(0x11223344);
    EXPECT_EQ(m[0], 8);
    EXPECT_EQ(m[1], 0);
    EXPECT_EQ(m[9], 0x44);
    EXPECT_EQ(m[12], 0x11);
    EXPECT_EQ(m[13], 0x20);
    EXPECT_EQ(m[44], 0x3F);
    EXPECT_EQ(InternetChecksum(m.data(), m.size()), 0);  // a correct checksum sums to zero
    CPing ping;
    EXPECT_EQ(ping.Ping("no-such-host.invalid"), 0u);
}

class IdleWithDevice : public test_support::DeviceFixture {};

TEST_F(IdleWithDevice, ConnectionTest) {
    EXPECT_EQ(DectectSocketConnection(), 1u);
    device.SetListening(false);
    EXPECT_EQ(DectectSocketConnection(), 0u);
    SetDeviceAddress("", 0);
    EXPECT_EQ(DectectSocketConnection(), 0u);
}

TEST_F(IdleWithDevice, SessionDatagramsGoToTheDevicesPort) {
    CBlockingSocket receiver;
    receiver.Create(CBlockingSocket::kDatagram);
    receiver.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress bound;
    receiver.GetSockName(bound);
    SetDeviceAddress("127.0.0.1", bound.HostOrderPort());
    g_szSessionCookie.Set("abc");

    CreateLoginObject();
    g_pLogin->m_hSendEvent = platform::CreateEventObject(false, true);
    g_pLogin->m_hStopEvent = platform::CreateEventObject(false, false);
    platform::HandleField thread;
    thread = platform::StartThread([] { return UdpSessionThread(*g_pLogin); });
    std::vector<std::string> got;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(platform::WaitReadable(receiver.Handle(), 5000), platform::Readiness::Ready);
        char buffer[1024];
        CSocketAddress from;
        const int n = receiver.ReceiveDatagram(buffer, sizeof buffer, from, 0);
        got.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    platform::SetEvent(g_pLogin->m_hStopEvent);
    EXPECT_EQ(platform::WaitForObject(thread, 5000), platform::kWaitObject0);
    platform::StopThread(thread, 100);
    EXPECT_EQ(got, UdpSessionDatagrams());
    EXPECT_EQ(got[0].rfind("Session: abc\r\nGET / HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(got[1].find("Connection: Close\r\n"), std::string::npos);
    platform::CloseObject(g_pLogin->m_hSendEvent);
    platform::CloseObject(g_pLogin->m_hStopEvent);
    ReleaseLoginObject();
}

}  // namespace
