#include "video/stream_receiver.h"

#include <turbojpeg.h>

#include "kernel/mailbox.h"
#include "live_session.h"
#include "video/stream_packet_header.h"

namespace video_test {
namespace {

using device_emulator::FrameCorruption;
using device_emulator::StreamEnd;
using device_emulator::StreamSettings;

constexpr std::size_t kFrames = 8;

// True when libjpeg-turbo decodes the frame without a single warning.
bool DecodesCleanly(const std::vector<std::uint8_t>& jpeg) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    bool ok = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                                  &colourspace) == 0;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    ok = ok && tjDecompress2(handle, jpeg.data(), jpeg.size(), pixels.data(), width, 0, height,
                             TJPF_BGR, TJFLAG_STOPONWARNING) == 0;
    tjDestroy(handle);
    return ok;
}

// Rows of blue-green-red as a plain decode with the library's default options gives them,
// bottom-up (the form a picture has on its way to a file).
std::vector<unsigned char> BareDecode(const std::vector<std::uint8_t>& jpeg, int* width,
                                      int* height) {
    tjhandle handle = tjInitDecompress();
    int subsampling = 0, colourspace = 0;
    std::vector<unsigned char> pixels;
    if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), width, height, &subsampling,
                            &colourspace) == 0) {
        pixels.resize(static_cast<std::size_t>(*width) * *height * 3);
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), pixels.data(), *width, 0, *height,
                          TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
            pixels.clear();
        }
    }
    tjDestroy(handle);
    return pixels;
}

void LimitTo(StreamSettings& s, std::uint64_t frames, StreamEnd end) {
    s.frame_limit = frames;
    s.end = end;
}

struct SplitCase {
    const char* name;
    std::vector<std::size_t> splits;
    int packetsPerWrite = 1;
    int headerOnlyEvery = 0;
};

// Header with bits 0 and 5: 12 bytes. The splits fall inside the bitmap, inside a field, exactly
// at the end of the header, inside the frame, and (several packets per write) across packets.
const SplitCase kSplitCases[] = {
    {"Whole", {}},
    {"InsideBitmap", {2}},
    {"InsideField", {6}},
    {"AtHeaderEnd", {12}},
    {"HeaderAndFrameApart", {4, 12, 13}},
    {"InsideFrame", {500, 501}},
    {"AcrossPackets", {700, 1400, 2100}, 3},
    {"HeaderOnlyPackets", {14, 30}, 2, 3},
};

