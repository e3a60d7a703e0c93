#pragma once
// Why a port did not open, as a value each front end words its own way.
//
// The serial component raises EComPort with the system's error number; a technician needs to
// know what to do about it. The usual numbers are judged here, once: the port does not exist,
// this user may not open it (with the access reason the device file shows, if any), another
// program holds it (named with its PID when it can be seen), it is busy without a visible holder,
// no hardware answers behind it, or something else.
#include <string>
#include <vector>

#include "serial/com_error.h"
#include "serial/com_port_description.h"

namespace r7730 {

enum class TOpenFailureReason { NoSuchPort, Permission, HeldByAnother, Busy, NoHardware, Other };

struct TOpenFailure {
    TOpenFailureReason reason = TOpenFailureReason::Other;
    std::string devicePath;  // the device tried ("COM1" is /dev/ttyS0)
    std::string message;     // the serial component's text
    int systemError = -1;    // the system's error number; -1 when none
    bool afterOpening = false; // the device opened, a request that followed failed; closed again
    std::string accessReason;         // Permission: what the device file's access says, may be ""
    std::vector<TPortHolder> holders; // HeldByAnother: who holds the port now
};

// Judges an open failure of the port at devicePath; looks at the device file, never opens it.
TOpenFailure OpenFailureOf(const EComPort& error, const std::string& devicePath, bool afterOpening);

} // namespace r7730
