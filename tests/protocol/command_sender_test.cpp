#include "protocol/command_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "device_fixture.h"
#include "protocol/cgi_request.h"
#include "protocol/config_section.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"

namespace {

using device_emulator::ContentLengthStyle;
using device_emulator::ReplyAction;
using device_emulator::ReplyFaults;

class CommandSender : public test_support::DeviceFixture {
protected:
    CommandSender() {
        device.Update([](auto& s) { s.identity.check_cookie = false; });
    }

    // One command whose reply body is the given text, through the given faults.
    struct Result {
        int ok = 0;
        std::string body;
        VortaStatus status;
    };
    Result Send(const std::string& body, ReplyFaults faults, std::uint32_t capacity = 1024) {
        faults.body = body;
        Faults("/Setchannel.cgi", faults);
        Result r;
        std::vector<char> buffer(capacity, '#');
        std::uint32_t length = 0;
        r.ok = VortaSendCommand(CGI_SETCHANNEL, "/Setchannel.cgi?CH=1", nullptr, 0, &r.status,
                                buffer.data(), capacity, &length);
        r.body.assign(buffer.data(), r.ok ? length : 0);
        return r;
    }
};

TEST_F(CommandSender, RequestBytesAreExact) {
    ASSERT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn);
    const auto login = device.Requests("/Login.cgi");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].raw, std::string("GET /Login.cgi?Username=admin&Password=admin") +
                                test_support::kRequestHeaders + test_support::kRequestTail);

    const std::string section(12, '\x07');
    ASSERT_EQ(SetConfigSection(CFG_IMG, section.data(), 12, 0), 1);
    const auto set = device.Requests("/SetSysCfg.cgi");
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].raw, "GET /SetSysCfg.cgi?Option=IMG&Cookie=" + g_szSessionCookie.Get() +
                              test_support::kRequestHeaders + "Content-Length: 12\r\n" +
                              test_support::kRequestTail + section);
}

TEST_F(CommandSender, RepliesInEveryShape) {
    const std::string body24 = "0123456789abcdefghijklmn";
    const struct {
        const char* name;
        ReplyFaults faults;
        int ok;
        std::string body;
    } cases[] = {
        {"plain", {}, 1, body24},
        {"three pieces",
         {.body_splits = {5, 17}, .split_pause = std::chrono::milliseconds(30)},
         1,
         body24},
        {"header end split", {.body_splits = {-2}}, 1, body24},
        {"lower-case header", {.content_length_style = ContentLengthStyle::LowerCase}, 1, body24},
        {"no blank after the colon",
         {.content_length_style = ContentLengthStyle::NoBlank},
         1,
         body24},
        {"extra blanks", {.content_length_style = ContentLengthStyle::ExtraBlanks}, 1, body24},
        {"no length: the body ends at the close",
         {.content_length_style = ContentLengthStyle::Omitted},
         1,
         body24},
        {"length beyond the body", {.content_length_delta = 4}, 0, ""},
        {"negative length", {.content_length_delta = -100}, 0, ""},
        {"status 202", {.status = 202}, 0, ""},
        {"status 500", {.status = 500}, 0, ""},
        {"12 bytes", {.truncate_to = 12}, 0, ""},
        {"13 bytes", {.truncate_to = 13}, 1, ""},
        {"closed without reply", {.action = ReplyAction::CloseWithoutReply}, 0, ""},
        {"stall", {.action = ReplyAction::Stall}, 0, ""},
    };
    platform::SetClockSpeed(30.0);  // the 15-second receive time-outs
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = Send(body24, c.faults);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.body, c.body);
    }
    EXPECT_EQ(Send(body24, {.status = 202}).status.httpStatus, 202);
}

