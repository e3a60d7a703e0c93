// The simulated device told to download firmware: it fetches only from 127.0.0.0/8, from its own
// WAN address when this PC has it, and a fetch that finds no server leaves its firmware as it was.
#include <QFile>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/simulator_process.h"

using r7730::testing::hex;
using r7730::testing::runSimulatorOnce;
using r7730::testing::SimulatorProcess;

namespace {

// 0x55 naming server A.B.C.D (hex octets), port 8070 and "/fw.bin" with 25 blanks in front.
std::string DownloadFrame(const std::string& server)
{
    std::string blanks;
    for (int i = 0; i < 25; ++i)
        blanks += " 20";
    return "7E 2B 55 50 " + server + " 1F 86" + blanks + " 2F 66 77 2E 62 69 6E FE";
}

// A simulator whose device has the WAN address ip, its state in folder.
std::unique_ptr<SimulatorProcess> DeviceAt(const QTemporaryDir& folder, const char* ip)
{
    QFile state(folder.filePath("state.txt"));
    if (!state.open(QIODevice::WriteOnly) || state.write(QByteArray("ip = ") + ip + "\nmask = 255.0.0.0\n") < 0)
        return nullptr;
    state.close();
    return std::make_unique<SimulatorProcess>(std::vector<std::string>{"--state-file", state.fileName().toStdString()}, folder.path());
}

} // namespace

TEST(SimulatorFirmwareFetch, NeverFetchesFromOutsideLoopback)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex(DownloadFrame("C0 A8 00 05")));
    EXPECT_TRUE(simulator.logContains("firmware download requested from http://192.168.0.5:8070/fw.bin"));
    EXPECT_TRUE(simulator.logContains("not fetched: the simulator fetches firmware only from 127.0.0.0/8"));
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_TRUE(simulator.logContains("TX 0x41 [43][7E.2B.41.50.02.01.03."));
}

TEST(SimulatorFirmwareFetch, KeepsItsFirmwareWhenNoServerAnswers)
{
    struct TCase {
        const char* ip;
        const char* fetching;
    };
    const TCase cases[] = {
        // Port 8070 of 127.0.0.9: nothing of these tests listens there.
        {"127.0.0.2", "fetching http://127.0.0.9:8070/fw.bin from 127.0.0.2"},
        {"192.0.2.10", "fetching http://127.0.0.9:8070/fw.bin (the WAN address is not this PC's: from the address the PC picks)"},
    };
    for (const TCase& c : cases) {
        QTemporaryDir folder;
        const auto simulator = DeviceAt(folder, c.ip);
        ASSERT_TRUE(simulator && simulator->openPort());
        simulator->send(hex(DownloadFrame("7F 00 00 09")));
        EXPECT_TRUE(simulator->logContains(c.fetching)) << simulator->log();
        EXPECT_TRUE(simulator->logContains("firmware fetch: HTTP 0, 0 of 0 bytes (Connection)")) << simulator->log();
        EXPECT_TRUE(simulator->logContains("firmware not installed: the old one keeps running"));
        simulator->send(hex("7E 05 41 50 FE"));
        EXPECT_TRUE(simulator->logContains("TX 0x41 [43][7E.2B.41.50.02.01.03."));
    }
}

TEST(SimulatorFirmwareFetch, AsksFromItsOwnWanAddress)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8070);
    ::inet_pton(AF_INET, "127.0.0.10", &address.sin_addr);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);

    QTemporaryDir folder;
    const auto simulator = DeviceAt(folder, "127.0.0.5");
    ASSERT_TRUE(simulator && simulator->openPort());
    simulator->send(hex(DownloadFrame("7F 00 00 0A")));
    pollfd asked{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&asked, 1, 5000), 1);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int connection = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    char dotted[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
    EXPECT_STREQ(dotted, "127.0.0.5");
    ::close(connection);
    ::close(listener);
}

TEST(SimulatorFirmwareFetch, RefusesUnknownTrialsAndVersions)
{
    std::string output;
    EXPECT_EQ(runSimulatorOnce({"--firmware-fetch", "sometimes"}, output), 2);
    EXPECT_NE(output.find("--firmware-fetch expects whole, halfway, wrong-name or never, not \"sometimes\""), std::string::npos) << output;
    EXPECT_EQ(runSimulatorOnce({"--new-version", "1.x"}, output), 2);
    EXPECT_NE(output.find("--new-version expects a version like 1.4 (each number 0 to 253), not \"1.x\""), std::string::npos) << output;
}
