// The frame store: numbers, pairing and latency, the cap, repeated signal polls, and the
// frames written out as CSV and JSON Lines.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "device/frame_export.h"
#include "device/frame_store.h"
#include "support/device_frames.h"

using namespace r7730;
using namespace r7730::testing;
using namespace std::chrono_literals;

namespace {

TObservedFrame Observed(std::chrono::milliseconds at, TFrameDirection direction, const Bytes& bytes,
                        TFrameKind kind = TFrameKind::Frame)
{
    return {at, std::chrono::system_clock::time_point(at), direction, kind, bytes};
}

const auto TX = TFrameDirection::Sent;
const auto RX = TFrameDirection::Received;

} // namespace

TEST(FrameStore, NumbersPairsAndStates)
{
    TFrameStore store;
    int added = 0;
    store.SetAddedCallback([&] { ++added; });
    store.FrameObserved(Observed(0ms, TX, hex("7E 05 41 50 FE")));
    store.FrameObserved(Observed(1ms, TX, hex("7E 05 4A 50 FE")));
    store.FrameObserved(Observed(13ms, RX, kStatusReply));
    store.FrameObserved(Observed(14ms, RX, hex("7E 05 53 50 FE")));
    store.FrameObserved(Observed(15ms, RX, hex("41"), TFrameKind::Discarded));
    store.FrameObserved(Observed(16ms, RX, hex("7E 2A 41 50 FE")));

    ASSERT_EQ(store.Size(), 6u);
    EXPECT_EQ(added, 6);
    struct TExpected {
        std::uint64_t sequence;
        TFrameStatus status;
        std::optional<std::uint64_t> answers;
        std::optional<std::chrono::microseconds> latency;
        const char* summary;
    };
    const TExpected expected[] = {
        {1, TFrameStatus::Ok, {}, {}, "status read"},
        {2, TFrameStatus::Ok, {}, {}, "read signal strength"},
        {3, TFrameStatus::Ok, 1, 13000us,
         "status: R7730LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, TCP server :8080, 115200 8N1 none"},
        {4, TFrameStatus::Unregistered, {}, {}, "unregistered ID 0x53 (Flash save interval and delay), 5 bytes"},
        {5, TFrameStatus::Discarded, {}, {}, "discarded: 1 byte held before a start byte"},
        {6, TFrameStatus::WrongLength, {}, {}, "status: wrong length, 5 bytes (43 expected)"},
    };
    for (std::size_t row = 0; row < store.Size(); ++row) {
        SCOPED_TRACE(row);
        const TStoredFrame& frame = store.At(row);
        EXPECT_EQ(frame.sequence, expected[row].sequence);
        EXPECT_EQ(frame.content->status, expected[row].status);
        EXPECT_EQ(frame.answers, expected[row].answers);
        EXPECT_EQ(frame.latency, expected[row].latency);
        EXPECT_EQ(frame.content->summary.toStdString(), expected[row].summary);
    }
}

TEST(FrameStore, KeepsUpToItsCapacityLettingAHundredthGoAtATime)
{
    TFrameStore store(200);
    const auto add = [&](int i) { store.FrameObserved(Observed(std::chrono::milliseconds(i), TX, hex("7E 05 41 50 FE"))); };
    for (int i = 0; i < 1000; ++i)
        add(i);
    EXPECT_EQ(store.Size(), 200u);
    EXPECT_EQ(store.LetGo(), 800u);
    EXPECT_EQ(store.At(0).sequence, 801u);
    EXPECT_EQ(store.RowOf(1000), 199u);
    EXPECT_EQ(store.RowOf(800), std::nullopt);
    add(1000);
    EXPECT_EQ(store.Size(), 199u);
    EXPECT_EQ(store.LetGo(), 802u);
    EXPECT_EQ(store.At(0).content, store.At(198).content); // identical frames share their decoding
}

TEST(FrameStore, ASignalPollIsRepeatedWhenItsBytesAreTheSameAsTheLastOnesWay)
{
    const Bytes read = hex("7E 05 4A 50 FE");
    const Bytes office65 = join({hex("7E 2B 4A 50"), blanks(26), text("Office"), text("  -65 "), hex("FE")});
    const Bytes office70 = join({hex("7E 2B 4A 50"), blanks(26), text("Office"), text("  -70 "), hex("FE")});
    TFrameStore store;
    int ms = 0;
    for (const auto& [direction, bytes] : {std::pair{TX, read}, {RX, office65}, {TX, read}, {RX, office65}, {TX, read}, {RX, office70}})
        store.FrameObserved(Observed(std::chrono::milliseconds(ms++), direction, bytes));
    std::vector<bool> repeated;
    for (std::size_t row = 0; row < store.Size(); ++row)
        repeated.push_back(store.At(row).repeatedSignalPoll);
    EXPECT_EQ(repeated, (std::vector<bool>{false, false, true, true, true, false}));
}

TEST(FrameExport, CsvQuotesWhatNeedsItAndJsonCarriesEveryField)
{
    TFrameStore store;
    store.FrameObserved(Observed(0ms, TX, hex("7E 05 41 50 FE")));
    store.FrameObserved(Observed(12ms, RX, kStatusReply));
    TFrameRecord request = RecordOf(store.At(0));
    request.time = "2021-03-05T14:03:27.000+09:00";
    EXPECT_EQ(CsvHeader(), "time,direction,id,length,hex,summary\r\n");
    EXPECT_EQ(CsvRecord(request), "2021-03-05T14:03:27.000+09:00,TX,0x41,5,7E 05 41 50 FE,status read\r\n");
    TFrameRecord reply = RecordOf(store.At(1));
    reply.summary = "a \"quoted\", text";
    EXPECT_TRUE(CsvRecord(reply).endsWith(",\"a \"\"quoted\"\", text\"\r\n"));

    const QJsonObject json = QJsonDocument::fromJson(JsonLine(RecordOf(store.At(1)))).object();
    EXPECT_EQ(json["id"].toString(), "0x41");
    EXPECT_EQ(json["answers"].toInteger(), 1);
    EXPECT_DOUBLE_EQ(json["latency_ms"].toDouble(), 12.0);
    EXPECT_EQ(json["state"].toString(), "ok");
    const QJsonArray fields = json["fields"].toArray();
    ASSERT_EQ(fields.size(), 22);
    EXPECT_EQ(fields[6].toObject(), (QJsonObject{{"offset", 7}, {"length", 6}, {"name", "MAC address"}, {"hex", "00 1A 2B 3C 4D 5E"},
                                                 {"value", "00:1A:2B:3C:4D:5E"}}));
}
