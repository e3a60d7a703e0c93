// Port descriptions: the USB facts and stable link read from a sysfs and /dev laid out in a
// scratch folder, and the access judged from real files' modes, groups and locks.
#include <QTemporaryDir>
#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/sysmacros.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/com_port_description.h"

using namespace r7730;
namespace fs = std::filesystem;

namespace {

// /sys/class/tty, /sys/devices and /dev under one scratch folder.
class TFakeSystem {
public:
    TFakeSystem() : root_(dir_.path().toStdString())
    {
        fs::create_directories(root_ / "class/tty");
        fs::create_directories(root_ / "dev/serial/by-id");
    }

    // A tty whose device sits at devices/<parent>; its device file is a plain file in dev/.
    void AddPort(const std::string& name, const std::string& parent)
    {
        const fs::path node = root_ / "devices" / parent / "tty" / name;
        fs::create_directories(node);
        fs::create_directory_symlink(root_ / "devices" / parent, node / "device");
        fs::create_directory_symlink(node, root_ / "class/tty" / name);
        std::ofstream(root_ / "dev" / name) << "";
    }
    void Attribute(const std::string& folder, const std::string& name, const std::string& value)
    {
        std::ofstream(root_ / "devices" / folder / name) << value << "\n";
    }
    void StableLink(const std::string& link, const std::string& name)
    {
        fs::create_symlink(root_ / "dev" / name, root_ / "dev/serial/by-id" / link);
    }
    std::string Dev(const std::string& name) const { return (root_ / "dev" / name).string(); }
    TPortSystemPaths Paths() const
    {
        return {(root_ / "class/tty").string(), (root_ / "dev").string(), (root_ / "dev/serial/by-id").string(), "/proc",
                (root_ / "work/dev").string()};
    }
    std::string Root() const { return root_.string(); }

private:
    QTemporaryDir dir_;
    fs::path root_;
};

TUserIdentity Technician()
{
    TUserIdentity user;
    user.uid = 4242;
    user.groups = {4242};
    user.name = "technician-not-in-any-group";
    user.pid = 1;
    return user;
}

} // namespace

TEST(ComPortDescription, UsbFactsAndTheStableLinkOfEachPort)
{
    TFakeSystem system;
    system.AddPort("ttyUSB0", "pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0");
    system.Attribute("pci0000:00/usb1/1-1", "idVendor", "0403");
    system.Attribute("pci0000:00/usb1/1-1", "idProduct", "6001");
    system.Attribute("pci0000:00/usb1/1-1", "serial", "A1B2C3");
    system.Attribute("pci0000:00/usb1/1-1", "manufacturer", "FTDI");
    system.Attribute("pci0000:00/usb1/1-1", "product", "FT232R USB UART");
    system.StableLink("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0");
    system.AddPort("ttyS0", "pnp0/00:05");

    TUserIdentity root = Technician();
    root.uid = 0;
    const std::vector<TComPortDescription> ports = DescribeComPorts(system.Paths(), root);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].path, system.Dev("ttyS0"));
    EXPECT_EQ(ports[0].usbVendorId, "");
    EXPECT_EQ(ports[0].stableLink, "");
    const TComPortDescription& usb = ports[1];
    EXPECT_EQ(usb.path, system.Dev("ttyUSB0"));
    EXPECT_EQ(usb.stableLink, system.Dev("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    EXPECT_EQ(usb.usbVendorId, "0403");
    EXPECT_EQ(usb.usbProductId, "6001");
    EXPECT_EQ(usb.usbSerial, "A1B2C3");
    EXPECT_EQ(usb.manufacturer, "FTDI");
    EXPECT_EQ(usb.product, "FT232R USB UART");
    EXPECT_TRUE(usb.access.usable) << usb.access.reason;

    // The one line a port list shows for each.
    EXPECT_EQ(PortSummary(ports[0]), "on-board");
    EXPECT_EQ(PortSummary(usb), "0403:6001, FTDI FT232R USB UART, serial A1B2C3");
    TComPortDescription held = usb;
    held.access = {false, "held by another program: minicom (PID 77)", {}};
    EXPECT_EQ(PortSummary(held), "0403:6001, FTDI FT232R USB UART, serial A1B2C3 (cannot open: held by another "
                                 "program: minicom (PID 77))");
    TComPortDescription bare;
    bare.usbVendorId = "1a86";
    bare.usbProductId = "7523";
    EXPECT_EQ(PortSummary(bare), "1a86:7523");
}

TEST(ComPortDescription, AccessFromModeAndGroupInPlainWords)
{
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout)
        GTEST_SKIP() << "giving a file to the dialout group needs root and that group";
    TFakeSystem system;
    system.AddPort("ttyS0", "pnp0/00:05");
    const std::string file = system.Dev("ttyS0");
    ASSERT_EQ(::chown(file.c_str(), 0, dialout->gr_gid), 0);

    TUserIdentity member = Technician();
    member.groups.push_back(dialout->gr_gid);
    TUserIdentity root = Technician();
    root.uid = 0;
    struct TCase {
        mode_t mode;
        TUserIdentity user;
        std::string reason; // "" when usable
    };
    const std::vector<TCase> cases = {
        {0660, Technician(), "not in the dialout group (sudo usermod -aG dialout $USER, then log in again)"},
        {0660, member, ""},
        {0666, Technician(), ""},
        {0600, member, "the device file " + file + " lets only root use it (mode 0600)"},
        {0600, root, ""},
    };
    for (const TCase& c : cases) {
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        const TComPortAccess access = ComPortAccess(file, c.user);
        EXPECT_EQ(access.reason, c.reason) << std::oct << c.mode;
        EXPECT_EQ(access.usable, c.reason.empty());
    }
    EXPECT_EQ(ComPortAccess(system.Dev("ttyS9"), root).reason, "no such device file (unplugged, or its name changed)");
}

