#include "protocol/remote_key.h"

#include <gtest/gtest.h>

#include "device_fixture.h"
#include "protocol/ctrl_file.h"
#include "protocol/login.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

KeyCommandEntry Key(const char* line) {
    KeyCommandEntry entry;
    EXPECT_TRUE(ParseKeyCommandLine(entry, line));
    return entry;
}

TEST(KeyBody, TheThreeForms) {
    CtrlProtocol protocol;
    protocol.abParameter[3] = 0x77;
    const KeyContext context{.masterId = 1, .peripheralId = 9, .userClassCode = 40, .retr = false};
    const struct {
        const char* name;
        const char* line;
        bool retr;
        Bytes body;
    } cases[] = {
        {"ordinary with master id and sum",
         "X04 XA0 X%D X05 X%2",
         false,
         {0x04, 0xA0, 0x01, 0x05, 0xA6, 0x01, 0x32}},
        {"sum from the second byte",
         "X04 X10 X20 X30 X%6",
         false,
         {0x04, 0x10, 0x20, 0x30, 0x50, 0x01, 0x32}},
        {"peripheral, user class, parameter",
         "X03 X%B X%1 X%3",
         false,
         {0x03, 9, 40, 0x77, 0x01, 0x32}},
        {"two variants, R.E.T.R. off",
         "X07 X%A X02 XAA XBB X0A X01 XCC",
         false,
         {0x01, 0xCC, 0x01, 0x32}},
        {"two variants, R.E.T.R. on",
         "X07 X%A X02 XAA XBB X0A X01 XCC",
         true,
         {0x02, 0xAA, 0xBB, 0x01, 0x32}},
        {"raw form",
         "X09 X%3 X04 X%B X%1 X42 X%4 XFF X%5 X55",
         false,
         {0x04, 9, 40, 0x42, 0xFF, 0x55, 0x00}},
        {"raw form stops at a zero past the count",
         "X06 X%3 X01 X11 X00 X22 X33",
         false,
         {0x01, 0x11, 0x00, 0x00}},
        // An empty body stands for a refusal.
        {"raw form ends with the template", "X03 X%3 X05 X%4", false, Bytes{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeyContext k = context;
        k.retr = c.retr;
        const auto body = BuildKeyBody(protocol, Key(c.line), 1, k);
        if (c.body.empty()) {
            EXPECT_FALSE(body);
        } else {
            ASSERT_TRUE(body);
            EXPECT_EQ(*body, c.body);
        }
    }
}

TEST(KeyBody, TemplatesThatWouldOverrunAreRefused) {
    CtrlProtocol protocol;
    std::string line = "X3E";  // 62 bytes: 65 with the framing
    for (int i = 0; i < 62; ++i) {
        line += " X01";
    }
    EXPECT_FALSE(BuildKeyBody(protocol, Key(line.c_str()), 1, {}));
    // The variant scan never leaves the template.
    EXPECT_FALSE(BuildKeyBody(protocol, Key("X03 X%A X01 X02"), 1, {}));
    EXPECT_FALSE(BuildKeyBody(protocol, Key("X03 X%A X05 X02 X03"), 1, {.retr = true}));
}

class KeySender : public test_support::DeviceFixture {
protected:
    KeySender() {
        EXPECT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn);
        g_lpApp->m_lpCtrlFileRecords.resize(1);
        CtrlProtocol& protocol = g_lpApp->m_lpCtrlFileRecords[0];
        protocol.Keys[0] = Key("X04 XA0 X%D X05 X%2");
        protocol.Keys[66] = Key("X01 X42");
        g_lpApp->m_DeviceProtocol[KLM300_DVR] = 0;
        g_lpApp->m_DeviceProtocol[PTZ_PELCO] = 0;
        CDeviceList& list = g_lpApp->m_DeviceList;
        list.Add(0, 1, KLM300_DVR, CDeviceList::kMasterKind);
        list.Add(2400, 3, PTZ_PELCO, CDeviceList::kPeripheralKind);
        list.Add(2400, 4, PTZ_PELCO, CDeviceList::kPeripheralKind);
        list.Select(CDeviceList::kMasterKind, 0);
    }
};

TEST_F(KeySender, BodiesAndAddressesReachTheDevice) {
    ASSERT_EQ(SendRemoteKey(0, 0), 1);
    g_lpApp->m_DeviceList.Select(CDeviceList::kPeripheralKind, 1);
    g_lpApp->m_bKeyMode = 5;
    ASSERT_EQ(SendRemoteKey(1, 66), 1);
    const auto sent = device.Requests("/RS485Cmd.cgi");
    ASSERT_EQ(sent.size(), 2u);
    const std::string cookie = g_szSessionCookie.Get();
    EXPECT_EQ(sent[0].query, "Control=Q41E&MASTER=1&Cookie=" + cookie);
    EXPECT_EQ(sent[0].body, std::string("\x04\xA0\x01\x05\xA6\x01\x32", 7));
    EXPECT_EQ(sent[1].query, "Control=Q41E&CH=1&MASTER=0&Cookie=" + cookie);
    EXPECT_EQ(sent[1].body, std::string("\x01\x42\x05\x32", 4));
}

TEST_F(KeySender, RefusalsTellTheUser) {
    EXPECT_EQ(SendRemoteKey(0, 1), 0);   // no template
    EXPECT_EQ(SendRemoteKey(0, 67), 0);  // no such key
    g_lpApp->m_DeviceProtocol[KLM300_DVR] = -1;
    EXPECT_EQ(SendRemoteKey(0, 0), 0);  // no protocol
    g_lpApp->m_DeviceProtocol[KLM300_DVR] = 0;
    Faults("/RS485Cmd.cgi", {.status = 500});
    EXPECT_EQ(SendRemoteKey(0, 0), 0);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Web Server don't support this command!",
                                        "Web Server don't support this command!",
                                        "It couldn't find this device command protocol",
                                        "Send command to device is failed !!"}));
}

}  // namespace
