#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "device_emulator.h"
#include "raw_client.h"

namespace {

using device_emulator::ContentLengthStyle;
using device_emulator::DeviceEmulator;
using device_emulator::ReplyAction;
using device_emulator::ReplyFaults;
using device_emulator::Settings;
using namespace tools_test;

class DeviceEmulatorCgiTest : public ::testing::Test {
protected:
    void SetUp() override { device_.Start(); }

    std::string Send(const std::string& url, const std::string& body = {}) {
        return Exchange(device_.Port(), CgiRequest(url, body));
    }

    // Logs in as admin and returns the session id.
    std::string Login() {
        const std::string body = BodyOf(Send("/Login.cgi?Username=admin&Password=admin"));
        const std::size_t start = body.find("Session-ID=") + 11;
        return body.substr(start, body.find(';', start) - start);
    }

    void SetFaults(const std::string& path, const ReplyFaults& faults) {
        device_.Update([&](Settings& s) { s.faults[path] = faults; });
    }

    DeviceEmulator device_;
};

TEST_F(DeviceEmulatorCgiTest, LoginAnswersByAccountAndUserLimit) {
    device_.Update([](Settings& s) { s.identity.max_users = 1; });
    const std::string admin = Send("/Login.cgi?Username=admin&Password=admin");
    EXPECT_EQ(admin.rfind("HTTP/1.1 200 ", 0), 0u) << admin;
    EXPECT_NE(BodyOf(admin).find(";Product-ID=Q41E;"), std::string::npos);
    // The same user again replaces his session; another one is one too many.
    EXPECT_EQ(Send("/Login.cgi?Username=admin&Password=admin").rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(Send("/Login.cgi?Username=guest&Password=guest").rfind("HTTP/1.1 202 ", 0), 0u);
    EXPECT_EQ(Send("/Login.cgi?Username=admin&Password=wrong").rfind("HTTP/1.1 401 ", 0), 0u);
    EXPECT_EQ(Send("/Login.cgi?Username=admin").rfind("HTTP/1.1 401 ", 0), 0u);

    device_.Update([](Settings& s) {
        s.identity.product = "Z99X";
        s.identity.session_id = std::string(64, 'S');
    });
    const std::string other = BodyOf(Send("/Login.cgi?Username=admin&Password=admin"));
    EXPECT_EQ(other.rfind("Session-ID=" + std::string(64, 'S') + ";", 0), 0u) << other;
    EXPECT_NE(other.find(";Product-ID=Z99X;"), std::string::npos);
}

TEST_F(DeviceEmulatorCgiTest, DeviceInfoNeedsTheSessionAndReportsTheDevice) {
    EXPECT_EQ(Send("/Getdeviceinfo.cgi?RES=0&QUA=0").rfind("HTTP/1.1 401 ", 0), 0u);
    device_.Update([](Settings& s) {
        s.identity.peripherals = {{3, 1, 1}, {4, 5, 1}};
        s.identity.lifetime = "4294967295";
        s.state.retr = 1;
    });
    const std::string body = BodyOf(Send("/Getdeviceinfo.cgi?Cookie=" + Login() + "&RES=1&QUA=2"));
    EXPECT_EQ(body,
              "LIFETIME=4294967295;LINKDEVICE=19;RETR=1;VIDEOMODE=0;USERLEVEL=30;"
              "Boot-Version=1.0.2;5817-Version=2.0.1;FPGA-Version=1.1.0;SLAVENUM=2;"
              "SID=3;STYPE=1;SPROTOCOL=1;SID=4;STYPE=5;SPROTOCOL=1;");
    EXPECT_EQ(device_.Snapshot().state.resolution, 1);
    EXPECT_EQ(device_.Snapshot().state.quality, 2);

    device_.Update([](Settings& s) { s.identity.report_retr = false; });
    const std::string without_retr = BodyOf(Send("/PTZReset.cgi?Cookie=" + Login()));
    EXPECT_EQ(without_retr, "SLAVENUM=2;SID=3;STYPE=1;SPROTOCOL=1;SID=4;STYPE=5;SPROTOCOL=1;");
}

TEST_F(DeviceEmulatorCgiTest, EverySectionHasItsSizeAndASetIsReadBack) {
    const std::string cookie = Login();
    const std::vector<std::pair<std::string, std::size_t>> sizes = {
        {"INF", 44},     {"IP", 24},       {"SECURE", 196}, {"DNS", 12},
        {"SMTP", 440},   {"FTP", 104},     {"PPPOE", 68},   {"SYSTEM", 64},
        {"SNTP", 40},    {"IMG", 12},      {"RS485", 124},  {"ALARM", 24},
        {"ONLINE", 240}, {"DVRLIVE", 772}, {"DVROSD", 128}, {"DVRREC", 128}};
    for (const auto& [name, size] : sizes) {
        const std::string reply = Send("/GetSysCfg.cgi?Option=" + name +
                                       "&Size=" + std::to_string(size) + "&Cookie=" + cookie);
        EXPECT_EQ(BodyOf(reply).size(), size) << name;
    }
    // The web port the device listens on is in the IP section, low byte first.
    const std::string ip = *device_.Section("IP");
    EXPECT_EQ(static_cast<unsigned char>(ip[16]) | static_cast<unsigned char>(ip[17]) << 8,
              device_.Port());
    // The logged-in user appears in ONLINE.
    EXPECT_EQ(device_.Section("ONLINE")->substr(0, 6), std::string(6, '\0'));
    EXPECT_EQ(BodyOf(Send("/GetSysCfg.cgi?Option=ONLINE&Size=240&Cookie=" + cookie)).substr(0, 6),
              std::string("admin\0", 6));

    std::string live(772, '\0');
    for (std::size_t i = 0; i < live.size(); ++i) {
        live[i] = static_cast<char>(i * 7);
    }
    const std::string set_url = "/SetSysCfg.cgi?Option=DVRLIVE&Cookie=" + cookie;
    EXPECT_EQ(Send(set_url, live).rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(BodyOf(Send("/GetSysCfg.cgi?Option=DVRLIVE&Size=772&Cookie=" + cookie)), live);
    // A section of the wrong size, an unknown one and ONLINE are refused and change nothing.
    EXPECT_EQ(Send(set_url, live.substr(1)).rfind("HTTP/1.1 400 ", 0), 0u);
    EXPECT_EQ(Send("/SetSysCfg.cgi?Option=NOPE&Cookie=" + cookie, "x").rfind("HTTP/1.1 404 ", 0),
              0u);
    EXPECT_EQ(Send("/SetSysCfg.cgi?Option=ONLINE&Cookie=" + cookie, std::string(240, 'a'))
                  .rfind("HTTP/1.1 403 ", 0),
              0u);
    EXPECT_EQ(*device_.Section("DVRLIVE"), live);
}

// SECURE holds the accounts the device logs in by, laid out as the client reads them; a restart
// keeps what was sent since.
TEST_F(DeviceEmulatorCgiTest, SecureHoldsTheAccountsOfTheFirstStart) {
    const std::string secure =
        BodyOf(Send("/GetSysCfg.cgi?Option=SECURE&Size=196&Cookie=" + Login()));
    ASSERT_EQ(secure.size(), 196u);
    EXPECT_EQ(secure[2], 5);
    const std::string unlimited(4, '\xff');
    const struct {
        std::size_t slot;
        std::string user;
        std::string password;
        char level;
        std::string lifeTime;
    } accounts[] = {{0, "admin", "admin", 30, unlimited},
                    {1, "guest", "guest", 0, unlimited},
                    {2, "", "", 0, std::string(4, '\0')}};
    for (const auto& a : accounts) {
        SCOPED_TRACE(a.slot);
        EXPECT_EQ(secure.substr(8 + 16 * a.slot, 16),
                  a.user + std::string(16 - a.user.size(), '\0'));
        EXPECT_EQ(secure.substr(88 + 16 * a.slot, 16),
                  a.password + std::string(16 - a.password.size(), '\0'));
        EXPECT_EQ(secure[168 + a.slot], a.level);
        EXPECT_EQ(secure.substr(176 + 4 * a.slot, 4), a.lifeTime);
    }

    std::string changed = secure;
    changed[2] = 3;
    ASSERT_TRUE(device_.SetSection("SECURE", changed));
    device_.Stop();
    device_.Start();
    EXPECT_EQ(device_.Section("SECURE"), changed);
}

TEST_F(DeviceEmulatorCgiTest, TheLogHoldsEachRequestByteForByte) {
    const std::string cookie = Login();
    // A body in a GET, and a query with characters a web server would decode.
    const std::string body("\x04\xa0\x01\x05\xa6\x01\x32", 7);
    const std::string request =
        CgiRequest("/RS485Cmd.cgi?Control=Q41E&MASTER=1&Cookie=" + cookie + "&X=a%20b c", body);
    EXPECT_EQ(Exchange(device_.Port(), request).rfind("HTTP/1.1 200 ", 0), 0u);

    const auto logged = device_.Requests("/RS485Cmd.cgi");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].raw, request);
    EXPECT_EQ(logged[0].body, body);
    EXPECT_TRUE(logged[0].complete);
    EXPECT_EQ(logged[0].Param("MASTER"), "1");
    EXPECT_EQ(logged[0].Param("X"), "a%20b c");
    EXPECT_EQ(logged[0].Param("Missing"), std::nullopt);
    EXPECT_EQ(device_.Requests().size(), 2u);
}

TEST_F(DeviceEmulatorCgiTest, ReplyFaultsShapeTheWire) {
    const std::string url = "/Login.cgi?Username=admin&Password=admin";
    const std::size_t body_size = BodyOf(Send(url)).size();
    const std::string length = std::to_string(body_size);
    struct Case {
        const char* what;
        ReplyFaults faults;
        std::string expected_part;  // text the reply must contain
        std::size_t expected_size;  // 0: any size
    };
    const std::vector<Case> cases = {
        {"status", {.status = 500}, "HTTP/1.1 500 Internal Server Error\r\n", 0},
        {"12 bytes", {.truncate_to = 12}, "HTTP/1.1 200", 12},
        {"13 bytes", {.truncate_to = 13}, "HTTP/1.1 200 ", 13},
        {"lower case",
         {.content_length_style = ContentLengthStyle::LowerCase},
         "\r\ncontent-length: " + length + "\r\n",
         0},
        {"no blank",
         {.content_length_style = ContentLengthStyle::NoBlank},
         "\r\nContent-Length:" + length + "\r\n",
         0},
        {"extra blanks",
         {.content_length_style = ContentLengthStyle::ExtraBlanks},
         "\r\nContent-Length:   " + length + "\r\n",
         0},
        {"longer than the body",
         {.content_length_delta = 100},
         "\r\nContent-Length: " + std::to_string(body_size + 100) + "\r\n",
         0},
        {"body replaced", {.body = std::string("Session-ID=x;")}, "\r\n\r\nSession-ID=x;", 0},
        {"closed", {.action = ReplyAction::CloseWithoutReply}, "", 0},
    };
    for (const Case& c : cases) {
        SetFaults("/Login.cgi", c.faults);
        const std::string reply = Send(url);
        EXPECT_NE(reply.find(c.expected_part), std::string::npos) << c.what << ": " << reply;
        if (c.expected_size != 0) {
            EXPECT_EQ(reply.size(), c.expected_size) << c.what;
        }
    }
    EXPECT_EQ(Send(url), "") << "closed without a reply";

    SetFaults("/Login.cgi", {.content_length_style = ContentLengthStyle::Omitted});
    EXPECT_EQ(Send(url).find("ength"), std::string::npos);

    for (const std::size_t size : {257u, 1025u, 1461u}) {
        SetFaults("/Login.cgi", {.pad_body_to = size});
        const std::string body = BodyOf(Send(url));
        EXPECT_EQ(body.size(), size);
        EXPECT_EQ(body.rfind("Session-ID=", 0), 0u);
    }

    // A limited fault wears off; other paths never see it.
    SetFaults("/Login.cgi", {});
    const std::string cookie = Login();
    SetFaults("/Login.cgi", {.status = 404, .times = 1});
    EXPECT_EQ(Send("/Setbrcssa.cgi?Cookie=" + cookie).rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(Send(url).rfind("HTTP/1.1 404 ", 0), 0u);
    EXPECT_EQ(Send(url).rfind("HTTP/1.1 200 ", 0), 0u);
}

TEST_F(DeviceEmulatorCgiTest, ABodySplitIntoThreeWritesArrivesInThreeReads) {
    SetFaults("/Login.cgi", {.body_splits = {0, 10}, .split_pause = 150ms});
    RawClient client(device_.Port());
    ASSERT_TRUE(client.Send(CgiRequest("/Login.cgi?Username=admin&Password=admin")));
    bool closed = false;
    const std::vector<std::string> reads = client.ReadUntilClosed(&closed);
    EXPECT_TRUE(closed);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_TRUE(reads[0].ends_with("\r\n\r\n"));
    EXPECT_EQ(reads[1], "Session-ID");
    EXPECT_EQ(reads[2].substr(0, 1), "=");

    // A split before the end of the header.
    SetFaults("/Login.cgi", {.body_splits = {-2}, .split_pause = 150ms});
    RawClient early(device_.Port());
    ASSERT_TRUE(early.Send(CgiRequest("/Login.cgi?Username=admin&Password=admin")));
    const std::vector<std::string> pieces = early.ReadUntilClosed();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].ends_with("close\r\n"));
    EXPECT_EQ(pieces[1].substr(0, 13), "\r\nSession-ID=");
}

