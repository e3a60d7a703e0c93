// The real Simulator binary, spoken to over its pseudo-terminal with literal command frames.
#include "support/simulator_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace r7730::testing;

TEST(SimulatorOverPty, AnswersTheCatalogueCommands)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.openPort()) << simulator.output();

    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_EQ(simulator.receive(43), kFactoryStatusReply);

    simulator.send(hex("7E 05 48 50 FE"));
    const Bytes scan = simulator.receive(266);
    ASSERT_EQ(scan.size(), 266u);
    EXPECT_EQ(Bytes(scan.begin(), scan.begin() + 5), hex("7E FF 48 50 35"));
    EXPECT_EQ(scan.back(), 0xFE);

    simulator.send(hex("7E 05 49 50 FE"));
    EXPECT_EQ(simulator.receive(53), join({hex("7E 35 49 50"), blanks(48), hex("FE")}));

    simulator.send(hex("7E 05 4A 50 FE"));
    EXPECT_EQ(simulator.receive(43), join({hex("7E 2B 4A 50"), blanks(32), text("NOINFO"), hex("FE")}));

    // Three commands in one write: each is acknowledged with its own ID.
    simulator.send(hex("7E 08 53 50 0B B8 0A FE 7E 05 58 50 FE 7E 05 47 50 FE"));
    EXPECT_EQ(simulator.receive(15), hex("7E 05 53 50 FE 7E 05 58 50 FE 7E 05 47 50 FE"));
    EXPECT_TRUE(simulator.logContains("RX 0x47 [5][7E.05.47.50.FE.]"));
    EXPECT_TRUE(simulator.logContains("TX 0x41 [43][7E.2B.41.50.02.01.03."));
}

TEST(SimulatorOverPty, IgnoresFramesWhileRebootingAndReportsUnparsableBytes)
{
    SimulatorProcess simulator({"--reboot-ms", "1000"});
    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex("7E 05 47 50 FE"));
    EXPECT_EQ(simulator.receive(5), hex("7E 05 47 50 FE"));
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_TRUE(simulator.outputContains("rebooting: 5 bytes ignored: 7E.05.41.50.FE."));
    EXPECT_TRUE(simulator.outputContains("reboot finished"));

    simulator.send(hex("13 37 7E 03 41 7E 05 41 50 FE"));
    EXPECT_EQ(simulator.receive(43), kFactoryStatusReply);
    // Two pieces in a row make one note.
    EXPECT_TRUE(simulator.outputContains("skipped 5 bytes in 2 pieces that made no frame (the first: bytes outside a "
                                         "frame): 13.37."));
    simulator.send(hex("7E 03 41 50 FE"));
    EXPECT_TRUE(simulator.outputContains("malformed frame ignored (length byte 3 is not a command length (5 to 53)): 7E.03.41."));

    // A flood of noise is one note, not one per byte.
    simulator.send(Bytes(4000, 0x7E));
    EXPECT_TRUE(simulator.outputContains("skipped 3999 bytes in 3999 pieces")); // the last may still start a frame
    EXPECT_LT(simulator.output().size(), 4000u);
}

TEST(SimulatorOverPty, SavedSettingsSurviveARestartWithAStateFile)
{
    QTemporaryDir folder;
    const std::string stateFile = (folder.path() + "/state.txt").toStdString();
    {
        SimulatorProcess first({"--state-file", stateFile}, folder.path());
        ASSERT_TRUE(first.openPort());
        first.send(hex("7E 11 43 50 0A 00 00 05 0A 00 00 01 FF FF FF 00 FE"));
        EXPECT_EQ(first.receive(5), hex("7E 05 43 50 FE"));
        EXPECT_TRUE(first.logContains("note: rebooting"));
        EXPECT_EQ(first.stop(), 0);
    }
    SimulatorProcess second({"--state-file", stateFile}, folder.path());
    ASSERT_TRUE(second.openPort());
    second.send(hex("7E 05 41 50 FE"));
    EXPECT_EQ(second.receive(43),
              hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E 0A 00 00 05 0A 00 00 01 FF FF FF 00 1F 90 1E"
                  " 37 33 30 30 31 53 13 88 C0 A8 00 64 00 00 FE"));
}

TEST(SimulatorOverPty, SplitsMergesAndPrefixesRepliesAsAsked)
{
    {
        SimulatorProcess chunked({"--chunks", "1,4,10", "--chunk-gap", "5"});
        ASSERT_TRUE(chunked.openPort());
        chunked.send(hex("7E 05 41 50 FE"));
        EXPECT_EQ(chunked.receive(43), kFactoryStatusReply);
        EXPECT_TRUE(chunked.logContains("write 8 bytes"));
        const std::string log = chunked.log();
        const std::string writes = log.substr(log.find("write "));
        for (const char* expected : {"write 1 bytes", "write 4 bytes", "write 10 bytes"})
            EXPECT_NE(writes.find(expected), std::string::npos) << expected;
    }
    {
        SimulatorProcess merged({"--merge", "2"});
        ASSERT_TRUE(merged.openPort());
        merged.send(hex("7E 05 41 50 FE"));
        merged.send(hex("7E 05 4A 50 FE"));
        EXPECT_EQ(merged.receive(86),
                  join({kFactoryStatusReply, hex("7E 2B 4A 50"), blanks(32), text("NOINFO"), hex("FE")}));
        EXPECT_TRUE(merged.logContains("write 86 bytes"));
    }
    {
        SimulatorProcess garbage({"--garbage", "00.13.37"});
        ASSERT_TRUE(garbage.openPort());
        garbage.send(hex("7E 05 58 50 FE"));
        EXPECT_EQ(garbage.receive(8), hex("00 13 37 7E 05 58 50 FE"));
    }
}

