#include "protocol/command_sender.h"

#include <gtest/gtest.h>

#include <vector>

#include "device_fixture.h"
#include "protocol/cgi_request.h"
#include "protocol/config_section.h"
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
        {"no length", {.content_length_style = ContentLengthStyle::Omitted}, 1, ""},
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

// What the device would read as more parameters, the end of the target, an escape or the end
// of the request line cannot go in a value; the device decodes nothing, so it is refused.
TEST(CgiRequest, ValuesTheQueryCannotCarryAreNamedAndRefuseTheRequest) {
    const struct {
        std::string value;
        std::string refused;
    } cases[] = {
        {"admin", ""},
        {"Q41E-1.0_x+y~!*'()", ""},
        {"jos\xe9", ""},  // 8-bit text goes as it is, as everywhere in the protocol
        {"pw&Username=guest&Cookie=x", "&="},
        {"two words", " "},
        {"100%#1?", "%#?"},
        {std::string("a\r\nb\0c\x7f", 7), std::string("\r\n\0\x7f", 4)},
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
    for (const char* target : {"", "Setchannel.cgi", "/a b", "/a#b", "/a%20", "/a\r\nX: 1"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(DeviceRequestHead(target, "10.0.0.5"), "");
    }
    EXPECT_EQ(DeviceRequestHead("/x", "10.0.0.5\r\nX: 1"), "");
}

}  // namespace
