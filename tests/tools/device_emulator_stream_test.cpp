#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device_emulator.h"
#include "raw_client.h"

namespace {

using namespace device_emulator;
using namespace tools_test;

// Bytes of the header field of each presence bit, 0 to 10.
constexpr std::array<std::size_t, 11> kFieldSizes = {4, 16, 2, 1, 1, 4, 1, 2, 2, 2, 0};

struct Packet {
    std::uint32_t presence = 0;
    std::array<std::string, 11> fields;
    std::size_t header_length = 0;
    std::uint32_t payload_length = 0;
    std::string payload;
};

std::uint32_t LittleEndian(const std::string& bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// The packet at the start of bytes, or nullopt while not all of it has arrived.
std::optional<Packet> ParsePacket(const std::string& bytes) {
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    Packet packet;
    packet.presence = LittleEndian(bytes.substr(0, 4));
    std::size_t at = 4;
    for (std::size_t bit = 0; bit < kFieldSizes.size(); ++bit) {
        if (packet.presence & (1u << bit)) {
            if (at + kFieldSizes[bit] > bytes.size()) {
                return std::nullopt;
            }
            packet.fields[bit] = bytes.substr(at, kFieldSizes[bit]);
            at += kFieldSizes[bit];
        }
    }
    packet.header_length = at;
    packet.payload_length = packet.fields[0].empty() ? 0 : LittleEndian(packet.fields[0]);
    if (bytes.size() < at + packet.payload_length) {
        return std::nullopt;
    }
    packet.payload = bytes.substr(at, packet.payload_length);
    return packet;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

std::optional<Picture> Decode(const std::string& jpeg) {
    tjhandle handle = tjInitDecompress();
    Picture picture;
    int subsampling = 0, colorspace = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    bool ok = tjDecompressHeader3(handle, data, jpeg.size(), &picture.width, &picture.height,
                                  &subsampling, &colorspace) == 0;
    if (ok) {
        picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
        ok = tjDecompress2(handle, data, jpeg.size(), picture.rgb.data(), picture.width, 0,
                           picture.height, TJPF_RGB, TJFLAG_STOPONWARNING) == 0;
    }
    tjDestroy(handle);
    return ok ? std::optional<Picture>(picture) : std::nullopt;
}

class DeviceEmulatorStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_.Start();
        device_.Update([](Settings& s) {
            s.identity.check_cookie = false;
            s.stream.frame_rate = 0;
        });
    }

    // Opens a stream and reads the given number of whole packets.
    std::vector<Packet> Packets(std::size_t count) {
        RawClient client(device_.Port());
        EXPECT_TRUE(client.Send(CgiRequest("/Getvideo.cgi?Cookie=x")));
        std::vector<Packet> packets;
        std::string buffer;
        while (packets.size() < count) {
            if (const std::optional<Packet> packet = ParsePacket(buffer)) {
                buffer.erase(0, packet->header_length + packet->payload_length);
                packets.push_back(*packet);
            } else if (!client.ReadAtLeast(buffer, buffer.size() + 1)) {
                ADD_FAILURE() << "the stream ended after " << packets.size() << " packets";
                break;
            }
        }
        return packets;
    }

    DeviceEmulator device_;
};

TEST_F(DeviceEmulatorStreamTest, PacketsStartAtTheFirstByteAndCarryDecodableFrames) {
    device_.Update([](Settings& s) { s.identity.check_cookie = true; });
    EXPECT_EQ(Exchange(device_.Port(), CgiRequest("/Getvideo.cgi?Cookie=x")).substr(0, 13),
              "HTTP/1.1 401 ");
    device_.Update([](Settings& s) { s.identity.check_cookie = false; });

    const std::vector<Packet> packets = Packets(2);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].presence, kPayloadLengthBit | kTimeStampBit);
    EXPECT_EQ(packets[0].header_length, 12u);
    for (const Packet& packet : packets) {
        EXPECT_EQ(packet.payload.substr(0, 4), "\xFF\xD8\xFF\xDB");
        EXPECT_EQ(packet.payload.find("JFIF"), std::string::npos);
    }
    const std::optional<Picture> first = Decode(packets[0].payload);
    const std::optional<Picture> second = Decode(packets[1].payload);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->width, 640);
    EXPECT_EQ(first->height, 228);
    // The frame counter sits in the top left corner and moves with every frame.
    const std::size_t counter_row = static_cast<std::size_t>(first->width) * 3 * 20;
    EXPECT_NE(std::memcmp(first->rgb.data(), second->rgb.data(), counter_row), 0);
}

