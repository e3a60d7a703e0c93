// Text conversions, the port list, and the port-name rule of this platform.
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "support/temp_folder.h"

#include "serial/com_error.h"
#include "serial/com_platform.h"
#include "serial/com_ports_list.h"
#include "serial/com_text.h"

using namespace r7730;
namespace fs = std::filesystem;

TEST(ComText, TablesInOrdinalOrder)
{
    const char* const rates[] = {"Custom", "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                                 "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    for (int i = 0; i < kBaudRateCount; ++i)
        EXPECT_EQ(BaudRateText(static_cast<TBaudRate>(i)), rates[i]);
    EXPECT_EQ(StopBitsText(sbOneStopBit), "1");
    EXPECT_EQ(StopBitsText(sbOne5StopBits), "1.5");
    EXPECT_EQ(StopBitsText(sbTwoStopBits), "2");
    EXPECT_EQ(DataBitsText(dbFive), "5");
    EXPECT_EQ(DataBitsText(dbEight), "8");
    EXPECT_EQ(ParityText(prNone), "None");
    EXPECT_EQ(ParityText(prOdd), "Odd");
    EXPECT_EQ(ParityText(prEven), "Even");
    EXPECT_EQ(ParityText(prMark), "Mark");
    EXPECT_EQ(ParityText(prSpace), "Space");
    EXPECT_EQ(FlowControlText(fcHardware), "Hardware");
    EXPECT_EQ(FlowControlText(fcSoftware), "Software");
    EXPECT_EQ(FlowControlText(fcNone), "None");
    EXPECT_EQ(FlowControlText(fcCustom), "Custom");
}

TEST(ComText, FromTextIsExactAfterAsciiUpperCasing)
{
    EXPECT_EQ(BaudRateFromText("115200"), br115200);
    EXPECT_EQ(BaudRateFromText(" 115200"), br9600);
    EXPECT_EQ(BaudRateFromText("115200 "), br9600);
    EXPECT_EQ(StopBitsFromText("1.5"), sbOne5StopBits);
    EXPECT_EQ(StopBitsFromText("1,5"), sbOneStopBit);
    for (const char* none : {"None", "NONE", "none", "nOnE"}) {
        EXPECT_EQ(ParityFromText(none), prNone) << none;
        EXPECT_EQ(FlowControlFromText(none), fcNone) << none;
    }
    EXPECT_EQ(ParityFromText("sPaCe"), prSpace);
    EXPECT_EQ(FlowControlFromText("xon/xoff"), fcCustom);
    EXPECT_EQ(BaudRateFromText("custom"), brCustom);
    EXPECT_EQ(BaudRateFromText("Custom"), brCustom);
    EXPECT_EQ(FlowControlFromText("HARDWARE"), fcHardware);
    EXPECT_EQ(DataBitsFromText("9"), dbEight);
    EXPECT_EQ(StopBitsFromText("2"), sbTwoStopBits);
    EXPECT_EQ(ParityFromText("Even"), prEven);
}

TEST(ComText, EmptyTextGivesEachFallback)
{
    EXPECT_EQ(BaudRateFromText(""), br9600);
    EXPECT_EQ(StopBitsFromText(""), sbOneStopBit);
    EXPECT_EQ(DataBitsFromText(""), dbEight);
    EXPECT_EQ(ParityFromText(""), prNone);
    EXPECT_EQ(FlowControlFromText(""), fcCustom);
}

TEST(ComText, EveryMemberRoundTrips)
{
    for (int i = 0; i < kBaudRateCount; ++i)
        EXPECT_EQ(BaudRateFromText(BaudRateText(static_cast<TBaudRate>(i))), static_cast<TBaudRate>(i));
    for (int i = 0; i <= sbTwoStopBits; ++i)
        EXPECT_EQ(StopBitsFromText(StopBitsText(static_cast<TStopBits>(i))), static_cast<TStopBits>(i));
    for (int i = 0; i <= dbEight; ++i)
        EXPECT_EQ(DataBitsFromText(DataBitsText(static_cast<TDataBits>(i))), static_cast<TDataBits>(i));
    for (int i = 0; i <= prSpace; ++i)
        EXPECT_EQ(ParityFromText(ParityText(static_cast<TParityBits>(i))), static_cast<TParityBits>(i));
    for (int i = 0; i <= fcCustom; ++i)
        EXPECT_EQ(FlowControlFromText(FlowControlText(static_cast<TFlowControl>(i))), static_cast<TFlowControl>(i));
}

TEST(ComPortNames, MapToDevicePaths)
{
    EXPECT_EQ(ComPortDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevicePath("COM10"), "/dev/ttyS9");
    EXPECT_EQ(ComPortDevicePath("com3"), "/dev/ttyS2");
    EXPECT_EQ(ComPortDevicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(ComPortDevicePath("COMX"), "/dev/COMX");
    EXPECT_EQ(ComPortDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortDevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(ComPortDevicePath("/tmp/my-link"), "/tmp/my-link");
    EXPECT_EQ(ComPortDevicePath(""), "");

    // A relative path is a file of the working folder when there is one, else under /dev.
    r7730::testing::TTempWorkingFolder folder;
    ASSERT_TRUE(folder.MakeFolder("run/dev"));
    ASSERT_TRUE(QFile::link("/dev/null", folder.File("run/dev/R7730LX")));
    EXPECT_EQ(ComPortDevicePath("run/dev/R7730LX"), QDir(folder.Path()).canonicalPath().toStdString() + "/run/dev/R7730LX");
    EXPECT_EQ(ComPortDevicePath("serial/by-id/usb-FTDI-port0"), "/dev/serial/by-id/usb-FTDI-port0");
    // Written from the working folder, it stays there while it is gone (a simulator stopped).
    EXPECT_EQ(ComPortDevicePath("./dev/R7730LX-sim"), QDir(folder.Path()).canonicalPath().toStdString() + "/dev/R7730LX-sim");
}

namespace {

// A /sys tree: class/tty/<name> links to devices/.../<name>, with a device link where a
// real device stands behind the tty.
class TFakeSysfs {
public:
    TFakeSysfs() : root_(dir_.path().toStdString()) { fs::create_directories(root_ / "class/tty"); }

    void Add(const std::string& name, const std::string& parent, bool withDevice, const char* type = nullptr)
    {
        const fs::path node = root_ / "devices" / parent / "tty" / name;
        fs::create_directories(node);
        if (withDevice)
            fs::create_directory_symlink(root_ / "devices" / parent, node / "device");
        if (type)
            std::ofstream(node / "type") << type << "\n";
        fs::create_directory_symlink(node, root_ / "class/tty" / name);
    }
    std::string ClassTty() const { return (root_ / "class/tty").string(); }

private:
    QTemporaryDir dir_;
    fs::path root_;
};

} // namespace

TEST(ListComPorts, KeepsRealSerialPortsSortedAsText)
{
    TFakeSysfs sysfs;
    sysfs.Add("ttyUSB0", "pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0", true);
    sysfs.Add("ttyACM0", "pci0000:00/usb1/1-2/1-2:1.0", true);
    sysfs.Add("ttyS0", "platform/serial8250", true, "4");
    sysfs.Add("ttyS1", "platform/serial8250", true, "0");   // placeholder, no UART
    sysfs.Add("ttyS10", "pnp0/00:05", true, "4");
    sysfs.Add("ttyS2", "pnp0/00:04", true, "4");
    sysfs.Add("ttyAMA0", "platform/fe201000.serial", true);
    sysfs.Add("tty0", "virtual", false);
    sysfs.Add("console", "virtual", false);
    sysfs.Add("ttyV0", "virtual", true); // virtual even with a device link

    std::vector<std::string> names{"stale"};
    ListComPorts(names, sysfs.ClassTty(), "/dev");
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS10",
                                               "/dev/ttyS2", "/dev/ttyUSB0"}));
}