TEST(ComPortDescription, AProgramHoldingThePortIsNamedWithItsPid)
{
    TFakeSystem system;
    system.AddPort("ttyS0", "pnp0/00:05");
    const std::string file = system.Dev("ttyS0");
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);

    // This test program holds the port as the serial component does: open and flock.
    const int held = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    std::string program;
    std::getline(std::ifstream("/proc/self/comm"), program);

    const TComPortAccess seenByOther = ComPortAccess(file, Technician());
    EXPECT_FALSE(seenByOther.usable);
    EXPECT_EQ(seenByOther.reason, "held by another program: " + program + " (PID " + std::to_string(::getpid()) + ")");
    ASSERT_EQ(seenByOther.holders.size(), 1u);

    TUserIdentity self = Technician();
    self.pid = ::getpid();
    EXPECT_TRUE(ComPortAccess(file, self).usable) << "a process never holds a port against itself";
    ::close(held);
    EXPECT_TRUE(ComPortAccess(file, Technician()).usable);
}

TEST(ComPortDescription, ManyPortsAreDescribedWithOneWalkOfProcThatFindsEveryHolder)
{
    TFakeSystem system;
    constexpr int kPorts = 500;
    for (int i = 0; i < kPorts; ++i)
        system.AddPort("ttyS" + std::to_string(i), "pnp0/00:" + std::to_string(i));
    // A /proc of three programs: one has ttyS7 and ttyS100 open, one holds a lock on ttyS42,
    // and the one asking has ttyS100 open too.
    const fs::path proc = system.Root() + "/proc";
    auto program = [&](int pid, const std::string& name, const std::vector<std::string>& open) {
        fs::create_directories(proc / std::to_string(pid) / "fd");
        std::ofstream(proc / std::to_string(pid) / "comm") << name << "\n";
        int fd = 3;
        for (const std::string& port : open)
            fs::create_symlink(system.Dev(port), proc / std::to_string(pid) / "fd" / std::to_string(fd++));
    };
    program(300, "picocom", {"ttyS7", "ttyS100"});
    program(301, "minicom", {});
    program(302, "R7730Setup", {"ttyS100"});
    struct stat locked {};
    ASSERT_EQ(::stat(system.Dev("ttyS42").c_str(), &locked), 0);
    char lockLine[128];
    std::snprintf(lockLine, sizeof lockLine, "1: FLOCK  ADVISORY  WRITE 301 %02x:%02x:%llu 0 EOF\n", ::major(locked.st_dev),
                  ::minor(locked.st_dev), static_cast<unsigned long long>(locked.st_ino));
    std::ofstream(proc / "locks") << lockLine;

    TPortSystemPaths paths = system.Paths();
    paths.procFolder = proc.string();
    TUserIdentity asking = Technician();
    asking.uid = 0;
    asking.pid = 302;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, proc.c_str(), IN_OPEN), 0);
    const std::vector<TComPortDescription> ports = DescribeComPorts(paths, asking);

    int procWalks = 0;
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t length; (length = ::read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + length; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
            if (const auto* event = reinterpret_cast<inotify_event*>(at); (event->mask & IN_ISDIR) && event->len == 0)
                ++procWalks;
    ::close(watch);
    EXPECT_EQ(procWalks, 1);

    ASSERT_EQ(ports.size(), static_cast<std::size_t>(kPorts));
    const struct {
        std::string port;
        std::string reason;
    } cases[] = {
        {"ttyS7", "held by another program: picocom (PID 300)"},
        {"ttyS42", "held by another program: minicom (PID 301)"},
        {"ttyS100", "held by another program: picocom (PID 300)"},
        {"ttyS0", ""},
    };
    for (const auto& c : cases) {
        const auto port = std::find_if(ports.begin(), ports.end(), [&](const auto& p) { return p.path == system.Dev(c.port); });
        ASSERT_NE(port, ports.end()) << c.port;
        EXPECT_EQ(port->access.reason, c.reason) << c.port;
    }
}

TEST(ComPortDescription, ALinkToAPseudoTerminalInTheWorkingFolderIsASimulatedDevice)
{
    TFakeSystem system;
    system.AddPort("ttyS0", "pnp0/00:05");
    int master = -1, slave = -1;
    char serialEnd[128];
    ASSERT_EQ(::openpty(&master, &slave, serialEnd, nullptr, nullptr), 0);
    ::close(slave);
    const fs::path work = system.Root() + "/work/dev";
    fs::create_directories(work);
    fs::create_symlink(serialEnd, work / "R7730LX-sim");
    fs::create_symlink(system.Dev("ttyS0"), work / "not-a-pty"); // leads to a plain file
    std::ofstream(work / "notes.txt") << "";

    TUserIdentity root = Technician();
    root.uid = 0;
    const std::vector<TComPortDescription> ports = DescribeComPorts(system.Paths(), root);
    ASSERT_EQ(ports.size(), 2u); // in text order: the scratch dev/ before work/dev/
    EXPECT_EQ(PortSummary(ports[0]), "on-board");
    EXPECT_EQ(ports[1].path, (work / "R7730LX-sim").string());
    EXPECT_EQ(PortSummary(ports[1]), "simulated device");
    ::close(master);
}