// HTTP/1.1 lets a device end a body with its close or send it in chunks. Both are read whole;
// a chunk size that lies, a reply that stops, a body beyond the caller's room are not.
TEST_F(CommandSender, BodiesThatEndAtTheCloseOrComeInChunks) {
    const std::string body = "Session-ID=QUJDRA==;Firmware-Version=3.1.4;Product-ID=Q41E;";
    using std::chrono::milliseconds;
    const struct {
        const char* name;
        ReplyFaults faults;
        bool whole;
    } cases[] = {
        {"to the close", {.content_length_style = ContentLengthStyle::Omitted}, true},
        {"to the close, trickled",
         {.content_length_style = ContentLengthStyle::Omitted,
          .split_pause = milliseconds(2),
          .trickle_bytes = 5},
         true},
        {"chunks of 7", {.chunk_size = 7}, true},
        {"chunks of 1", {.chunk_size = 1}, true},
        {"one chunk", {.chunk_size = 4096}, true},
        {"chunks with extensions", {.chunk_size = 16, .chunk_extension = " ; name=\"v;1\""}, true},
        {"chunks trickled",
         {.split_pause = milliseconds(2), .trickle_bytes = 3, .chunk_size = 10},
         true},
        {"chunks split at their lines",
         {.body_splits = {1, 2, 3}, .split_pause = milliseconds(20), .chunk_size = 10},
         true},

        {"a size line claiming more", {.chunk_size = 10, .chunk_size_delta = 3}, false},
        {"a size line claiming less", {.chunk_size = 10, .chunk_size_delta = -1}, false},
        {"a size line that is no number", {.chunk_size = 10, .chunk_extension = "zz"}, false},
        {"chunks cut by the close", {.truncate_to = 150, .chunk_size = 10}, false},
        {"chunks that stop", {.truncate_to = 150, .chunk_size = 10, .hold_open = true}, false},
        {"to a close that never comes",
         {.content_length_style = ContentLengthStyle::Omitted, .hold_open = true},
         false},
        {"chunks that trickle past the reply's time",
         {.body_splits = {10, 20, 30, 40, 50, 60, 70, 80},
          .split_pause = milliseconds(200),
          .chunk_size = 10},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Whole replies never wait for the time-out; the others are waited out fast.
        platform::SetClockSpeed(c.whole ? 1.0 : 30.0);
        const Result r = Send(body, c.faults);
        EXPECT_EQ(r.ok, c.whole ? 1 : 0);
        EXPECT_EQ(r.body, c.whole ? body : "");
        if (!c.whole) {
            EXPECT_EQ(r.status.failure, SendFailure::BadReply);
        }
    }
    // The caller's room bounds a body of either form.
    platform::SetClockSpeed(1.0);
    EXPECT_EQ(Send(body, {.chunk_size = 7}, 40).ok, 0);
    EXPECT_EQ(Send(body, {.content_length_style = ContentLengthStyle::Omitted}, 40).ok, 0);
    EXPECT_EQ(Send(body, {.chunk_size = 7}, static_cast<std::uint32_t>(body.size())).ok, 1);
}

// The login and the device info read in every form a device may answer them in.
TEST_F(CommandSender, TheLoginAndDeviceInfoReadInEveryReplyForm) {
    device.Update([](auto& s) { s.identity.check_cookie = true; });
    for (const ReplyFaults& form :
         {ReplyFaults{.content_length_style = ContentLengthStyle::Omitted},
          ReplyFaults{.chunk_size = 5}, ReplyFaults{.bare_lf = true},
          ReplyFaults{.chunk_size = 5, .bare_lf = true},
          ReplyFaults{.body_splits = {-2, -1},
          .split_pause = std::chrono::milliseconds(5),
          .bare_lf = true}}) {
        Faults("*", form);
        ASSERT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn);
        const auto info = SendDeviceInfoRequest();
        ASSERT_TRUE(info);
        EXPECT_EQ(ParseDeviceInfoReply(*info).lifeTime, 0xFFFFFFFFu);
        EXPECT_EQ(ParseDeviceInfoReply(*info).userLevel, 30u);
    }
}

