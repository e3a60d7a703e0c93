// A save verified by reading it back, driven against the simulated device with no front end:
// what the device holds afterwards, compared with what was sent.
#include <gtest/gtest.h>

#include "device/apply_and_verify.h"
#include "device/device_session.h"
#include "support/qt_printers.h"
#include "support/log_only_listener.h"
#include "support/simulator_process.h"

using namespace r7730;

TEST(ApplyAndVerify, WhatTheDeviceHoldsAfterTheSaveIsComparedWithWhatWasSent)
{
    struct TCase {
        const char* name;
        std::vector<std::string> options;
        TSettingsValue value;
        TTexts readBack;
        QStringList differs;
        QStringList unverified;
    };
    const TWanSettings wan{{10, 0, 0, 5}, {10, 0, 0, 1}, {255, 255, 0, 0}};
    const TTexts wanTexts{{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.0.0"}};
    const std::vector<TCase> cases = {
        {"held as sent", {}, wan, wanTexts, {}, {}},
        {"stored with a bit flipped", {"--store-wrong", "mask"}, wan,
         {{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.0.1"}}, {"mask"}, {}},
        // Stored as sent, but a reply cannot carry the 254: it comes back as 253, unverified.
        {"a mask with the byte 254", {}, TWanSettings{{10, 0, 0, 5}, {10, 0, 0, 1}, {255, 255, 254, 0}},
         {{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.253.0"}}, {}, {"mask"}},
        // The link's own status read after an unregistered reply is answered after the save went
        // out, with the settings from before it: that answer is not the read-back.
        {"a status read answered before the save", {"--unknown-id", "5A"}, wan, wanTexts, {}, {}},
        {"access point", {}, TAccessPoint{"Lab_AP", "pass1234"}, {{"ssid", "Lab_AP"}, {"password", "pass1234"}}, {}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = {"--quiet"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        r7730::testing::SimulatorProcess simulator(options);
        r7730::testing::TLogOnlyListener frontEnd;
        TDeviceSession session(frontEnd, 400);
        session.Link().Port().SetPort(simulator.linkPath());
        ASSERT_FALSE(session.Open().has_value());
        ASSERT_TRUE(session.ReadStatus().has_value()) << frontEnd.log.join('\n').toStdString();

        const TApplyResult result = ApplyAndVerify(session, c.value);
        EXPECT_TRUE(result.answeredAgain) << frontEnd.log.join('\n').toStdString();
        EXPECT_TRUE(result.rebootSeen);
        EXPECT_TRUE(result.readBackAnswered);
        EXPECT_FALSE(result.movedLine);
        EXPECT_EQ(result.readBack, c.readBack);
        EXPECT_EQ(result.differs, c.differs);
        EXPECT_EQ(result.unverified, c.unverified);
        EXPECT_EQ(result.Verified(), c.differs.isEmpty());
    }
}

TEST(ApplyAndVerify, ADeviceThatHangsUpEndsTheSession)
{
    // The save is the second frame: the unit goes away after it, never between the status read
    // and its reply (a closing pty may drop a reply still in flight).
    r7730::testing::SimulatorProcess simulator({"--quiet", "--hangup-after", "2", "--replug-ms", "60000"});
    r7730::testing::TLogOnlyListener frontEnd;
    TDeviceSession session(frontEnd, 400);
    session.Link().Port().SetPort(simulator.linkPath());
    ASSERT_FALSE(session.Open().has_value());
    ASSERT_TRUE(session.ReadStatus().has_value());
    try {
        ApplyAndVerify(session, TWanSettings{{10, 0, 0, 9}, {10, 0, 0, 1}, {255, 255, 255, 0}});
        FAIL() << "no exception";
    } catch (const ESessionEnded& ended) {
        EXPECT_EQ(ended.Why(), ESessionEnded::TWhy::HungUp);
    }
}
