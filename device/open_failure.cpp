#include "device/open_failure.h"

#include <cerrno>

namespace r7730 {

TOpenFailure OpenFailureOf(const EComPort& error, const std::string& devicePath, bool afterOpening)
{
    TOpenFailure failure;
    failure.devicePath = devicePath;
    failure.message = error.what();
    failure.systemError = error.SystemErrorCode();
    failure.afterOpening = afterOpening;
    switch (failure.systemError) {
    case ENOENT:
        failure.reason = TOpenFailureReason::NoSuchPort;
        break;
    case EACCES:
    case EPERM:
        failure.reason = TOpenFailureReason::Permission;
        failure.accessReason = ComPortAccess(devicePath, TUserIdentity::OfThisProcess()).reason;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        failure.holders = ComPortAccess(devicePath, TUserIdentity::OfThisProcess()).holders;
        failure.reason = failure.holders.empty() ? TOpenFailureReason::Busy : TOpenFailureReason::HeldByAnother;
        break;
    case ENXIO:
    case EIO:
        failure.reason = TOpenFailureReason::NoHardware;
        break;
    default:
        failure.reason = TOpenFailureReason::Other;
        break;
    }
    return failure;
}

} // namespace r7730
