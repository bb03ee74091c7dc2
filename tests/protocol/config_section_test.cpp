#include "protocol/config_section.h"

#include <gtest/gtest.h>

#include "device_fixture.h"
#include "protocol/login.h"

namespace {

class ConfigSections : public test_support::DeviceFixture {
protected:
    ConfigSections() { EXPECT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::LoggedIn); }
};

TEST_F(ConfigSections, RoundTripOfEverySection) {
    const std::pair<std::uint8_t, std::uint32_t> sizes[] = {
        {CFG_IP, 24},    {CFG_SECURE, 196},  {CFG_DNS, 12},     {CFG_SMTP, 440}, {CFG_FTP, 104},
        {CFG_PPPOE, 68}, {CFG_SNTP, 40},     {CFG_IMG, 12},     {CFG_ALARM, 24}, {CFG_RS485, 124},
        {CFG_INF, 44},   {CFG_DVRLIVE, 772}, {CFG_DVRREC, 128},
    };
    for (const auto& [section, size] : sizes) {
        SCOPED_TRACE(ConfigSectionNames[section]);
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + section);
        }
        if (section == CFG_IP) {
            // The device moves to a web port it is given; this one keeps it where it is.
            bytes[16] = static_cast<std::uint8_t>(device.Port());
            bytes[17] = static_cast<std::uint8_t>(device.Port() >> 8);
        }
        ASSERT_EQ(SetConfigSection(section, bytes.data(), size, 0), 1);
        std::vector<std::uint8_t> back(size, 0);
        ASSERT_EQ(GetConfigSection(section, back.data(), size), 1);
        EXPECT_EQ(back, bytes);
    }
}

TEST_F(ConfigSections, WrongSizesLeaveTheBufferAsItWas) {
    std::vector<std::uint8_t> buffer(24, 0xAB);
    Faults("/GetSysCfg.cgi", {.body = std::string(25, 'x')});
    EXPECT_EQ(GetConfigSection(CFG_IP, buffer.data(), 24), 0);
    Faults("/GetSysCfg.cgi", {.body = std::string(23, 'x')});
    EXPECT_EQ(GetConfigSection(CFG_IP, buffer.data(), 24), 0);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(24, 0xAB));

    // The online-user list is as long as the users logged in.
    Faults("/GetSysCfg.cgi", {.body = std::string(48, 'u')});
    std::vector<std::uint8_t> online(240, 0xAB);
    EXPECT_EQ(GetConfigSection(CFG_ONLINE, online.data(), 240), 1);
    EXPECT_EQ(online[47], 'u');
    EXPECT_EQ(online[48], 0);

    // Nobody logged in, asked into an empty buffer.
    Faults("/GetSysCfg.cgi", {.body = std::string()});
    std::vector<std::uint8_t> none;
    EXPECT_EQ(GetConfigSection(CFG_ONLINE, none.data(), 0), 1);
}

TEST_F(ConfigSections, QueriesCarryRefreshOnlyForDnsAndTheCookieOnlyWhenHeld) {
    const std::string cookie = g_szSessionCookie.Get();
    std::uint8_t dns[12] = {};
    ASSERT_EQ(SetConfigSection(CFG_DNS, dns, 12, 1), 1);
    ASSERT_EQ(SetConfigSection(CFG_IMG, dns, 12, 1), 1);
    std::uint8_t ip[24];
    ASSERT_EQ(GetConfigSection(CFG_IP, ip, 24), 1);
    const auto sets = device.Requests("/SetSysCfg.cgi");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].query, "Option=DNS&Refresh=True&Cookie=" + cookie);
    EXPECT_EQ(sets[1].query, "Option=IMG&Cookie=" + cookie);
    EXPECT_EQ(device.Requests("/GetSysCfg.cgi")[0].query, "Option=IP&Size=24&Cookie=" + cookie);

    g_szSessionCookie.Clear();
    device.Update([](auto& s) { s.identity.check_cookie = false; });
    ASSERT_EQ(SetConfigSection(CFG_DNS, dns, 12, 0), 1);
    EXPECT_EQ(device.Requests("/SetSysCfg.cgi")[2].query, "Option=DNS&Refresh=False");
}

}  // namespace
