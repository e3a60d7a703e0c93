#pragma once
// What each serial port is, and whether this user may open it, told without opening it.
//
// Opening a port raises DTR and RTS, which resets some devices, so nothing here opens one. A
// port is described by its device path (from ListComPorts); the stable link udev made for it
// under /dev/serial/by-id, if any; the vendor, product and serial number of the USB device behind
// it, read from sysfs; and its access: the device file's owner, group and mode weighed against
// this user's identity and groups, and the programs holding it now (flock locks listed in
// /proc/locks, open files under /proc/<pid>/fd; other users' files are only visible to root).
// /proc is read once per listing, however many ports there are. A simulated device (a link in
// the working folder's ./dev to a pseudo-terminal) is told as such. A reason is plain words a
// technician can act on. The port setup dialog and the command line
// both show these descriptions.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "serial/com_ports_list.h"

namespace r7730 {

struct TPortHolder {
    int pid = 0;
    std::string program; // /proc/<pid>/comm, "" when unreadable
};

struct TComPortAccess {
    bool usable = false;
    std::string reason;               // why not, when not usable
    std::vector<TPortHolder> holders; // other processes that hold the port now
};

struct TComPortDescription {
    std::string path;       // "/dev/ttyUSB0"
    std::string stableLink; // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", or ""
    // The USB device behind the port; all empty for a port that is not on USB.
    std::string usbVendorId;  // "0403"
    std::string usbProductId; // "6001"
    std::string usbSerial;
    std::string manufacturer;
    std::string product;
    bool simulated = false; // a link to a simulator's pseudo-terminal
    TComPortAccess access;
};

// Who is asking: the access of a port depends on it.
struct TUserIdentity {
    uid_t uid = 0;
    std::vector<gid_t> groups; // the effective group and the supplementary groups of the process
    std::string name;          // login name, to notice a group joined since the last log-in
    pid_t pid = 0;             // this process, never counted as a holder
    static TUserIdentity OfThisProcess();
};

// Where the system's facts are read; tests point these into a scratch folder.
struct TPortSystemPaths {
    std::string sysClassTty = "/sys/class/tty";
    std::string devFolder = "/dev";
    std::string byIdFolder = "/dev/serial/by-id";
    std::string procFolder = "/proc";
    std::string simulatedFolder = kSimulatedDevicesFolder;
};

// Every port ListComPorts finds, described; raises like ListComPorts when sysfs cannot be read.
std::vector<TComPortDescription> DescribeComPorts();
std::vector<TComPortDescription> DescribeComPorts(const TPortSystemPaths& paths, const TUserIdentity& user);

// A source of described ports with the shape of DescribeComPorts (the setup dialog is handed one).
using TPortDescriber = std::function<std::vector<TComPortDescription>()>;

// The USB device in one line: "0403:6001, FTDI FT232R USB UART, serial A1B2C3"; "" off USB.
std::string UsbSummary(const TComPortDescription& port);

// What the port is, for a list of ports: the USB summary, "simulated device", or "on-board" for
// a port that is not on USB (a UART of the machine itself); a port this user cannot open adds why.
std::string PortSummary(const TComPortDescription& port);

// The access of one device file (a link is followed), judged without opening it.
TComPortAccess ComPortAccess(const std::string& devicePath, const TUserIdentity& user,
                             const std::string& procFolder = "/proc");

// The programs holding a port, for a person: "ModemManager (PID 812), a program (PID 90)".
std::string HolderText(const std::vector<TPortHolder>& holders);

} // namespace r7730
