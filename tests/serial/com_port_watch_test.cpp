// Ports coming back and the port list changing, told by file system notices on a scratch
// folder laid out as /dev is: device files, links to them, and a by-id folder that comes and goes.
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

#include "serial/com_port_watch.h"

using namespace r7730;
namespace fs = std::filesystem;

namespace {

class PortWatch : public ::testing::Test {
public: // the cases' steps below take the fixture
    fs::path Dev(const std::string& relative) const { return fs::path(dir_.path().toStdString()) / "dev" / relative; }
    void Make(const std::string& relative) const
    {
        fs::create_directories(Dev(relative).parent_path());
        std::ofstream(Dev(relative)) << "";
    }
    void Link(const std::string& relative, const std::string& target) const
    {
        fs::create_directories(Dev(relative).parent_path());
        fs::create_symlink(Dev(target), Dev(relative));
    }
    void Remove(const std::string& relative) const { fs::remove(Dev(relative)); }
    QTemporaryDir dir_;
    int backs = 0;
    TPortReturnWatch watch{[this] { ++backs; }};
};

struct TReturnCase {
    const char* what;
    const char* watched;                         // the port name, below dev/
    std::function<void(PortWatch&)> before;      // the port as it is when the watch starts
    std::function<void(PortWatch&)> pluggedIn;   // the port coming back
};

} // namespace

TEST_F(PortWatch, APortIsToldBackOnceHoweverItComesBack)
{
    const std::vector<TReturnCase> cases = {
        {"a device node made again", "ttyUSB0", [](PortWatch&) {}, [](PortWatch& t) { t.Make("ttyUSB0"); }},
        {"a link outside /dev made again to a new device", "run/R7730LX",
         [](PortWatch& t) { t.Link("run/R7730LX", "pts/3"); },
         [](PortWatch& t) { t.Make("pts/4"); t.Remove("run/R7730LX"); t.Link("run/R7730LX", "pts/4"); }},
        {"a link that stays while its device comes back", "run/stays",
         [](PortWatch& t) { t.Link("run/stays", "pts/7"); }, [](PortWatch& t) { t.Make("pts/7"); }},
        {"a by-id link whose folder went with the last adapter", "serial/by-id/usb-FTDI_A1-if00-port0",
         [](PortWatch& t) { t.Make("ttyUSB1"); },
         [](PortWatch& t) { t.Link("serial/by-id/usb-FTDI_A1-if00-port0", "ttyUSB1"); }},
    };
    for (const TReturnCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(Dev("pts"));
        c.before(*this);
        backs = 0;
        watch.Start(Dev(c.watched).string());
        ASSERT_TRUE(watch.Watching());
        c.pluggedIn(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return backs > 0; }, 3000));
        // Once: further changes in the folder are not told again.
        Make("pts/other");
        Remove("pts/other");
        QTest::qWait(50);
        EXPECT_EQ(backs, 1);
        EXPECT_FALSE(watch.Watching());
    }
}

TEST_F(PortWatch, APortStillThereCountsOnlyAfterItWasGone)
{
    Make("ttyACM0");
    watch.Start(Dev("ttyACM0").string());
    Make("ttyACM1"); // another adapter in the same folder
    QTest::qWait(100);
    EXPECT_EQ(backs, 0);

    Remove("ttyACM0");
    QTest::qWait(50);
    Make("ttyACM0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return backs == 1; }, 3000));
}

TEST_F(PortWatch, StoppedOrRestartedWatchesTellNothingOfTheOldPort)
{
    watch.Start(Dev("ttyUSB0").string());
    watch.Start(Dev("ttyUSB5").string());
    EXPECT_EQ(watch.PortName(), Dev("ttyUSB5").string());
    Make("ttyUSB0");
    QTest::qWait(100);
    EXPECT_EQ(backs, 0);
    watch.Stop();
    Make("ttyUSB5");
    QTest::qWait(100);
    EXPECT_EQ(backs, 0);
}

TEST_F(PortWatch, TheListWatchFollowsDevAndTheByIdFolderAsItComesAndGoes)
{
    fs::create_directories(Dev(""));
    int changes = 0;
    TPortListWatch list([&] { ++changes; }, (fs::path(dir_.path().toStdString()) / "dev").string());
    Make("ttyUSB0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 3000));

    // by-id appears with the first adapter: a link made in it afterwards is seen too.
    fs::create_directories(Dev("serial/by-id"));
    QTest::qWait(100);
    changes = 0;
    Link("serial/by-id/usb-FTDI_A1-if00-port0", "ttyUSB0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 3000));
}

TEST(NearestExistingFolder, IsTheHoldingFolderOrItsNearestExistingParent)
{
    EXPECT_EQ(NearestExistingFolder("/dev/ttyS0"), "/dev");
    EXPECT_EQ(NearestExistingFolder("/dev/no-such-folder/deeper/by-id/port"), "/dev");
}
