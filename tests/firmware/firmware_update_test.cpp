// The firmware update's flow against the simulated device over loopback, with no front end: what
// it tells, in the order it tells it, and the result it leaves for its front end to word.
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "device/device_session.h"
#include "firmware/firmware_update.h"
#include "support/log_only_listener.h"
#include "support/qt_printers.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::firmware;

namespace {

// The device on a loopback WAN network, so this PC's 127.0.0.1 lies in it.
const QByteArray kLoopbackDevice = "model = 2\nfirmware = 1.3\nmac = 00:1A:2B:3C:4D:5E\nip = 127.0.0.2\ngateway = 127.0.0.1\n"
                                   "mask = 255.0.0.0\n";

class TEventsSeen : public IFirmwareUpdateEvents {
public:
    void PortTaken(const QString& address, int) override { seen << "port taken on " + address; }
    // The URL's port is the first free one: the result carries it.
    void Serving(const QString&, const QString& addressFrom) override { seen << "serving from " + addressFrom; }
    void FrameSent(const QString& deviceAddress) override { seen << "frame sent to " + deviceAddress; }
    void Request(const TServeEvent& event) override
    {
        seen << QStringLiteral("request %1 %2 %3 %4").arg(event.device ? "device" : "other", QString::fromStdString(event.method),
                                                         QString::fromStdString(event.path))
                    .arg(event.status);
    }
    void Progress(std::uint64_t covered) override
    {
        if (covered != covered_)
            seen << QStringLiteral("covered %1").arg(covered);
        covered_ = covered;
    }
    void NoRequestYet(int, int) override { seen << "no request yet"; }
    void ServedWhole(std::uint64_t bytes, int requests) override { seen << QStringLiteral("served %1 in %2").arg(bytes).arg(requests); }
    void Back(const QString& before, const QString& after, double) override { seen << "back " + before + " -> " + after; }

    QStringList seen;

private:
    std::uint64_t covered_ = 0;
};

// A port of 127.0.0.1 held by a listener of the test's own, so the update has to take another.
class THeldPort {
public:
    THeldPort()
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(socket_, 1) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~THeldPort() { ::close(socket_); }
    int port = 0;

private:
    int socket_ = -1;
};

struct TUpdateRun {
    TFirmwareUpdateResult result;
    QStringList seen;
    QString log; // the session's log lines
};

// One update of a 1000-byte image against a simulator with these options and state.
TUpdateRun Update(std::vector<std::string> simulatorOptions, const std::function<void(TFirmwareUpdateRequest&)>& adjust = {})
{
    QTemporaryDir folder;
    const QString state = folder.filePath("state.txt");
    EXPECT_TRUE(r7730::testing::WriteWholeFile(state, kLoopbackDevice));
    EXPECT_TRUE(r7730::testing::WriteWholeFile(folder.filePath("fw.bin"), QByteArray(1000, '\0')));
    TImageCheck image = ReadFirmwareImage(folder.filePath("fw.bin"), kDefaultMostImageBytes, false);
    EXPECT_TRUE(image.image.has_value()) << image.refusal.toStdString();
    if (!image.image)
        return {};
    TFirmwareUpdateRequest request{std::move(*image.image), "/fw.bin", std::nullopt, 18370, 5, {}};
    if (adjust)
        adjust(request);

    simulatorOptions.insert(simulatorOptions.end(), {"--quiet", "--state-file", state.toStdString()});
    r7730::testing::SimulatorProcess simulator(simulatorOptions);
    r7730::testing::TLogOnlyListener frontEnd;
    TDeviceSession session(frontEnd, 400);
    session.Link().Port().SetPort(simulator.linkPath());
    EXPECT_FALSE(session.Open().has_value());
    const std::optional<TStatusReply> status = session.ReadStatus();
    EXPECT_TRUE(status.has_value());
    if (!status)
        return {};
    TEventsSeen events;
    TUpdateRun run;
    run.result = UpdateFirmware(session, request, *status, events);
    run.seen = events.seen;
    run.log = frontEnd.log.join('\n');
    return run;
}

} // namespace