TEST_F(CommandSender, BodiesLargerThanTheCallersBufferFailWithoutOverrun) {
    for (std::size_t size : {257u, 1025u, 1461u}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(Send("", {.pad_body_to = size}, 256).ok, 0);
        const Result whole = Send("", {.pad_body_to = size}, 2048);
        EXPECT_EQ(whole.ok, 1);
        EXPECT_EQ(whole.body, std::string(size, 'x'));
    }
}

TEST_F(CommandSender, RebootSucceedsWithoutAnAnswer) {
    Faults("/RebootServer.cgi", {.action = ReplyAction::Stall});
    CCgiRequest request(CGI_REBOOTSERVER);
    EXPECT_EQ(request.Url(), "/RebootServer.cgi");
    EXPECT_EQ(
        VortaSendCommand(CGI_REBOOTSERVER, request.Url(), nullptr, 0, nullptr, nullptr, 0, nullptr),
        1);
}

// The receive time-out bounds the whole reply: a device that sends a byte now and then, each
// well inside the time-out, once held the caller for as long as it kept trickling.
TEST_F(CommandSender, ATricklingReplyFailsAtTheTimeOutOfTheWholeReply) {
    platform::SetClockSpeed(10.0);  // one byte per second of the program's clock
    const Result trickled =
        Send("0123456789", {.split_pause = std::chrono::milliseconds(100), .trickle_bytes = 1});
    EXPECT_EQ(trickled.ok, 0);
    // The request was answered, byte by byte, and the answer was not waited out.
    EXPECT_EQ(device.Requests("/Setchannel.cgi").size(), 1u);

    // A reply in many small pieces that ends within the time-out is whole.
    platform::SetClockSpeed(1.0);
    const Result pieces =
        Send("0123456789", {.split_pause = std::chrono::milliseconds(5), .trickle_bytes = 8});
    EXPECT_EQ(pieces.ok, 1);
    EXPECT_EQ(pieces.body, "0123456789");
}

// The address the network page sent moves the client only together with that send: the sender
// itself leaves the address alone, whatever reply it accepts.
TEST_F(CommandSender, AnAcceptedReplyLeavesTheAddressAlone) {
    EXPECT_EQ(Send("", {}).ok, 1);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
    EXPECT_EQ(GetDeviceAddress().webPort, device.Port());
    SwitchDeviceAddress(std::nullopt, 8080);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
    EXPECT_EQ(GetDeviceAddress().webPort, 8080);
    SwitchDeviceAddress("127.0.0.2", std::nullopt);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.2");
    EXPECT_EQ(GetDeviceAddress().webPort, 8080);
}

TEST_F(CommandSender, NamesResolveAndOnlyTheLoginKeepsTheDottedForm) {
    SetDeviceAddress("localhost", device.Port());
    EXPECT_EQ(VortaSendCommand(CGI_SETCHANNEL, "/Setchannel.cgi?CH=1", nullptr, 0, nullptr, nullptr,
                               0, nullptr),
              1);
    EXPECT_EQ(GetDeviceAddress().server, "localhost");
    EXPECT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");

    SetDeviceAddress("no-such-host.invalid", device.Port());
    EXPECT_EQ(VortaSendCommand(CGI_SETCHANNEL, "/Setchannel.cgi", nullptr, 0, nullptr, nullptr, 0,
                               nullptr),
              0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"IP Address is wrong."});

    SetDeviceAddress("", device.Port());
    EXPECT_EQ(VortaSendCommand(CGI_SETCHANNEL, "/x", nullptr, 0, nullptr, nullptr, 0, nullptr), 0);
}

TEST_F(CommandSender, RefusedPortFails) {
    ASSERT_TRUE(device.SetListening(false));
    EXPECT_EQ(VortaSendCommand(CGI_SETCHANNEL, "/Setchannel.cgi", nullptr, 0, nullptr, nullptr, 0,
                               nullptr),
              0);
}

