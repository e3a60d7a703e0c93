#pragma once
// The four settings objects of a port: TComParity, TComFlowControl, TComTimeouts and
// TComBuffer. Each is owned by one port and holds a back-reference to it (none while detached).
// A setter stores a changed value and has the port apply the matching group again (which only
// acts while the port is open and no settings update is in progress). Assigning one object to
// another copies every setting field, not the back-reference, and applies the group once.
// Copy-constructing gives a detached copy.
#include "serial/com_types.h"

namespace r7730 {

class TCustomComPort;

class TComSettingsObject {
public:
    TCustomComPort* ComPort() const { return port_; }

protected:
    explicit TComSettingsObject(TCustomComPort* port) : port_(port) {}
    TComSettingsObject(const TComSettingsObject&) : port_(nullptr) {}
    TComSettingsObject& operator=(const TComSettingsObject&) { return *this; } // keeps port_
    ~TComSettingsObject() = default;

    TCustomComPort* port_;
};

class TComParity : public TComSettingsObject {
public:
    explicit TComParity(TCustomComPort* port = nullptr) : TComSettingsObject(port) {}
    TComParity(const TComParity&) = default;
    TComParity& operator=(const TComParity& other);

    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits value);
    bool Check() const { return check_; }
    void SetCheck(bool value);
    bool Replace() const { return replace_; }
    void SetReplace(bool value);
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char value);

private:
    void Changed();
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl : public TComSettingsObject {
public:
    explicit TComFlowControl(TCustomComPort* port = nullptr) : TComSettingsObject(port) {}
    TComFlowControl(const TComFlowControl&) = default;
    TComFlowControl& operator=(const TComFlowControl& other);

    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool value);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool value);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool value);
    char XonChar() const { return xonChar_; }
    void SetXonChar(char value);
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char value);

    // The derived preset (not stored). Writing it applies the line settings even when unchanged.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl value);

private:
    void Changed();
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

// Milliseconds; -1 stands for the platform's maximum value (all bits set).
class TComTimeouts : public TComSettingsObject {
public:
    explicit TComTimeouts(TCustomComPort* port = nullptr) : TComSettingsObject(port) {}
    TComTimeouts(const TComTimeouts&) = default;
    TComTimeouts& operator=(const TComTimeouts& other);

    int ReadInterval() const { return readInterval_; }
    void SetReadInterval(int value);
    int ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(int value);
    int ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(int value);
    int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(int value);
    int WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(int value);

private:
    void Changed();
    int readInterval_ = -1;
    int readTotalMultiplier_ = 0;
    int readTotalConstant_ = 0;
    int writeTotalMultiplier_ = 100;
    int writeTotalConstant_ = 1000;
};

// Bytes. A positive odd size is lowered by one when stored.
class TComBuffer : public TComSettingsObject {
public:
    explicit TComBuffer(TCustomComPort* port = nullptr) : TComSettingsObject(port) {}
    TComBuffer(const TComBuffer&) = default;
    TComBuffer& operator=(const TComBuffer& other);

    int InputSize() const { return inputSize_; }
    void SetInputSize(int value);
    int OutputSize() const { return outputSize_; }
    void SetOutputSize(int value);

private:
    void Changed();
    int inputSize_ = 1024;
    int outputSize_ = 1024;
};

} // namespace r7730
