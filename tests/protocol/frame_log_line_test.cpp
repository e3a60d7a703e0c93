// The log's frame lines read back, and replies paired with the requests they answer.
#include <gtest/gtest.h>

#include "protocol/frame_log_line.h"
#include "protocol/request_pairing.h"
#include "support/device_frames.h"

using namespace r7730;
using namespace r7730::testing;
using namespace std::chrono_literals;
using namespace std::string_literals;

TEST(FrameLogLine, FrameLinesFaultyFrameLinesAndOtherLines)
{
    struct TCase {
        std::string line;
        bool frame;
        TFrameSide side = TFrameSide::Command;
        Bytes bytes = {};
        std::optional<int> second = std::nullopt;
        std::string fault = {}; // of a line shaped like a frame line that holds none
        bool torn = false;
    };
    const TCase cases[] = {
        {"[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]\r", true, TFrameSide::Command, hex("7E 05 41 50 FE"), 14 * 3600 + 3 * 60 + 27},
        {"TX 0x47 : [5][7E.05.47.50.FE.] : System reboot Command", true, TFrameSide::Command, hex("7E 05 47 50 FE"), std::nullopt},
        {"[00:00:01]  RX MSG ID:[0x53] LEN:[5]:[7E.05.53.50.FE.]", true, TFrameSide::Reply, hex("7E 05 53 50 FE"), 1},
        {"[23:59:59]  RX MSG ID:[0x00] LEN:[2]:[7E.FE.]", true, TFrameSide::Reply, hex("7E FE"), 86399},
        {"[14:03:27]  [EOT]", false},
        {"[14:03:27]  Message ID:[0x53] is Unregistered.", false},
        {"[24:00:00]  TX 0x41 : [5][7E.05.41.50.FE.]", false}, // no time of day: the line is no log line
        {"", false},
        {"[14:03:27]  TX 0x41 : [6][7E.05.41.50.FE.]", false, {}, {}, {}, "its length says 6 bytes, the line holds 5"},
        {"[14:03:27]  TX 0x41 : [4][7E.05.41.50.FE.]", false, {}, {}, {}, "its length says 4 bytes, the line holds more"},
        {"[14:03:27]  RX MSG ID:[0x42] LEN:[5]:[7E.05.41.50.FE.]", false, {}, {}, {}, "the line names the ID 0x42, its bytes 0x41"},
        {"[14:03:27]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41.50.02.01", false, {}, {}, {}, "the line ends inside its bytes", true},
        {"[14:03:27]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.4", false, {}, {}, {}, "the line ends inside its bytes", true},
        {"[14:03:27]  TX 0x41 : [5][7e.05.41.50.fe.]", false, {}, {}, {}, "bad hex at byte 1"},
        {"[14:03:27]  TX 0x41 : [5][7E.05.4G.50.FE.]", false, {}, {}, {}, "bad hex at byte 3"},
        {"[14:03:27]  TX 0x41 : [5][7E.05 41.50.FE.]", false, {}, {}, {}, "bad hex at byte 2"},
        {"[14:03:27]  TX 0x41 : [0][]", false, {}, {}, {}, "the line holds no bytes"},
        {"[14:03:27]  RX MSG ID:[0x41] LEN:[8195]:[7E.FE.]", false, {}, {}, {}, "an absurd length of 8195 bytes"},
        {"RX MSG ID:[0x41] LEN:[99999999999999]:[7E.FE.]", false, {}, {}, {}, "an absurd length of more than 999999999 bytes"},
        {"TX 0xZ1 : [5][7E.05.41.50.FE.]", false, {}, {}, {}, "the ID of the TX line is not two hex digits"},
        {"RX MSG ID:[0x41] LEN:[x]:[7E.FE.]", false, {}, {}, {}, "the RX line has no byte count after its ID"},
        {"TX 0x41 [5][7E.05.41.50.FE.]", false, {}, {}, {}, "the TX line has no byte count after its ID"},
        {"[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.\0]"s, false, {}, {}, {}, "bad hex at byte 6"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.line);
        const TFrameLineReading reading = ParseFrameLogLine(c.line);
        EXPECT_EQ(reading.fault, c.fault);
        EXPECT_EQ(reading.torn, c.torn);
        EXPECT_EQ(ReadFrameLogLine(c.line).has_value(), c.frame);
        ASSERT_EQ(reading.frame.has_value(), c.frame);
        if (!reading.frame)
            continue;
        EXPECT_EQ(reading.frame->side, c.side);
        EXPECT_EQ(reading.frame->bytes, c.bytes);
        EXPECT_EQ(reading.frame->secondOfDay, c.second);
    }
}

TEST(RequestPairing, AReplyAnswersTheOldestWaitingRequestOfItsId)
{
    TRequestPairing pairing;
    pairing.Sent(1, 0x41, 0ms);
    pairing.Sent(2, 0x4A, 1ms);
    pairing.Sent(3, 0x41, 2ms);
    EXPECT_EQ(pairing.Received(0x4A, 5ms), 2u);
    EXPECT_EQ(pairing.Received(0x41, 6ms), 1u);
    EXPECT_EQ(pairing.Received(0x41, 7ms), 3u);
    EXPECT_EQ(pairing.Received(0x41, 8ms), std::nullopt); // unasked
}

TEST(RequestPairing, AnUnansweredRequestDoesNotShiftLaterPairs)
{
    TRequestPairing pairing;
    pairing.Sent(1, 0x4A, 0ms);     // the device was rebooting
    pairing.Sent(2, 0x4A, 3100ms);
    EXPECT_EQ(pairing.Received(0x4A, 3120ms), 2u);
    pairing.Sent(3, 0x4A, 6100ms);
    EXPECT_EQ(pairing.Received(0x4A, 6120ms), 3u);
}