TEST_F(DeviceEmulatorStreamTest, PictureSizeFollowsVideoModeAndResolution) {
    struct Case {
        int video_mode;
        int resolution;
        std::optional<PictureSize> fixed;
        int width, height;
    };
    const std::vector<Case> cases = {
        {0, 1, std::nullopt, 320, 228},          {0, 2, std::nullopt, 176, 112},
        {1, 0, std::nullopt, 640, 276},          {1, 2, std::nullopt, 176, 144},
        {0, 0, PictureSize{704, 576}, 704, 576},
    };
    for (const Case& c : cases) {
        device_.Update([&](Settings& s) {
            s.identity.video_mode = c.video_mode;
            s.state.resolution = c.resolution;
            s.stream.picture = c.fixed;
        });
        const std::vector<Packet> packets = Packets(1);
        ASSERT_EQ(packets.size(), 1u);
        const std::optional<Picture> picture = Decode(packets[0].payload);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
    }
}

TEST_F(DeviceEmulatorStreamTest, HeaderFieldsFollowThePresenceBitsInOrder) {
    device_.Update([](Settings& s) {
        s.stream.presence = 0x7fe | (1u << 20);
        s.stream.hu_text = "HELLO";
        s.stream.retr_byte = 1;
        s.stream.byte3 = 3;
        s.stream.byte4 = 4;
        s.stream.time_stamp = 0x40000000;
        s.stream.online_users = 7;
        s.stream.alarm_words[0] = 0x0011;
        s.stream.alarm_words[1] = 0x0022;
        s.stream.alarm_words[2] = 0x0444;
    });
    const std::vector<Packet> packets = Packets(1);
    ASSERT_EQ(packets.size(), 1u);
    const Packet& p = packets[0];
    EXPECT_EQ(p.presence, 0x7ffu | (1u << 20));
    EXPECT_EQ(p.header_length, 39u);
    EXPECT_EQ(p.fields[1], std::string("HELLO") + std::string(11, '\0'));
    EXPECT_EQ(p.fields[2], std::string("\x01\x00", 2));
    EXPECT_EQ(p.fields[3], "\x03");
    EXPECT_EQ(p.fields[4], "\x04");
    EXPECT_EQ(LittleEndian(p.fields[5]), 0x40000000u);
    EXPECT_EQ(p.fields[6], "\x07");
    EXPECT_EQ(LittleEndian(p.fields[7]), 0x0011u);
    EXPECT_EQ(LittleEndian(p.fields[8]), 0x0022u);
    EXPECT_EQ(LittleEndian(p.fields[9]), 0x0444u);
    EXPECT_EQ(p.payload.substr(0, 4), "\xFF\xD8\xFF\xDB");
}

TEST_F(DeviceEmulatorStreamTest, AlarmCycleAndHeaderOnlyPackets) {
    device_.Update([](Settings& s) {
        s.stream.alarm_on_frames = 2;
        s.stream.alarm_off_frames = 1;
        s.stream.header_only_every = 3;
    });
    // Frames 0 and 1 in alarm, a header-only packet before frame 2, which is not, and so on.
    const std::vector<std::pair<bool, bool>> expected = {
        {true, true}, {true, true}, {false, false}, {true, false},
        {true, true}, {true, true}, {false, false}, {true, false}};
    const std::vector<Packet> packets = Packets(expected.size());
    ASSERT_EQ(packets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((packets[i].presence & kPayloadLengthBit) != 0, expected[i].first) << i;
        EXPECT_EQ((packets[i].presence & kAlarm1Bit) != 0, expected[i].second) << i;
        EXPECT_EQ(packets[i].payload.empty(), !expected[i].first) << i;
    }
}