TEST(ListComPorts, EmptyWhenNoPortIsPresent)
{
    TFakeSysfs sysfs;
    sysfs.Add("tty0", "virtual", false);
    std::vector<std::string> names{"stale"};
    ListComPorts(names, sysfs.ClassTty(), "/dev");
    EXPECT_TRUE(names.empty());
}

TEST(ListComPorts, UnreadableFolderRaisesRow23WithTheErrorNumber)
{
    std::vector<std::string> names{"kept"};
    try {
        ListComPorts(names, "/nonexistent/class/tty", "/dev");
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ComErrorCode(), 23);
        EXPECT_EQ(e.SystemErrorCode(), 2);
        EXPECT_STREQ(e.what(), "Registry error (win error code: 2)");
    }
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

TEST(ListComPorts, RunsOnThisMachine)
{
    std::vector<std::string> names;
    EXPECT_NO_THROW(ListComPorts(names));
    for (const auto& name : names)
        EXPECT_EQ(name.rfind("/dev/tty", 0), 0u) << name;
}

TEST(ComErrors, MessageTableAndCodes)
{
    EXPECT_STREQ(ComErrorMessage(1), "Unable to open com port");
    EXPECT_STREQ(ComErrorMessage(14), "Cannot set property while connected");
    EXPECT_STREQ(ComErrorMessage(18), "Link (un)registration failed");
    EXPECT_STREQ(ComErrorMessage(19), "Cannot change led state if ComPort is selected");
    EXPECT_STREQ(ComErrorMessage(22), "A component is linked to OnRxBuf event");
    EXPECT_STREQ(ComErrorMessage(23), "Registry error");
    EXPECT_STREQ(ComErrorMessage(0), "");
    EXPECT_STREQ(ComErrorMessage(24), "");

    const EComPort plain(CError_ConnChangeProp);
    EXPECT_STREQ(plain.what(), "Cannot set property while connected");
    EXPECT_EQ(plain.SystemErrorCode(), -1);
    EXPECT_EQ(plain.ComErrorCode(), 14);

    const EComPort withCode(CError_OpenFailed, 2);
    EXPECT_STREQ(withCode.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(withCode.SystemErrorCode(), 2);
    EXPECT_EQ(withCode.ComErrorCode(), 1);
    const std::runtime_error& base = withCode; // a runtime error like any other
    EXPECT_STREQ(base.what(), "Unable to open com port (win error code: 2)");

    try {
        RaiseSystemError(CError_WriteFailed, TSysResult::Failure(5, "write"));
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "WriteFile function failed (win error code: 5)");
    }
}
