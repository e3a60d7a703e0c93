#include "serial/com_error.h"

#include <cstdio>

namespace r7730 {

namespace {

const char* const kMessages[kComErrorRowCount] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string MessageWithCode(int row, int systemError)
{
    char code[48];
    std::snprintf(code, sizeof code, " (win error code: %d)", systemError);
    return std::string(ComErrorMessage(row)) + code;
}

} // namespace

const char* ComErrorMessage(int row)
{
    return row >= 1 && row <= kComErrorRowCount ? kMessages[row - 1] : "";
}

EComPort::EComPort(int row)
    : std::runtime_error(ComErrorMessage(row)), systemErrorCode_(-1), comErrorCode_(row)
{
}

EComPort::EComPort(int row, int systemError)
    : std::runtime_error(MessageWithCode(row, systemError)), systemErrorCode_(systemError), comErrorCode_(row)
{
}

void RaiseSystemError(int row, const TSysResult& result)
{
    throw EComPort(row, result.error);
}

} // namespace r7730
