// The simulator's own frame reader and reply shaping: commands are cut by their length byte.
#include "frame_codec.h"
#include "reply_shaping.h"
#include "support/device_frames.h"

#include <gtest/gtest.h>

using namespace r7730::testing;
using sim::CommandReader;
using sim::ReaderEvent;

namespace {

std::vector<Bytes> framesOf(const std::vector<ReaderEvent>& events)
{
    std::vector<Bytes> frames;
    for (const ReaderEvent& event : events)
        if (event.kind == ReaderEvent::Kind::Frame)
            frames.push_back(event.bytes);
    return frames;
}

} // namespace

TEST(SimulatorFrameReader, CutsMergedCommandsAndJoinsSplitOnes)
{
    CommandReader reader;
    auto events = reader.feed(hex("7E 05 41 50 FE 7E 05 4A 50 FE 7E 06 46"));
    EXPECT_EQ(framesOf(events), (std::vector<Bytes>{hex("7E 05 41 50 FE"), hex("7E 05 4A 50 FE")}));
    EXPECT_TRUE(reader.hasPartial());
    events = reader.feed(hex("50"));
    EXPECT_TRUE(events.empty());
    events = reader.feed(hex("4E FE"));
    EXPECT_EQ(framesOf(events), std::vector<Bytes>{hex("7E 06 46 50 4E FE")});
    EXPECT_FALSE(reader.hasPartial());
}

TEST(SimulatorFrameReader, PayloadBytesFEAnd7EDoNotEndOrStartAFrame)
{
    // Save WAN with mask 255.255.254.0 and a gateway octet of 126 (0x7E).
    const Bytes command = hex("7E 11 43 50 C0 A8 00 0A C0 A8 00 7E FF FF FE 00 FE");
    CommandReader reader;
    EXPECT_EQ(framesOf(reader.feed(command)), std::vector<Bytes>{command});
}

TEST(SimulatorFrameReader, ReportsGarbageAndMalformedFramesThenResynchronises)
{
    CommandReader reader;
    const auto events = reader.feed(hex("00 13 7E 03 41 50 FE 7E 05 41 50 00 7E 05 48 50 FE"));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, ReaderEvent::Kind::Skipped);
    EXPECT_EQ(events[0].bytes, hex("00 13"));
    EXPECT_EQ(events[1].kind, ReaderEvent::Kind::Malformed);
    EXPECT_EQ(events[1].bytes, hex("7E 03 41 50 FE"));
    EXPECT_EQ(events[2].kind, ReaderEvent::Kind::Malformed);
    EXPECT_EQ(events[2].bytes, hex("7E 05 41 50 00"));
    EXPECT_EQ(events[3].kind, ReaderEvent::Kind::Frame);
    EXPECT_EQ(events[3].bytes, hex("7E 05 48 50 FE"));
}

TEST(SimulatorFrameReader, LengthBeyondTheLongestCommandIsMalformed)
{
    CommandReader reader;
    const auto events = reader.feed(hex("7E 36 42 50"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReaderEvent::Kind::Malformed);
    EXPECT_NE(events[0].reason.find("54"), std::string::npos);
}

TEST(SimulatorFrameReader, UnfinishedFrameCanBeDiscarded)
{
    CommandReader reader;
    reader.feed(hex("7E 11 43 50 C0"));
    const auto dropped = reader.discardPartial("port closed");
    ASSERT_TRUE(dropped.has_value());
    EXPECT_EQ(dropped->bytes, hex("7E 11 43 50 C0"));
    EXPECT_FALSE(reader.hasPartial());
    EXPECT_FALSE(reader.discardPartial("again").has_value());
}

TEST(SimulatorFrameWriter, HexTextAndFrames)
{
    EXPECT_EQ(sim::hexText(hex("7E 05 47 50 FE")), "7E.05.47.50.FE.");
    EXPECT_EQ(sim::hexText(Bytes{}), "");
    EXPECT_EQ(sim::buildFrame(0x58, Bytes{}), hex("7E 05 58 50 FE"));
    // A scan reply longer than 255 bytes carries FF in its length byte.
    EXPECT_EQ(sim::buildFrame(0x48, Bytes(300, 0x20))[1], 0xFF);
}

TEST(SimulatorReplyShaping, ChunksRepeatTheLastSizeAndGarbageGoesFirst)
{
    const Bytes reply = hex("7E 05 41 50 FE");
    const Bytes shaped = sim::withGarbageInFront(reply, hex("00 13 37"));
    EXPECT_EQ(shaped, hex("00 13 37 7E 05 41 50 FE"));
    EXPECT_EQ(sim::splitIntoChunks(shaped, {1, 3}),
              (std::vector<Bytes>{hex("00"), hex("13 37 7E"), hex("05 41 50"), hex("FE")}));
    EXPECT_EQ(sim::splitIntoChunks(shaped, {}), std::vector<Bytes>{shaped});
}
