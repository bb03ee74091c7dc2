#include "config/section_fields.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <array>

#include "config/data_exchange.h"
#include "config/ip_address_ctrl.h"
#include "test_support/recording_message_sink.h"

namespace {

using config::ReadFieldText;
using config::WriteFieldText;

TEST(SectionFieldsTest, TextFieldsEndWithinTheirWidth) {
    std::array<std::uint8_t, 6> field;
    field.fill('x');
    EXPECT_EQ(ReadFieldText(field), "") << "no zero byte: shown as empty";
    field[3] = 0;
    EXPECT_EQ(ReadFieldText(field), "xxx");

    WriteFieldText(field, "ab");
    EXPECT_EQ(field, (std::array<std::uint8_t, 6>{'a', 'b', 0, 0, 0, 0})) << "old bytes cleared";
    WriteFieldText(field, "abcdefgh");
    EXPECT_EQ(field, (std::array<std::uint8_t, 6>{'a', 'b', 'c', 'd', 'e', 0}));
    EXPECT_EQ(ReadFieldText(field), "abcde");
}

TEST(SectionFieldsTest, AddressesAreStoredInDottedOrder) {
    std::array<std::uint8_t, 4> bytes{};
    config::WriteAddress(bytes.data(), 0xC0A80102);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{192, 168, 1, 2}));
    EXPECT_EQ(config::ReadAddress(bytes.data()), 0xC0A80102u);

    CIPAddressCtrl control;
    control.SetAddress(0x0A000105);
    EXPECT_EQ(control.m_fields[0].text(), "10");
    EXPECT_EQ(control.m_fields[3].text(), "5");
    control.m_fields[2].clear();
    std::uint32_t address = 0;
    EXPECT_EQ(control.GetAddress(address), 3);
    EXPECT_EQ(address, 0x0A000005u);
    control.ClearAddress();
    EXPECT_TRUE(control.IsBlank());
}

TEST(DataExchangeTest, NumbersOutsideTheirRangeAreRefusedAndTheMemberKept) {
    const struct {
        const char* text;
        bool taken;
        int value;
    } cases[] = {
        {"1", true, 1},   {"65535", true, 65535},       {" 80 ", true, 80},
        {"0", false, 7},  {"65536", false, 7},          {"", false, 7},
        {"8o", false, 7}, {"99999999999999", false, 7},
    };
    for (const auto& c : cases) {
        test_support::RecordingMessageSink messages;
        QLineEdit edit;
        edit.setText(c.text);
        int value = 7;
        EXPECT_EQ(config::ExchangeInt(true, edit, value, 1, 65535), c.taken) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(messages.Texts().size(), c.taken ? 0u : 1u) << c.text;
    }
}

TEST(DataExchangeTest, TextsLongerThanTheirLimitAreRefused) {
    test_support::RecordingMessageSink messages;
    QLineEdit edit;
    std::string value = "old";
    edit.setText("0123456789abcdef");
    EXPECT_FALSE(config::ExchangeText(true, edit, value, 15));
    EXPECT_EQ(value, "old");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{config::TextLengthPrompt(15)});
    edit.setText("0123456789abcde");
    EXPECT_TRUE(config::ExchangeText(true, edit, value, 15));
    EXPECT_EQ(value, "0123456789abcde");
}

TEST(DataExchangeTest, NumberFieldsKeepDigitsAndClampAsTheUserTypes) {
    QLineEdit edit;
    config::ClampNumberOnEdit(edit, 255);
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {
        {"12a", "12"}, {"300", "255"}, {"-5", "5"}, {"007", "007"}, {"99999999999999", "255"},
        {"", ""}};
    for (const auto& c : cases) {
        edit.setText(c.typed);
        emit edit.textEdited(c.typed);
        EXPECT_EQ(edit.text(), c.shown) << c.typed;
    }
}

}  // namespace