TEST_F(DeviceEmulatorCgiTest, AStalledReplyHoldsTheConnectionUntilStop) {
    SetFaults("/RebootServer.cgi", {.action = ReplyAction::Stall});
    RawClient client(device_.Port());
    ASSERT_TRUE(client.Send(CgiRequest("/RebootServer.cgi")));
    EXPECT_EQ(client.ReadOnce(300ms), std::nullopt);
    EXPECT_TRUE(device_.WaitForRequests("/RebootServer.cgi", 1, 1s));

    const auto before = std::chrono::steady_clock::now();
    device_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(client.ReadOnce(1s), "") << "the device closes when it stops";
}

TEST_F(DeviceEmulatorCgiTest, ARefusedPortCanBeOpenedAgain) {
    const auto port = device_.Port();
    EXPECT_TRUE(device_.SetListening(false));
    RawClient refused(port);
    EXPECT_FALSE(refused.Connected());
    EXPECT_EQ(refused.ConnectError(), ECONNREFUSED);

    EXPECT_TRUE(device_.SetListening(true));
    EXPECT_EQ(device_.Port(), port);
    EXPECT_EQ(Send("/Login.cgi?Username=admin&Password=admin").rfind("HTTP/1.1 200 ", 0), 0u);
}

TEST_F(DeviceEmulatorCgiTest, ANewWebPortInTheIpSectionMovesTheDeviceAfterItsReply) {
    const std::string cookie = Login();
    const auto old_port = device_.Port();
    std::string ip = *device_.Section("IP");
    const auto set_port = [&](std::uint16_t port) {
        ip[16] = static_cast<char>(port & 0xff);
        ip[17] = static_cast<char>(port >> 8);
        return Exchange(device_.Port(),
                        CgiRequest("/SetSysCfg.cgi?Option=IP&Cookie=" + cookie, ip));
    };
    // A port that is free just now. Another program on the machine may take it before the device
    // does, which leaves the device where it is (as below): then it is asked again with another.
    std::uint16_t new_port = 0;
    for (int attempt = 0; attempt < 5 && device_.Port() == old_port; ++attempt) {
        {
            DeviceEmulator probe;
            probe.Start();
            new_port = probe.Port();
        }
        EXPECT_EQ(set_port(new_port).rfind("HTTP/1.1 200 ", 0), 0u);
    }
    // It listens on the new port by the time it answers, and the old one no longer answers as the
    // device (another program may have taken it meanwhile).
    ASSERT_EQ(device_.Port(), new_port);
    {
        RawClient old_client(old_port);
        if (old_client.Connected()) {
            old_client.Send(CgiRequest("/GetSysCfg.cgi?Option=IP&Size=24&Cookie=" + cookie));
            std::string reply;
            for (const std::string& part : old_client.ReadUntilClosed(nullptr, 2s)) {
                reply += part;
            }
            EXPECT_NE(BodyOf(reply), ip) << "the device still answers on its old port";
        } else {
            EXPECT_EQ(old_client.ConnectError(), ECONNREFUSED);
        }
    }
    EXPECT_EQ(BodyOf(Send("/GetSysCfg.cgi?Option=IP&Size=24&Cookie=" + cookie)), ip);

    // A port it cannot take (another listener holds it) leaves it where it is.
    DeviceEmulator holder;
    holder.Start();
    EXPECT_EQ(set_port(holder.Port()).rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(device_.Port(), new_port);
    EXPECT_EQ(BodyOf(Send("/GetSysCfg.cgi?Option=IP&Size=24&Cookie=" + cookie)), ip);
    // Other sections and refused sets never move it.
    ip[16] = 1;
    const std::string refused =
        Exchange(new_port, CgiRequest("/SetSysCfg.cgi?Option=IP&Cookie=" + cookie, ip.substr(1)));
    EXPECT_EQ(refused.rfind("HTTP/1.1 400 ", 0), 0u) << refused;
    EXPECT_EQ(device_.Port(), new_port);
}

TEST_F(DeviceEmulatorCgiTest, CommandsChangeTheDeviceState) {
    const std::string cookie = "&Cookie=" + Login();
    EXPECT_EQ(Send("/SetRetr.cgi?SET=1" + cookie).rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(Send("/Setresolution.cgi?RES=2" + cookie).rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(Send("/Setquality.cgi?QUA=7" + cookie).rfind("HTTP/1.1 400 ", 0), 0u);
    EXPECT_EQ(Send("/Nothing.cgi?" + cookie).rfind("HTTP/1.1 404 ", 0), 0u);
    EXPECT_EQ(Send("/RebootServer.cgi?" + cookie).rfind("HTTP/1.1 200 ", 0), 0u);
    const Settings s = device_.Snapshot();
    EXPECT_EQ(s.state.retr, 1);
    EXPECT_EQ(s.state.resolution, 2);
    EXPECT_EQ(s.state.quality, 0);
    EXPECT_EQ(s.state.reboots, 1);
    // The reboot ended the session.
    EXPECT_EQ(Send("/Setquality.cgi?QUA=1" + cookie).rfind("HTTP/1.1 401 ", 0), 0u);
}

}  // namespace

namespace {

TEST_F(DeviceEmulatorCgiTest, EventLogIsCountedThenServedNewestPageFirst) {
    device_.Update([](Settings& s) {
        s.identity.check_cookie = false;
        s.event_log.entries = device_emulator::SampleEventLog(40);
        s.event_log.entries[39] = {.event_id = 0x01020304,
                                   .date = {26, 12, 31},
                                   .hour = 23,
                                   .minute = 59,
                                   .second = 58,
                                   .channel = 16,
                                   .detail = std::string(30, 'd')};
    });
    EXPECT_EQ(BodyOf(Send("/Getlog.cgi?STATE=COUNT")), "COUNT=40;");
    const std::string last = BodyOf(Send("/Getlog.cgi?STATE=LAST"));
    ASSERT_EQ(last.size(), 32u * 32u);
    // Entries in log order, the newest last; the detail fills its 21 bytes without a NUL.
    EXPECT_EQ(
        last.substr(31 * 32),
        std::string("\x04\x03\x02\x01\x1A\x0C\x1F\x17\x3B\x3A\x10", 11) + std::string(21, 'd'));
    EXPECT_EQ(last.substr(0, 32),
              device_emulator::EncodeEventLogEntry(device_emulator::SampleEventLog(40)[8]));
    EXPECT_EQ(BodyOf(Send("/Getlog.cgi?STATE=PRE")).size(), 8u * 32u);
    EXPECT_EQ(BodyOf(Send("/Getlog.cgi?STATE=PRE")), "");
    EXPECT_EQ(Send("/Getlog.cgi?STATE=NEXT").rfind("HTTP/1.1 400 ", 0), 0u);

    device_.Update([](Settings& s) {
        s.event_log.reported_count = 7;
        s.event_log.failing_page = 1;
        s.event_log.page_tail_bytes = 3;
    });
    EXPECT_EQ(BodyOf(Send("/Getlog.cgi?STATE=COUNT")), "COUNT=7;");
    EXPECT_EQ(BodyOf(Send("/Getlog.cgi?STATE=LAST")).size(), 32u * 32u + 3u);
    EXPECT_EQ(Send("/Getlog.cgi?STATE=PRE").rfind("HTTP/1.1 500 ", 0), 0u);
}

}  // namespace