TEST(SimulatorOverPty, WrongStatusLengthAndUnknownIdForTrials)
{
    SimulatorProcess simulator({"--status-length", "30", "--unknown-id", "5A"});
    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex("7E 05 41 50 FE"));
    // The unknown ID comes once per open of the port, before the first reply.
    EXPECT_EQ(simulator.receive(35),
              hex("7E 05 5A 50 FE 7E 1E 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 1E 37 FE"));
    simulator.send(hex("7E 05 58 50 FE"));
    EXPECT_EQ(simulator.receive(5), hex("7E 05 58 50 FE"));
}

TEST(SimulatorOverPty, HangsUpAfterNFramesAndComesBackOnANewPort)
{
    SimulatorProcess simulator({"--hangup-after", "2", "--replug-ms", "100"});
    ASSERT_TRUE(simulator.openPort());
    const std::string firstPort = simulator.linkTarget();
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_EQ(simulator.receive(43), kFactoryStatusReply);
    simulator.send(hex("7E 05 58 50 FE"));
    EXPECT_EQ(simulator.receive(5), hex("7E 05 58 50 FE"));
    EXPECT_TRUE(simulator.waitForHangUp());
    EXPECT_TRUE(simulator.outputContains("plugged in again"));
    EXPECT_NE(simulator.linkTarget(), firstPort);

    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_EQ(simulator.receive(43), kFactoryStatusReply);
}

TEST(SimulatorOverPty, ClosingAndReopeningThePortKeepsItAnswering)
{
    SimulatorProcess simulator;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(simulator.openPort());
        simulator.send(hex("7E 05 41 50 FE"));
        EXPECT_EQ(simulator.receive(43), kFactoryStatusReply) << "round " << round;
        simulator.closePort();
    }
    EXPECT_TRUE(simulator.outputContains("port closed by the program"));
}

TEST(SimulatorOverPty, FloodSendsStatusRepliesUnasked)
{
    SimulatorProcess simulator({"--flood", "200"});
    ASSERT_TRUE(simulator.openPort());
    EXPECT_EQ(simulator.receive(3 * 43), join({kFactoryStatusReply, kFactoryStatusReply, kFactoryStatusReply}));
}

TEST(SimulatorOverPty, RemovesItsLinkWhenStopped)
{
    SimulatorProcess simulator;
    ASSERT_FALSE(simulator.linkTarget().empty());
    EXPECT_EQ(simulator.stop(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(simulator.linkPath())));
}

TEST(SimulatorOverPty, WithoutALinkOptionItLinksItsPortInTheWorkingFolderUnderANameOfItsOwn)
{
    QTemporaryDir work;
    const QString dev = work.path() + "/dev/";
    // A link left by a simulator that was killed leads nowhere: its name is taken over.
    ASSERT_TRUE(QDir(work.path()).mkpath("dev"));
    ASSERT_TRUE(QFile::link("/dev/pts/no-such-port", dev + "R7730LX-sim"));

    SimulatorProcess first(SimulatorProcess::TOwnLink{work.path()});
    EXPECT_EQ(first.linkPath(), (dev + "R7730LX-sim").toStdString()) << first.output();
    const std::string firstPort = first.linkTarget();
    EXPECT_EQ(firstPort.rfind("/dev/pts/", 0), 0u) << firstPort;
    ASSERT_TRUE(first.openPort());
    first.send(hex("7E 05 41 50 FE"));
    EXPECT_EQ(first.receive(43), kFactoryStatusReply);

    // A second one leaves the first's link alone and says which name it took.
    SimulatorProcess second(SimulatorProcess::TOwnLink{work.path()});
    EXPECT_EQ(second.linkPath(), (dev + "R7730LX-sim2").toStdString()) << second.output();
    EXPECT_TRUE(second.outputContains(
        "./dev/R7730LX-sim belongs to another simulator that is running; this one is ./dev/R7730LX-sim2"));
    EXPECT_EQ(first.linkTarget(), firstPort);

    // Each takes only its own link away when it ends.
    EXPECT_EQ(second.stop(), 0);
    EXPECT_FALSE(QFileInfo(dev + "R7730LX-sim2").isSymLink());
    EXPECT_EQ(first.linkTarget(), firstPort);
    EXPECT_EQ(first.stop(), 0);
    EXPECT_FALSE(QFileInfo(dev + "R7730LX-sim").isSymLink());
}

TEST(SimulatorCommandLine, BadArgumentsAndBadStateFilesStopWithAMessage)
{
    std::string output;
    EXPECT_EQ(runSimulatorOnce({"--delay", "soon"}, output), 2);
    EXPECT_NE(output.find("Simulator: --delay expects a whole number from 0 to 600000, not \"soon\""), std::string::npos)
        << output;

    QTemporaryDir folder;
    const QString stateFile = folder.path() + "/state.txt";
    QFile file(stateFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("model = 2\nmask = 255.255.255\n");
    file.close();
    EXPECT_EQ(runSimulatorOnce({"--state-file", stateFile.toStdString()}, output), 1);
    EXPECT_NE(output.find("line 2: \"255.255.255\" is not an address like 192.168.0.10 (key mask)"), std::string::npos)
        << output;

    EXPECT_EQ(runSimulatorOnce({"--help"}, output), 0);
    EXPECT_NE(output.find("--hangup-after N"), std::string::npos);
    EXPECT_NE(output.find("--units N"), std::string::npos);
}