class StreamSplits : public LiveSession, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(StreamSplits, EveryFrameArrivesWhole) {
    const SplitCase& c = GetParam();
    Stream([&](StreamSettings& s) {
        s.write_splits = c.splits;
        s.packets_per_write = c.packetsPerWrite;
        s.header_only_every = c.headerOnlyEvery;
        LimitTo(s, kFrames, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(kFrames)) << recorder.Count() << " frames";
    const auto frames = recorder.Frames();
    ASSERT_EQ(frames.size(), kFrames);
    for (const auto& frame : frames) {
        EXPECT_TRUE(DecodesCleanly(frame));
    }
    const auto last = window.Last();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->width, 640);
    EXPECT_EQ(last->height, 456);  // 640 x 228 fields are painted with doubled rows
    EXPECT_EQ(log.Count("ReLogin"), 0);
    EXPECT_EQ(GetStreamState(), kStreamReceiving);
}

INSTANTIATE_TEST_SUITE_P(Splits, StreamSplits, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LiveSession, RequestCarriesTheCookieAndStreamSwitchesTheLayoutOnce) {
    Stream([](StreamSettings& s) {
        s.picture = device_emulator::PictureSize{320, 228};
        LimitTo(s, 3, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(3));
    const auto requests = device.Requests("/Getvideo.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Param("Cookie"), "C00KIE");
    EXPECT_NE(requests[0].raw.find("Host: 10.0.0.5\r\n"), std::string::npos);
    EXPECT_EQ(log.Count("SwitchLayoutMode 1"), 1);
    EXPECT_EQ(g_lpApp->m_wLayoutMode, 1);
    EXPECT_EQ(g_lpApp->m_wImageWidth, 320);
}

struct BreakCase {
    const char* name;
    std::function<void(StreamSettings&)> change;
    std::size_t framesBefore;
};

const BreakCase kBreakCases[] = {
    {"CloseMidFrame", [](StreamSettings& s) { LimitTo(s, 3, StreamEnd::CloseMidFrame); }, 3},
    {"CloseBetweenFrames", [](StreamSettings& s) { LimitTo(s, 2, StreamEnd::Close); }, 2},
    {"Stall", [](StreamSettings& s) { LimitTo(s, 2, StreamEnd::Stall); }, 2},
};

// The text of a refusal is no stream: read by the parser, its bytes would set alarm, R.E.T.R. and
// backup bits and start alarm recordings.
class RefusedStream : public LiveSession, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedStream, IsNeitherParsedNorRecordedAndTheReloginBacksOff) {
    KernelObject& app = *g_lpApp;
    RecordAlarms();
    Stream([](StreamSettings& s) { s.refuse_status = GetParam(); });
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("ReLogin") == 1; }));
    EXPECT_EQ(app.m_fStreamRefused, 1);
    EXPECT_EQ(app.m_wStreamRefusedStatus, GetParam());
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(window.Presented(), 0);
    EXPECT_EQ(log.Count("StartAlarmRecord"), 0);
    EXPECT_EQ(log.Count("Message 1026 0"), 0);
    EXPECT_EQ(pipeline.Parser().m_wAlarmData, 0);
    EXPECT_EQ(app.m_DeviceList.GetState(), 1);
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string text{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(text.find("Stream refused: HTTP/1.1 " + std::to_string(GetParam()) + " "),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(Statuses, RefusedStream, ::testing::Values(202, 401, 404));

// The session cookie is checked at the login; the stream request keeps its own guard all the
// same, and a request it cannot carry ends the stream as a broken one.
TEST_F(LiveSession, ACookieTheRequestCannotCarryIsNotSent) {
    g_szSessionCookie.Set("C00KIE HTTP/1.0\r\nX: 1");
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("ReLogin") == 1; }));
    EXPECT_TRUE(device.Requests("/Getvideo.cgi").empty());
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string text{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(text.find("Stream request not sent"), std::string::npos) << text;
}

class StreamBreaks : public LiveSession, public ::testing::WithParamInterface<BreakCase> {};

TEST_P(StreamBreaks, PostCodeOneAndLogInAgain) {
    platform::SetClockSpeed(50);  // the 20 s receive time-out and the tear-down's waits
    Stream(GetParam().change);
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("ReLogin") == 1; }));
    // The tear-down may end the compose thread before it has taken the last frames received.
    EXPECT_LE(recorder.Count(), GetParam().framesBefore);
    EXPECT_EQ(GetStreamState(), kStreamBroken);
    EXPECT_EQ(log.Count("ButtonImage 1002 1"), 1);
    EXPECT_EQ(g_lpApp->m_fConnected, 0u);
}

