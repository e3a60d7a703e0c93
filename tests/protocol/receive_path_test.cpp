#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "support/device_frames.h"
#include "protocol/receive_path.h"
#include "protocol/received_frame.h"

using namespace r7730;

namespace {

using r7730::testing::Bytes;

// Records what the receive path lets go: each finished frame as the link shows it, and the
// dropped bytes.
struct TRecordingSink : IReceiveSink {
    void FrameCompleted(std::span<const std::uint8_t> frame) override
    {
        lines.push_back(ReceiveLogLine(frame));
        actions.push_back(ReplyAction(frame));
        if (throwOnFrame)
            throw std::runtime_error("handler failed");
    }
    void BytesDiscarded(std::span<const std::uint8_t> held) override { discarded.emplace_back(held.begin(), held.end()); }
    void FrameOverflowed(std::span<const std::uint8_t> dropped) override { overflows.emplace_back(dropped.begin(), dropped.end()); }
    void OverflowRestSkipped(std::span<const std::uint8_t> skipped) override { rests.emplace_back(skipped.begin(), skipped.end()); }

    std::vector<std::string> lines;
    std::vector<TReplyAction> actions;
    std::vector<Bytes> discarded, overflows, rests;
    bool throwOnFrame = false;
};

class ReceivePath : public ::testing::Test {
protected:
    void Feed(const Bytes& bytes) { path.Feed(bytes.data(), static_cast<int>(bytes.size()), sink); }

    TReceivePath path;
    TRecordingSink sink;
};

const Bytes kStatusReply = r7730::testing::kStatusReply;
const char* const kStatusLine =
    "RX MSG ID:[0x41] LEN:[43]:[7E.2B.41.50.02.01.03.00.1A.2B.3C.4D.5E.C0.A8.00.0A.C0.A8.00.01.FF.FF.FF.00.1F.90.0A."
    "37.33.30.30.31.53.00.50.C0.A8.00.64.00.00.FE.]";

} // namespace

TEST_F(ReceivePath, StatusReplySplitOverThreeEventsIsDispatchedOnceAtTheLast)
{
    Feed(Bytes(kStatusReply.begin(), kStatusReply.begin() + 10));
    Feed(Bytes(kStatusReply.begin() + 10, kStatusReply.begin() + 30));
    EXPECT_TRUE(sink.lines.empty());
    Feed(Bytes(kStatusReply.begin() + 30, kStatusReply.end()));
    ASSERT_EQ(sink.lines, std::vector<std::string>{kStatusLine});
    EXPECT_EQ(sink.actions, std::vector<TReplyAction>{TReplyAction::ShowStatus});
}

TEST_F(ReceivePath, TwoRepliesInOneEventAreDispatchedInOrderEachWithItsOwnBytes)
{
    Bytes two = {0x7E, 0x05, 0x47, 0x50, 0xFE, 0x7E, 0x05, 0x53, 0x50, 0xFE};
    Feed(two);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]",
                                                    "RX MSG ID:[0x53] LEN:[5]:[7E.05.53.50.FE.]"}));
    EXPECT_EQ(sink.actions, (std::vector<TReplyAction>{TReplyAction::AcceptSilently, TReplyAction::Unregistered}));
}

TEST_F(ReceivePath, StrayBytesBeforeTheStartByte)
{
    // One stray byte: the 7E after it restarts the frame, which arrives intact.
    Feed({0x33, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.discarded, std::vector<Bytes>{{0x33}});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]");
    // Two stray bytes: the 7E is data and the second stray byte is taken for the ID.
    Feed({0x33, 0x34, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x34] LEN:[8]:[7E.33.34.7E.05.47.50.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
    EXPECT_EQ(sink.discarded.size(), 1u);
}

TEST_F(ReceivePath, EndByteWithNothingOrOneByteHeldIsAFrameWithIdZero)
{
    Feed({0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x00] LEN:[2]:[7E.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
    Feed({0x41, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x00] LEN:[3]:[7E.41.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
}

TEST_F(ReceivePath, LengthByte7EIsTakenForASecondStartByte)
{
    Feed({0x7E, 0x7E, 0x41, 0x50, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x50] LEN:[4]:[7E.41.50.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
}

TEST_F(ReceivePath, KnownIdsOfTheWrongLengthAreOnlyLogged)
{
    Bytes shorter(kStatusReply);
    shorter.erase(shorter.begin() + 40);
    Feed(shorter);
    Bytes longer(kStatusReply);
    longer.insert(longer.begin() + 40, 0x00);
    Feed(longer);
    EXPECT_EQ(sink.actions, (std::vector<TReplyAction>{TReplyAction::DropWrongLength, TReplyAction::DropWrongLength}));
    EXPECT_NE(sink.lines[0].find("LEN:[42]"), std::string::npos);
    EXPECT_NE(sink.lines[1].find("LEN:[44]"), std::string::npos);
    // 'H' of any length is shown.
    Feed({0x7E, 0x06, 0x48, 0x50, 0x30, 0xFE});
    EXPECT_EQ(sink.actions.back(), TReplyAction::FillScanGrid);
}

TEST_F(ReceivePath, FrameGrowingPastTheBufferIsDroppedAndReceptionGoesOn)
{
    Bytes huge(kRxBufferSize + 100, 0x41);
    huge[0] = 0x7E;
    Feed(huge);
    // The bytes held and the one that did not fit.
    ASSERT_EQ(sink.overflows.size(), 1u);
    EXPECT_EQ(sink.overflows[0], Bytes(kRxBufferSize + 1, 0x41));
    // The rest of the long frame, up to its end byte, is skipped without being dispatched.
    Feed({0x48, 0x49, 0x7E, 0xFE, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines, std::vector<std::string>{"RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]"});
    Bytes rest(98, 0x41);
    for (const std::uint8_t byte : {0x48, 0x49, 0x7E, 0xFE})
        rest.push_back(byte);
    EXPECT_EQ(sink.rests, std::vector<Bytes>{rest});
}

TEST_F(ReceivePath, ARestLongerThanTheBufferComesInPieces)
{
    // No start byte: the frame so far (8193 bytes), a full piece of its rest (8193), then 10 more.
    Feed(Bytes(2 * kRxBufferSize + 12, 0x30));
    Feed({0xFE});
    ASSERT_EQ(sink.overflows.size(), 1u);
    Bytes last(10, 0x30);
    last.push_back(0xFE);
    EXPECT_EQ(sink.rests, (std::vector<Bytes>{Bytes(kRxBufferSize + 1, 0x30), last}));
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(ReceivePath, AFailingHandlerDoesNotStopThePass)
{
    sink.throwOnFrame = true;
    Bytes two = {0x7E, 0x05, 0x47, 0x50, 0xFE, 0x7E, 0x05, 0x48, 0x50, 0xFE};
    EXPECT_THROW(Feed(two), std::runtime_error);
    EXPECT_EQ(sink.lines.size(), 2u);
    // Nothing of the failed frames is left held.
    sink.throwOnFrame = false;
    Feed({0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]");
}
