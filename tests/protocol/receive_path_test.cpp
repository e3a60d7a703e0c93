#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "support/device_frames.h"
#include "protocol/receive_path.h"

using namespace r7730;

namespace {

using r7730::testing::Bytes;

// Records every finished frame as the receive path shows it to the window.
struct TRecordingSink : IReceiveSink {
    explicit TRecordingSink(TReceivePath& path) : path(path) {}
    void FrameCompleted() override
    {
        lines.push_back(path.ReceiveLogLine());
        actions.push_back(path.Action());
        if (throwOnFrame)
            throw std::runtime_error("handler failed");
    }
    void FrameOverflowed(int dropped) override { overflows.push_back(dropped); }

    TReceivePath& path;
    std::vector<std::string> lines;
    std::vector<TReplyAction> actions;
    std::vector<int> overflows;
    bool throwOnFrame = false;
};

class ReceivePath : public ::testing::Test {
protected:
    void Feed(const Bytes& bytes) { path.Feed(bytes.data(), static_cast<int>(bytes.size()), sink); }

    TReceivePath path;
    TRecordingSink sink{path};
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
    EXPECT_EQ(path.RxCount, 0);
    EXPECT_EQ(path.RxBuffer[0], 0);
}

TEST_F(ReceivePath, TwoRepliesInOneEventAreDispatchedInOrderEachWithItsOwnBytes)
{
    Bytes two = {0x7E, 0x05, 0x47, 0x50, 0xFE, 0x7E, 0x05, 0x53, 0x50, 0xFE};
    Feed(two);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]",
                                                    "RX MSG ID:[0x53] LEN:[5]:[7E.05.53.50.FE.]"}));
    EXPECT_EQ(sink.actions, (std::vector<TReplyAction>{TReplyAction::AcceptSilently, TReplyAction::Unregistered}));
    EXPECT_EQ(path.UnregisteredLogLine(), "Message ID:[0x00] is Unregistered.");
}

TEST_F(ReceivePath, StrayBytesBeforeTheStartByte)
{
    // One stray byte: the 7E after it restarts the frame, which arrives intact.
    Feed({0x33, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]");
    // Two stray bytes: the 7E is data and the second stray byte is taken for the ID.
    Feed({0x33, 0x34, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x34] LEN:[8]:[7E.33.34.7E.05.47.50.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
}

TEST_F(ReceivePath, EndByteWithNothingOrOneByteHeldIsAFrameWithIdZero)
{
    Feed({0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x00] LEN:[2]:[7E.FE.]");
    EXPECT_EQ(sink.actions.back(), TReplyAction::Unregistered);
    Feed({0x41, 0xFE});
    EXPECT_EQ(sink.lines.back(), "RX MSG ID:[0x00] LEN:[3]:[7E.41.FE.]");
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
    EXPECT_EQ(sink.overflows, std::vector<int>{kRxBufferSize + 1});
    EXPECT_EQ(path.RxCount, 0);
    // The rest of the long frame, up to its end byte, is skipped without being dispatched.
    Feed({0x48, 0x49, 0x7E, 0xFE, 0x7E, 0x05, 0x47, 0x50, 0xFE});
    EXPECT_EQ(sink.lines, std::vector<std::string>{"RX MSG ID:[0x47] LEN:[5]:[7E.05.47.50.FE.]"});
}

TEST_F(ReceivePath, AFailingHandlerDoesNotStopThePass)
{
    sink.throwOnFrame = true;
    Bytes two = {0x7E, 0x05, 0x47, 0x50, 0xFE, 0x7E, 0x05, 0x48, 0x50, 0xFE};
    EXPECT_THROW(Feed(two), std::runtime_error);
    EXPECT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(path.RxCount, 0);
}