TEST(DottedAddress, DigitsAndDotsOnly) {
    EXPECT_EQ(IsDottedAddress("192.168.1.10"), 2);
    EXPECT_EQ(IsDottedAddress(""), 2);
    EXPECT_EQ(IsDottedAddress("1.2.3.a"), 1);
    EXPECT_EQ(IsDottedAddress("localhost"), 1);
}

TEST(CgiRequest, BuildsPathsAndQueries) {
    CCgiRequest r(CGI_GETSYSCFG);
    r.AddParam("Option", "IP");
    r.AddParamInt("Size", 24);
    EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?Option=IP&Size=24");
    r.AddParamInt("QUA", -1);
    EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?Option=IP&Size=24&QUA=-1");
    EXPECT_EQ(r.GetUrlLength(), r.Url().size());
    r.Reset();
    r.AddParam("a", "b");
    EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?a=b");
    EXPECT_EQ(CgiCommandTable[19].path, "/PTZReset.cgi");
}

// The device decodes nothing, so a value goes as typed. Only what would end the request line
// (control characters), end the target (the blank) or start the next pair ("&") cannot travel:
// such a value is refused, never encoded.
TEST(CgiRequest, ValuesGoAsTypedUnlessTheRequestCannotCarryThem) {
    const struct {
        std::string value;
        std::string refused;
    } cases[] = {
        {"admin", ""},      {"50%off", ""},
        {"a#1", ""},        {"why?", ""},
        {"a=b", ""},        {"50%off#1", ""},
        {"QUJDRA==", ""},   {"Q41E-1.0_x+y~!*'()\"\\,;:/[]{}|^`<>@$", ""},
        {"jos\xe9", ""},  // 8-bit text goes as it is, as everywhere in the protocol

        {"pass word", " "}, {"pw&Username=guest&Cookie=x", "&"},
        {"a\tb", "\t"},     {std::string("a\r\nb\0c\x7f", 7), std::string("\r\n\0\x7f", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(UncarriableCharacters(c.value), c.refused);
        CCgiRequest r(CGI_LOGIN);
        r.AddParam("Username", "admin");
        EXPECT_EQ(r.AddParam("Password", c.value), c.refused.empty() ? 1u : 0u);
        EXPECT_EQ(r.Refused(), c.refused);
        EXPECT_EQ(r.Url(),
                  c.refused.empty() ? "/Login.cgi?Username=admin&Password=" + c.value : "");
    }
    EXPECT_EQ(NameCharacters(std::string("&= \n", 4)), "\"&\", \"=\", the blank, 0x0A");

    // A refused request stays refused until it is reset.
    CCgiRequest r(CGI_GETSYSCFG);
    r.AddParam("Cookie", "a b");
    EXPECT_EQ(r.AddParamInt("Size", 24), 0u);
    EXPECT_EQ(r.Url(), "");
    r.Reset();
    EXPECT_EQ(r.Refused(), "");
    r.AddParamInt("Size", 24);
    EXPECT_EQ(r.Url(), "/GetSysCfg.cgi?Size=24");
}

TEST(CgiRequest, TheRequestHeadCarriesOnlyASoundTargetAndHost) {
    EXPECT_EQ(DeviceRequestHead("/Setchannel.cgi?CH=1", "10.0.0.5", 3),
              std::string("GET /Setchannel.cgi?CH=1") + test_support::kRequestHeaders +
                  "Content-Length: 3\r\n" + test_support::kRequestTail);
    for (const char* target : {"/Login.cgi?Password=50%off#1", "/a?b=c=d?"}) {
        EXPECT_TRUE(DeviceRequestHead(target, "10.0.0.5")
                        .starts_with(std::string("GET ") + target + " HTTP/1.1\r\n"));
    }
    for (const char* target : {"", "Setchannel.cgi", "/a b", "/a\tb", "/a\r\nX: 1"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(DeviceRequestHead(target, "10.0.0.5"), "");
    }
    EXPECT_EQ(DeviceRequestHead("/x", "10.0.0.5\r\nX: 1"), "");
}

}  // namespace
