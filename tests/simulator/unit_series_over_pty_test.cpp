// The simulator as a production bench: units plugged in one after another on the same serial end.
#include "bench.h"
#include "support/simulator_process.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace r7730::testing;

namespace {

const Bytes kStatusRead = hex("7E 05 41 50 FE");
const Bytes kWanSave = hex("7E 11 43 50 0A 00 00 05 0A 00 00 01 FF FF FF 00 FE"); // 10.0.0.5 via 10.0.0.1

// The status reply carries the MAC at offset 7 and the WAN IP right after it.
Bytes macOf(const Bytes& reply)
{
    return reply.size() == 43 ? Bytes(reply.begin() + 7, reply.begin() + 13) : reply;
}

Bytes ipOf(const Bytes& reply)
{
    return reply.size() == 43 ? Bytes(reply.begin() + 13, reply.begin() + 17) : reply;
}

Bytes readStatus(SimulatorProcess& simulator)
{
    simulator.send(kStatusRead);
    return simulator.receive(43);
}

// Waits up to 5 s until the simulator's output holds text `times` times.
bool seen(const SimulatorProcess& simulator, const std::string& text, int times = 1)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (true) {
        const std::string output = simulator.output();
        int count = 0;
        for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size()))
            ++count;
        if (count >= times)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

TEST(SimulatorUnitSeries, EachUnitHasItsOwnMacAndFactoryAddress)
{
    const sim::DeviceState base;
    const std::vector<std::tuple<int, Bytes, Bytes>> cases = {
        {1, hex("00 1A 2B 3C 4D 01"), hex("C0 A8 00 65")},   {10, hex("00 1A 2B 3C 4D 0A"), hex("C0 A8 00 6E")},
        {150, hex("00 1A 2B 3C 4D 96"), hex("C0 A8 00 FA")}, {151, hex("00 1A 2B 3C 4D 97"), hex("C0 A8 01 01")},
        {255, hex("00 1A 2B 3C 4D FF"), hex("C0 A8 01 69")}, {256, hex("00 1A 2B 3C 01 00"), hex("C0 A8 01 6A")},
        {401, hex("00 1A 2B 3C 01 91"), hex("C0 A8 02 01")}, {1000, hex("00 1A 2B 3C 03 E8"), hex("C0 A8 04 64")},
    };
    for (const auto& [unit, mac, ip] : cases) {
        const sim::DeviceState state = sim::unitFactoryState(unit, base);
        EXPECT_EQ(Bytes(state.mac.begin(), state.mac.end()), mac) << "unit " << unit;
        EXPECT_EQ(Bytes(state.ip.begin(), state.ip.end()), ip) << "unit " << unit;
        EXPECT_EQ(state.mask, base.mask);
        EXPECT_EQ(state.listenPort, base.listenPort);
    }
}

TEST(SimulatorUnitSeries, ACommissionedUnitIsTakenAwayAndTheNextComes)
{
    SimulatorProcess bench({"--units", "2", "--store-wrong", "2:ip", "--take-away-ms", "1000", "--next-unit-ms", "1000"});
    ASSERT_TRUE(bench.openPort()) << bench.output();
    const std::string serialEnd = bench.linkTarget();
    EXPECT_TRUE(seen(bench, "unit 1 (MAC 00:1A:2B:3C:4D:01) plugged in"));
    Bytes reply = readStatus(bench);
    EXPECT_EQ(macOf(reply), hex("00 1A 2B 3C 4D 01"));
    EXPECT_EQ(ipOf(reply), hex("C0 A8 00 65"));

    bench.send(kWanSave);
    EXPECT_EQ(bench.receive(5), hex("7E 05 43 50 FE"));
    ASSERT_TRUE(seen(bench, "reboot finished"));
    EXPECT_EQ(ipOf(readStatus(bench)), hex("0A 00 00 05")); // unit 1 stores the address as sent

    // Taken away: a read goes unanswered, and the next reply comes from unit 2.
    ASSERT_TRUE(seen(bench, "unit 1 taken away"));
    bench.send(kStatusRead);
    EXPECT_TRUE(seen(bench, "no unit on the bench: 5 bytes ignored"));
    ASSERT_TRUE(seen(bench, "unit 2 (MAC 00:1A:2B:3C:4D:02) plugged in"));
    reply = readStatus(bench);
    EXPECT_EQ(macOf(reply), hex("00 1A 2B 3C 4D 02"));
    EXPECT_EQ(ipOf(reply), hex("C0 A8 00 66"));

    bench.send(kWanSave);
    EXPECT_EQ(bench.receive(5), hex("7E 05 43 50 FE"));
    ASSERT_TRUE(seen(bench, "reboot finished", 2));
    EXPECT_EQ(ipOf(readStatus(bench)), hex("0A 00 00 04")); // only unit 2 stores it wrong

    // A factory reset brings back the unit's own address, and the bench waits for its reboot too.
    bench.send(hex("7E 06 46 50 4E FE"));
    EXPECT_EQ(bench.receive(5), hex("7E 05 46 50 FE"));
    ASSERT_TRUE(seen(bench, "reboot finished", 3));
    EXPECT_EQ(ipOf(readStatus(bench)), hex("C0 A8 00 66"));

    ASSERT_TRUE(seen(bench, "unit 2 taken away; it was the last, the bench stays empty"));
    bench.send(kStatusRead);
    EXPECT_TRUE(seen(bench, "no unit on the bench: 5 bytes ignored", 2));
    EXPECT_EQ(bench.linkTarget(), serialEnd); // the same serial end all along
}

TEST(SimulatorUnitSeries, AUnitThatDoesNotComeBackIsTakenAwayAllTheSame)
{
    SimulatorProcess bench({"--units", "2", "--no-return", "1", "--take-away-ms", "1000", "--next-unit-ms", "100"});
    ASSERT_TRUE(bench.openPort()) << bench.output();
    EXPECT_EQ(macOf(readStatus(bench)), hex("00 1A 2B 3C 4D 01"));
    bench.send(kWanSave);
    EXPECT_EQ(bench.receive(5), hex("7E 05 43 50 FE"));

    ASSERT_TRUE(seen(bench, "unit 1 does not come back from its reboot"));
    bench.send(kStatusRead);
    EXPECT_TRUE(seen(bench, "unit 1 did not come back from its reboot: 5 bytes ignored"));
    ASSERT_TRUE(seen(bench, "unit 2 (MAC 00:1A:2B:3C:4D:02) plugged in"));
    EXPECT_EQ(macOf(readStatus(bench)), hex("00 1A 2B 3C 4D 02"));
}