TEST_F(DeviceEmulatorStreamTest, FrameLimitEndsTheStreamAsAsked) {
    for (const StreamEnd end : {StreamEnd::Close, StreamEnd::CloseMidFrame, StreamEnd::Stall}) {
        device_.Update([&](Settings& s) {
            s.stream.frame_limit = 2;
            s.stream.end = end;
        });
        RawClient client(device_.Port());
        ASSERT_TRUE(client.Send(CgiRequest("/Getvideo.cgi?Cookie=x")));
        bool closed = false;
        std::string bytes;
        for (const std::string& piece : client.ReadUntilClosed(&closed, 1s)) {
            bytes += piece;
        }
        EXPECT_EQ(closed, end != StreamEnd::Stall);
        std::size_t whole = 0;
        for (std::optional<Packet> p; (p = ParsePacket(bytes));) {
            bytes.erase(0, p->header_length + p->payload_length);
            ++whole;
        }
        EXPECT_EQ(whole, 2u);
        EXPECT_EQ(bytes.empty(), end != StreamEnd::CloseMidFrame) << "a half frame is left";
    }
}

// A limit for one stream: the next stream runs on past it.
TEST_F(DeviceEmulatorStreamTest, AFrameLimitForOneStreamClearsItself) {
    device_.Update([](Settings& s) {
        s.stream.frame_limit = 2;
        s.stream.frame_limit_once = true;
    });
    RawClient client(device_.Port());
    ASSERT_TRUE(client.Send(CgiRequest("/Getvideo.cgi?Cookie=x")));
    bool closed = false;
    client.ReadUntilClosed(&closed, 1s);
    EXPECT_TRUE(closed);
    EXPECT_EQ(device_.Snapshot().stream.frame_limit, 0u);
    EXPECT_EQ(Packets(5).size(), 5u);
}

TEST_F(DeviceEmulatorStreamTest, JfifFramesCarryTheSegmentAndDecode) {
    device_.Update([](Settings& s) { s.stream.jfif = true; });
    const std::vector<Packet> packets = Packets(1);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].payload.substr(0, 11), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 11));
    EXPECT_TRUE(Decode(packets[0].payload));
}

TEST_F(DeviceEmulatorStreamTest, WritesAreSplitAtTheGivenOffsets) {
    device_.Update([](Settings& s) {
        s.stream.write_splits = {3, 20};
        s.stream.split_pause = 100ms;
        s.stream.frame_limit = 1;
    });
    RawClient client(device_.Port());
    ASSERT_TRUE(client.Send(CgiRequest("/Getvideo.cgi?Cookie=x")));
    const std::vector<std::string> reads = client.ReadUntilClosed();
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[0].size(), 3u);
    EXPECT_EQ(reads[1].size(), 17u);
}

TEST_F(DeviceEmulatorStreamTest, CorruptAndOversizeFrames) {
    device_.Update([](Settings& s) {
        s.stream.corruption = FrameCorruption::BadMarker;
        s.stream.corrupt_every = 2;
    });
    std::vector<Packet> packets = Packets(2);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].payload.substr(0, 4), "\xFF\xD8\xFF\xDB");
    EXPECT_NE(packets[1].payload.substr(0, 4), "\xFF\xD8\xFF\xDB");

    device_.Update([](Settings& s) { s.stream.corruption = FrameCorruption::Truncated; });
    packets = Packets(2);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_TRUE(Decode(packets[0].payload));
    EXPECT_FALSE(Decode(packets[1].payload));

    device_.Update([](Settings& s) {
        s.stream.corruption.reset();
        s.stream.payload_length = 200000;
    });
    packets = Packets(2);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1].payload.size(), 200000u);
    EXPECT_TRUE(Decode(packets[1].payload)) << "the frame sits at the start of the padding";
}

}  // namespace
