#pragma once
// EComPort: the one exception of the serial component and its message table.
//
// It carries the row of the 23-row message table (ComErrorCode) and the operating system's
// error number (SystemErrorCode, errno on Linux, -1 when none). Rows raised with a system error
// append " (win error code: %d)" to the row's text; that suffix keeps its wording on Linux too,
// so a message reads the same on every platform.
// Platform calls report failures as a TSysResult; RaiseSystemError is the one function that
// turns such an error number into an EComPort.
#include <stdexcept>
#include <string>

namespace r7730 {

// Rows of the message table, numbered from 1.
enum : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23,
};
inline constexpr int kComErrorRowCount = 23;

// The message text of a row ("" for a row outside 1..23).
const char* ComErrorMessage(int row);

// Outcome of one platform call: error 0 when it succeeded, otherwise the error number (errno)
// and the name of the call that failed (for diagnostics; the message table does not show it).
struct TSysResult {
    int error = 0;
    const char* call = "";

    bool Ok() const { return error == 0; }
    static TSysResult Success() { return {}; }
    static TSysResult Failure(int error, const char* call) { return {error, call}; }
};

class EComPort : public std::runtime_error {
public:
    // A row raised without a system error: SystemErrorCode is -1, nothing is appended.
    explicit EComPort(int row);
    // A row raised with a system error: " (win error code: <systemError>)" is appended.
    EComPort(int row, int systemError);

    int SystemErrorCode() const { return systemErrorCode_; }
    int ComErrorCode() const { return comErrorCode_; }
    int HelpContext() const { return 0; }

private:
    int systemErrorCode_;
    int comErrorCode_;
};

// The one place where a platform error number becomes an EComPort of the given row.
[[noreturn]] void RaiseSystemError(int row, const TSysResult& result);

// Raises the row with the result's error number when the platform call failed.
inline void CheckSystemResult(const TSysResult& result, int row)
{
    if (!result.Ok())
        RaiseSystemError(row, result);
}

} // namespace r7730
