// Port descriptions: the USB facts and stable link read from a sysfs and /dev laid out in a
// scratch folder, and the access judged from real files' modes, groups and locks.
#include <QTemporaryDir>
#include <fcntl.h>
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
        return {(root_ / "class/tty").string(), (root_ / "dev").string(), (root_ / "dev/serial/by-id").string(), "/proc"};
    }

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