INSTANTIATE_TEST_SUITE_P(Breaks, StreamBreaks, ::testing::ValuesIn(kBreakCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One packet's length field lied once: the receiver skipped the whole announced length (up to
// 4 GiB, or for seconds a length the socket buffer could not take) or read picture bytes as the
// next header, which started alarm recordings. Every such lie shows, in a header that cannot be
// right or in a picture that ends with the next packet behind it long before its length; the
// connection then ends as a broken stream, and nothing of that header is acted on.
class LyingLength : public LiveSession, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(LyingLength, EndsTheConnectionAsABrokenStreamWithoutActingOnTheHeader) {
    constexpr std::uint64_t kFault = 5;
    RecordAlarms();
    Stream([](StreamSettings& s) {
        s.presence |= device_emulator::kHuTextBit;
        s.hu_text = "in step";
        s.false_length = GetParam();
        s.false_length_frame = kFault;
    });
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("ReLogin") == 1; }));
    EXPECT_EQ(GetStreamState(), kStreamBroken);
    EXPECT_LE(recorder.Count(), kFault);
    for (const auto& frame : recorder.Frames()) {
        EXPECT_TRUE(DecodesCleanly(frame));
    }
    EXPECT_EQ(log.Count("StartAlarmRecord"), 0);
    EXPECT_EQ(log.Count("Message 1026 0"), 0);
    EXPECT_EQ(pipeline.Parser().m_wAlarmData, 0);
    EXPECT_EQ(pipeline.Parser().CurrentHUText(), "in step");
    // A lie is not a frame too large: the user is not told of one.
    EXPECT_TRUE(GetSkippedFrame().Empty());
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string text{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(text.find("Stream out of step: "), std::string::npos) << text;
    EXPECT_EQ(text.find("Frame skipped"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Lengths, LyingLength,
                         ::testing::Values(0u, 100u, 20'000u, 0x80001u, 0x100000u, 0x17ffffu,
                                           0x200000u, 0x7fffffffu, 0xffffffffu));

// A receive blocked in the middle of a frame never sees the close request between packets: the
// close must wake it, not wait out the 2 s the receiver has for its answer. At a tenth of the
// clock's speed that wait would take 20 s, so a close that ends within the 15-s deadline did not
// wait for it.
TEST_F(LiveSession, CloseDoesNotWaitForAReceiverStalledMidFrame) {
    Stream([](StreamSettings& s) { LimitTo(s, 3, StreamEnd::StallMidFrame); });
    Start();
    ASSERT_TRUE(WaitForFrames(3));
    platform::SetClockSpeed(0.1);
    std::atomic<bool> closed{false};
    std::thread close([&] {
        ExitLoginResource(components);
        closed = true;
    });
    const bool closedInTime = test_support::PumpUntil([&] { return closed.load(); }, 15'000);
    close.join();
    platform::SetClockSpeed(1.0);
    EXPECT_TRUE(closedInTime);
    EXPECT_EQ(GetStreamState(), kStreamStopped);
    EXPECT_EQ(log.Count("ReLogin"), 0);
    // The answer the receiver gave on its way out is not left for a later session.
    EXPECT_EQ(platform::WaitForObject(g_lpApp->h_FeedBackForNotifyResetEvent, 0),
              platform::kWaitTimeout);
}

TEST_F(LiveSession, StopRequestEndsSilentlyWithFeedback) {
    Start();
    ASSERT_TRUE(WaitForFrames(2));
    platform::SetEvent(g_lpApp->h_NotifyGetJPEGImageThreadResetEvent);
    ASSERT_EQ(platform::WaitForObject(g_lpApp->h_FeedBackForNotifyResetEvent, 10'000),
              platform::kWaitObject0);
    EXPECT_EQ(GetStreamState(), kStreamStopped);
    platform::Sleep(50);
    EXPECT_EQ(log.Count("ReLogin"), 0);
    EXPECT_EQ(g_lpApp->m_fConnected, 0u);
}

class CorruptFrames : public LiveSession, public ::testing::WithParamInterface<FrameCorruption> {};

// Every second frame is damaged: no damaged frame is recorded or shown, every whole one is,
// nothing crashes and the stream goes on.
TEST_P(CorruptFrames, AreDroppedAndTheStreamGoesOn) {
    constexpr std::size_t kSent = 10;
    Stream([&](StreamSettings& s) {
        s.corruption = GetParam();
        s.corrupt_every = 2;
        LimitTo(s, kSent, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(kSent / 2));
    platform::Sleep(200);
    const auto frames = recorder.Frames();
    EXPECT_EQ(frames.size(), kSent / 2);
    for (const auto& frame : frames) {
        EXPECT_TRUE(DecodesCleanly(frame));
    }
    EXPECT_EQ(window.Presented(), static_cast<int>(frames.size()));
    EXPECT_EQ(log.Count("ReLogin"), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CorruptFrames,
                         ::testing::Values(FrameCorruption::BadMarker, FrameCorruption::Truncated,
                                           FrameCorruption::Garbage));

// Frames of a detailed full-size scene fit the socket buffers: an overrun would mean no video and
// endless re-login.
// The grain makes every chroma sample differ from its neighbours, so a faster but different
// upsampling or transform in the decode would show in the painted pixels.
TEST_F(LiveSession, DetailedFullSizeFramesArriveWholeAndArePaintedAsDecoded) {
    constexpr std::size_t kSent = 4;
    Stream([](StreamSettings& s) {
        s.picture = device_emulator::PictureSize{704, 576};
        s.jpeg_quality = 85;
        s.grain = 64;
        s.distinct_pictures = 2;
        LimitTo(s, kSent, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(kSent)) << recorder.Count() << " frames";
    const auto frames = recorder.Frames();
    for (const auto& frame : frames) {
        EXPECT_GT(frame.size(), 150'000u);
        EXPECT_TRUE(DecodesCleanly(frame));
    }
    EXPECT_EQ(log.Count("ReLogin"), 0);

    int width = 0, height = 0;
    const auto decoded = BareDecode(frames.back(), &width, &height);
    const auto painted = window.Last();
    ASSERT_TRUE(painted);
    ASSERT_FALSE(decoded.empty());
    ASSERT_EQ(painted->width, width);
    ASSERT_EQ(painted->height, height);
    ASSERT_EQ(painted->pixels.size(), decoded.size() / 3 * kPaintedPixelBytes);
    std::size_t differing = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = decoded.data() + std::size_t(height - 1 - y) * width * 3;
        const std::uint8_t* out = painted->pixels.data() + std::size_t(y) * width * 4;
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
            differing += out[0] != in[0] || out[1] != in[1] || out[2] != in[2] || out[3] != 0xFF;
        }
    }
    EXPECT_EQ(differing, 0u);
}

// A frame larger than any the device sends is skipped whole; the frames behind it arrive.
TEST_F(LiveSession, OversizeFramesAreSkippedInStepAndTraced) {
    constexpr std::size_t kSent = 12;
    constexpr std::size_t kOversize = kSocketBufferSize + 1;
    Stream([](StreamSettings& s) {
        s.corruption = FrameCorruption::Padded;
        s.damage_length = kOversize;
        s.corrupt_every = 3;
        LimitTo(s, kSent, StreamEnd::Stall);
    });
    Start();
    constexpr std::size_t kIntact = kSent - kSent / 3;
    ASSERT_TRUE(WaitForFrames(kIntact)) << recorder.Count() << " frames";
    platform::Sleep(200);
    EXPECT_EQ(recorder.Count(), kIntact);
    for (const auto& frame : recorder.Frames()) {
        EXPECT_TRUE(DecodesCleanly(frame));
    }
    EXPECT_EQ(log.Count("ReLogin"), 0);
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string text{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(text.find("Frame skipped: The device sends frames of " + std::to_string(kOversize)),
              std::string::npos)
        << text;
}

// A device may set presence bits that carry nothing on every header, those without a frame too:
// its stream plays and is never taken for one out of step.
TEST_F(LiveSession, ADeviceThatSetsSpareBitsOnEveryHeaderPlays) {
    Stream([](StreamSettings& s) {
        s.presence |= 1u << 11 | 1u << 31;
        s.header_only_every = 3;
        LimitTo(s, kFrames, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(kFrames)) << recorder.Count() << " frames";
    EXPECT_EQ(log.Count("ReLogin"), 0);
    EXPECT_EQ(GetStreamState(), kStreamReceiving);
}

// Frames that begin as JFIF are not shown: the user is told, once, what the frames begin with,
// and the stream goes on.
TEST_F(LiveSession, FramesThisProgramDoesNotShowAreToldOnceWithTheBytesTheyBeginWith) {
    Stream([](StreamSettings& s) {
        s.jfif = true;
        LimitTo(s, kFrames, StreamEnd::Stall);
    });
    Start();
    const std::string text =
        "The device sends frames that begin FF D8 FF E0, this program shows those that begin FF "
        "D8 FF DB";
    ASSERT_TRUE(WaitUntil([&] { return log.Count("Status " + text) == 1; }));
    platform::Sleep(200);
    EXPECT_EQ(log.Count("Status " + text), 1);
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(log.Count("ReLogin"), 0);
    EXPECT_EQ(GetSkippedFrame().start, (std::array<std::uint8_t, 4>{0xFF, 0xD8, 0xFF, 0xE0}));
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string traced{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_NE(traced.find("Frame skipped: " + text), std::string::npos) << traced;
}

// A frame cut right after its first marker must not leave the decoder refusing every later frame.
TEST_F(LiveSession, IntactFramesAfterACutFrameAreAllPainted) {
    constexpr std::size_t kSent = 30;
    Stream([](StreamSettings& s) {
        s.corruption = FrameCorruption::Truncated;
        s.damage_length = 5;
        s.corrupt_every = 3;
        LimitTo(s, kSent, StreamEnd::Stall);
    });
    Start();
    constexpr std::size_t kIntact = kSent - kSent / 3;
    ASSERT_TRUE(WaitUntil([&] { return window.Presented() >= static_cast<int>(kIntact); }))
        << window.Presented() << " painted";
    platform::Sleep(200);
    EXPECT_EQ(window.Presented(), static_cast<int>(kIntact));
    EXPECT_EQ(recorder.Count(), kIntact);
    EXPECT_EQ(log.Count("ReLogin"), 0);
}

TEST_F(LiveSession, AThousandFramesArriveWithoutLoss) {
    constexpr std::size_t kSent = 1'000;
    Stream([](StreamSettings& s) {
        s.picture = device_emulator::PictureSize{176, 112};
        s.presence |= device_emulator::kHuTextBit;
        s.time_stamp.reset();
        LimitTo(s, kSent, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(kSent)) << recorder.Count();
    platform::Sleep(100);
    EXPECT_EQ(recorder.Count(), kSent);
    EXPECT_EQ(window.Presented(), static_cast<int>(kSent));
    const auto stamps = recorder.TimeStamps();
    EXPECT_TRUE(std::is_sorted(stamps.begin(), stamps.end()));
}

// Alarm word 1 present for two frames, absent for two: begin and end messages in turn, and the
// alarm recorder follows a non-zero word while "Alarm Trigger Record" is on. So too when the
// device's frames are ones this program does not show: their headers once went with them, and
// such a device's alarms never sounded nor recorded.
class AlarmEdges : public LiveSession, public ::testing::WithParamInterface<bool> {};

TEST_P(AlarmEdges, PostMessagesAndDriveTheAlarmRecorder) {
    const bool jfif = GetParam();
    RecordAlarms();
    Stream([&](StreamSettings& s) {
        s.jfif = jfif;
        s.alarm_on_frames = 2;
        s.alarm_off_frames = 2;
        s.alarm_words[0] = 0x0004;
        LimitTo(s, 6, StreamEnd::Stall);
    });
    Start();
    // The sound stays off in this test, so each alarm frame asks for it again.
    ASSERT_TRUE(WaitUntil([&] {
        return log.Count("Message 1026 0") == 4 && log.Count("Message 1026 2") == 1;
    })) << ::testing::PrintToString(log.Events());
    EXPECT_LT(log.IndexOf("Message 1026 0"), log.IndexOf("Message 1026 2"));
    EXPECT_EQ(log.Count("StartAlarmRecord"), 2);
    EXPECT_EQ(log.Count("StopAlarmRecord"), 1);
    EXPECT_LT(log.IndexOf("StartAlarmRecord"), log.IndexOf("StopAlarmRecord"));
    EXPECT_EQ(pipeline.Parser().m_wAlarmData, 0x0004);
    if (jfif) {
        EXPECT_EQ(recorder.Count(), 0u);
        EXPECT_EQ(GetSkippedFrame().start, (std::array<std::uint8_t, 4>{0xFF, 0xD8, 0xFF, 0xE0}));
    } else {
        EXPECT_TRUE(WaitForFrames(6));
    }
    EXPECT_EQ(log.Count("ReLogin"), 0);
}

INSTANTIATE_TEST_SUITE_P(Frames, AlarmEdges, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Jfif" : "Shown"; });

struct LargeFrameCase {
    const char* name;
    std::function<void(StreamSettings&)> large;
};

// Frames longer than the largest this program holds, as a device of large pictures sends them,
// were taken for a stream out of step and the session logged in again at every frame. They are
// skipped whole and told as too large; their headers count, and the stream stays in step: the
// next small frame is shown on the same connection.
class LargeFrames : public LiveSession, public ::testing::WithParamInterface<LargeFrameCase> {};

TEST_P(LargeFrames, AreSkippedWholeAndToldAsTooLarge) {
    RecordAlarms();
    Stream([](StreamSettings& s) {
        GetParam().large(s);
        s.presence |= device_emulator::kAlarm1Bit;
    });
    Start();
    // The user is told once a connection, of the first frame skipped.
    SkippedFrame skipped;
    ASSERT_TRUE(WaitUntil([&] {
        skipped = GetSkippedFrame();
        return !skipped.Empty() && log.Count("Status " + SkippedFrameText(skipped)) == 1;
    }));
    EXPECT_GT(skipped.oversizeLength, StreamPacketHeader::kLargestHeldFrame);
    EXPECT_EQ(skipped.startSize, 0u);
    const std::string text = "Status " + SkippedFrameText(skipped);
    EXPECT_EQ(log.Count("StartAlarmRecord"), 1);
    EXPECT_EQ(recorder.Count(), 0u);

    // The device goes back to frames this program shows, on the same connection.
    Stream([](StreamSettings& s) {
        s.picture.reset();
        s.payload_length.reset();
        s.distinct_pictures = 0;
        s.grain = 0;
    });
    ASSERT_TRUE(WaitForFrames(1)) << ::testing::PrintToString(log.Events());
    EXPECT_EQ(log.Count(text), 1);
    EXPECT_EQ(log.Count("ReLogin"), 0);
    EXPECT_EQ(device.Requests("/Getvideo.cgi").size(), 1u);
    EXPECT_EQ(GetStreamState(), kStreamReceiving);
    TraceLogFlush();
    std::ifstream trace(kernel.Folder() / "trace.log");
    const std::string traced{std::istreambuf_iterator<char>(trace), {}};
    EXPECT_EQ(traced.find("Stream out of step"), std::string::npos) << traced;
}

const LargeFrameCase kLargeFrameCases[] = {
    {"DetailedPicture",
     [](StreamSettings& s) {
         s.picture = device_emulator::PictureSize{2048, 1536};
         s.grain = 255;
         s.jpeg_quality = 90;
         s.distinct_pictures = 1;
     }},
    {"PaddedPicture", [](StreamSettings& s) { s.payload_length = 2 * 1024 * 1024; }},
};

INSTANTIATE_TEST_SUITE_P(Frames, LargeFrames, ::testing::ValuesIn(kLargeFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LiveSession, RetrByteOfTheStreamSetsTheDeviceStateAndTheButton) {
    Stream([](StreamSettings& s) {
        s.presence |= device_emulator::kRetrBit;
        s.retr_byte = 1;
        LimitTo(s, 2, StreamEnd::Stall);
    });
    Start();
    ASSERT_TRUE(WaitForFrames(2));
    EXPECT_EQ(g_lpApp->m_DeviceList.GetState(), 1);
    // Shown once, on the change from off to on.
    EXPECT_EQ(log.Count("ButtonTip 8331 R.E.T.R.(Enable)"), 1);
}

}  // namespace
}  // namespace video_test
