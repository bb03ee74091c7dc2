#include "protocol/device_reply.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplyParsing, TheOneRuleForEveryKey) {
    const struct {
        const char* reply;
        const char* key;
        std::size_t skip;
        std::optional<std::string> value;
    } cases[] = {
        {"XLIFETIME=5;LIFETIME=9;", "LIFETIME", 9, "5"},  // first occurrence anywhere
        {"A=1;LIFETIME=7", "LIFETIME", 9, "7"},           // no ";": to the end of the reply
        {"lifetime=7;", "LIFETIME", 9, std::nullopt},     // case-sensitive
        {"LIFETIME;", "LIFETIME", 9, ""},                 // value shorter than the skip
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplyValue(c.reply, c.key, c.skip), c.value) << c.reply;
    }
    // The reply ends at its first zero byte.
    const std::string embeddedZero("A=1;\0LIFETIME=3;", 16);
    EXPECT_EQ(ReplyValue(embeddedZero, "LIFETIME", 9), std::nullopt);
    EXPECT_EQ(ReplyValue("K=" + std::string(300, 'v') + ";", "K=", 2)->size(), 255u);
}

TEST(ReplyParsing, NumbersWrapModulo2To32) {
    EXPECT_EQ(ReplyAtoi("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ReplyAtoi("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ReplyAtoi("4294967296"), 0u);
    EXPECT_EQ(ReplyAtoi("  20x"), 20u);
    EXPECT_EQ(ReplyAtoi("abc"), 0u);
    EXPECT_EQ(ParseDeviceInfoReply("XLIFETIME=5;LIFETIME=9;").lifeTime, 5u);
    EXPECT_EQ(ParseDeviceInfoReply("LIFETIME=4294967296;").lifeTime, 0u);
    EXPECT_EQ(ParseDeviceInfoReply("USERLEVEL=a20;").userLevel, 0u);
}

TEST(ReplyParsing, LoginReply) {
    const auto partial = ParseLoginReply("Session-ID=abc;Product-ID=Q41E;");
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->sessionId, "abc");
    EXPECT_EQ(partial->productId, "Q41E");
    EXPECT_FALSE(partial->firmwareVersion);

    EXPECT_FALSE(ParseLoginReply("Product-ID=Q41E;"));

    const auto full = ParseLoginReply(
        "Firmware-Version=3.1.4;Session-ID=k;MAC-Address=0012AB34CD56FF;Host-Name=dvr;");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->firmwareVersion, "3.1.4");
    EXPECT_EQ(full->macAddress, "0012AB34CD56");
    EXPECT_EQ(full->hostName, "dvr");
}

// The session goes back as the "Cookie" value of every request: any text such a value carries
// as typed is a session, base64 with its padding too.
TEST(ReplyParsing, ASessionIsAnyTextACookieValueCarries) {
    const struct {
        std::string item;
        std::optional<std::string> session;
    } cases[] = {
        {"abc", "abc"},
        {"QUJDRA==", "QUJDRA=="},
        {"a+b/c=", "a+b/c="},
        {"50%25#x?y=z", "50%25#x?y=z"},
        {"\"quoted\",a\\b", "\"quoted\",a\\b"},
        {"s\xe9"
         "ance",
         "s\xe9"
         "ance"},
        {std::string(63, 's'), std::string(63, 's')},
        {"one;Session-ID=two", "one"},  // the item ends at its ";"

        {"", std::nullopt},  // no session: the later requests would carry no cookie
        {std::string(64, 's'), std::nullopt},
        {"a b", std::nullopt},
        {"a&Cookie=b", std::nullopt},
        {"a\tb", std::nullopt},
        {"a\r\nX: 1", std::nullopt},
        {"a\x7f", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const auto reply = ParseLoginReply("Session-ID=" + c.item + ";Product-ID=Q41E;");
        EXPECT_EQ(reply ? std::optional(reply->sessionId) : std::nullopt, c.session);
    }
}

TEST(ReplyParsing, PeripheralList) {
    const auto info = ParseDeviceInfoReply(
        "LINKDEVICE=19;RETR=1;SLAVENUM=2;SID=3;STYPE=1;SPROTOCOL=1;SID=4;STYPE=5;SPROTOCOL=1;");
    EXPECT_EQ(info.linkDevice, 19u);
    EXPECT_EQ(info.retr, 1u);
    ASSERT_EQ(info.peripherals.size(), 2u);
    EXPECT_EQ(info.peripherals[0].id, 3u);
    EXPECT_EQ(info.peripherals[0].type, 18u);
    EXPECT_EQ(info.peripherals[1].id, 4u);
    EXPECT_EQ(info.peripherals[1].type, 5u);

    // A missing item keeps the previous peripheral's value; an absurd count is bounded.
    const auto sparse = ParseDeviceInfoReply("SLAVENUM=4294967295;SID=7;STYPE=1;");
    ASSERT_EQ(sparse.peripherals.size(), kMaxPeripherals);
    EXPECT_EQ(sparse.peripherals[1].id, 7u);
    EXPECT_EQ(sparse.peripherals[1].type, 11u);
}

}  // namespace