TEST(FirmwareUpdate, TellsEachStepInOrderAndEndsWithTheVersionTheDeviceCameBackWith)
{
    const THeldPort held;
    ASSERT_NE(held.port, 0);
    const TUpdateRun run = Update({"--new-version", "1.4"}, [&held](TFirmwareUpdateRequest& request) {
        request.port = held.port;
        request.expectVersion = "1.4";
    });
    EXPECT_EQ(run.seen, (QStringList{"port taken on 127.0.0.1",
                                     "serving from this PC's address in the device's network 127.0.0.0/8",
                                     "frame sent to 127.0.0.2",
                                     "request device GET /fw.bin 200",
                                     "covered 1000",
                                     "served 1000 in 1",
                                     "back 1.03 -> 1.04"}))
        << run.log.toStdString();
    EXPECT_EQ(run.result.outcome, TUpdateOutcome::Updated);
    EXPECT_EQ(run.result.reason, "");
    EXPECT_TRUE(QRegularExpression("^http://127\\.0\\.0\\.1:\\d+/fw\\.bin$").match(run.result.url).hasMatch()) << run.result.url.toStdString();
    EXPECT_FALSE(run.result.url.contains(QStringLiteral(":%1/").arg(held.port)));
    EXPECT_EQ(run.result.bytesServed, 1000u);
    EXPECT_TRUE(run.result.downloadSeconds.has_value());
    EXPECT_TRUE(run.result.backSeconds.has_value());
    EXPECT_EQ(run.result.versionAfter, "1.04");
}

TEST(FirmwareUpdate, EndsWithWhatWentWrongAndTellsNothingPastIt)
{
    struct TCase {
        const char* name;
        std::vector<std::string> simulatorOptions;
        std::function<void(TFirmwareUpdateRequest&)> adjust;
        TUpdateOutcome outcome;
        const char* reason;
        QStringList seen;
        bool downloadFrame;
        bool back;
    };
    const QString serving = "serving from this PC's address in the device's network 127.0.0.0/8";
    const std::vector<TCase> cases = {
        {"an address the device cannot fetch from", {}, [](TFirmwareUpdateRequest& r) { r.serveAddress = TOctets{0, 0, 0, 0}; },
         TUpdateOutcome::Refused,
         "--serve 0.0.0.0 names no address the device can fetch from (0.0.0.0/8 means \"this host\"): give this PC's address "
         "in the device's network",
         {}, false, false},
        {"a device that never asks", {"--firmware-fetch", "never"}, [](TFirmwareUpdateRequest& r) { r.waitSeconds = 1; },
         TUpdateOutcome::Failed, "the firmware was not downloaded whole within 1 s: no request came",
         {serving, "frame sent to 127.0.0.2"}, true, false},
        {"a device asking for another name", {"--firmware-fetch", "wrong-name"}, [](TFirmwareUpdateRequest& r) { r.waitSeconds = 1; },
         TUpdateOutcome::Failed,
         "the firmware was not downloaded whole within 1 s: 0 of 1000 bytes went out in 1 request, the last answered 404 for "
         "/not-fw.bin",
         {serving, "frame sent to 127.0.0.2", "request device GET /not-fw.bin 404"}, true, false},
        {"a device back with the version of before", {"--new-version", "1.3"}, {}, TUpdateOutcome::NotUpdated,
         "the device still runs firmware 1.03: the update did not take (--expect-version 1.03 accepts an unchanged version)",
         {serving, "frame sent to 127.0.0.2", "request device GET /fw.bin 200", "covered 1000", "served 1000 in 1",
          "back 1.03 -> 1.03"},
         true, true},
        {"a device back with another version than expected", {"--new-version", "1.10"},
         [](TFirmwareUpdateRequest& r) { r.expectVersion = "1.4"; }, TUpdateOutcome::OtherThanExpected,
         "the device runs firmware 1.10, not the 1.4 expected",
         {serving, "frame sent to 127.0.0.2", "request device GET /fw.bin 200", "covered 1000", "served 1000 in 1",
          "back 1.03 -> 1.10"},
         true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TUpdateRun run = Update(c.simulatorOptions, c.adjust);
        EXPECT_EQ(run.result.outcome, c.outcome);
        EXPECT_EQ(run.result.reason, c.reason);
        EXPECT_EQ(run.seen, c.seen);
        EXPECT_EQ(run.log.contains("TX 0x55"), c.downloadFrame) << run.log.toStdString();
        EXPECT_EQ(run.result.backSeconds.has_value(), c.back);
    }
}

TEST(FirmwareUpdate, ADeviceThatHangsUpDuringTheDownloadEndsTheSession)
{
    // The download frame is the second frame: the unit goes away after it, while the update waits
    // for its request.
    try {
        Update({"--firmware-fetch", "never", "--hangup-after", "2", "--replug-ms", "60000"});
        FAIL() << "no exception";
    } catch (const ESessionEnded& ended) {
        EXPECT_EQ(ended.Why(), ESessionEnded::TWhy::HungUp);
    }
}
