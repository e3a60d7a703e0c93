// Termination signals raised at the test's own process: each is handled once in the event loop,
// which then goes idle, and an object made during another's life holds them until it goes.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <gtest/gtest.h>

#include "shell/termination_signals.h"

using namespace r7730;

namespace {

// Runs the event loop for ms, every pass.
void Spin(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(TerminationSignals, EachSignalIsHandledOnceAndTheLoopGoesIdle)
{
    int handled = 0;
    TTerminationSignals caught([&handled] { ++handled; });
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const int before = handled;
        ASSERT_EQ(::raise(signal), 0);
        // A pipe left full would wake the loop on every pass: hundreds of runs in this time.
        Spin(100);
        EXPECT_EQ(handled, before + 1);
    }
}

TEST(TerminationSignals, ASignalBeforeTheHandlingWaitsForIt)
{
    TTerminationSignals caught;
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    Spin(20);
    int handled = 0;
    caught.Handle([&handled] { ++handled; });
    Spin(50);
    EXPECT_EQ(handled, 1) << "two signals before the loop ran are one ending";
}

TEST(TerminationSignals, AnInnerObjectHoldsTheSignalsAndTheLastGivesBackWhatWasBefore)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
    {
        int outer = 0;
        int inner = 0;
        TTerminationSignals outerSignals([&outer] { ++outer; });
        {
            TTerminationSignals innerSignals([&inner] { ++inner; });
            ASSERT_EQ(::raise(SIGINT), 0);
            Spin(50);
            EXPECT_EQ(inner, 1);
            EXPECT_EQ(outer, 0);
        }
        ASSERT_EQ(::raise(SIGINT), 0);
        Spin(50);
        EXPECT_EQ(outer, 1);
        EXPECT_EQ(inner, 1);
    }
    struct sigaction now {};
    ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    ::sigaction(SIGHUP, &before, nullptr);
}
