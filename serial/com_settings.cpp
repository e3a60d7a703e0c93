// The settings objects of a port (TComParity, TComFlowControl, TComTimeouts, TComBuffer): their
// setters, assignment and the flow-control preset. A change has the owning port apply its group.
#include "serial/com_settings.h"

#include "serial/com_port.h"

namespace r7730 {

namespace {

// Stores value in field; true when that changed it.
template <typename T>
bool Store(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

TComParity& TComParity::operator=(const TComParity& other)
{
    if (this == &other)
        return *this;
    bits_ = other.bits_;
    check_ = other.check_;
    replace_ = other.replace_;
    replaceChar_ = other.replaceChar_;
    Changed();
    return *this;
}
void TComParity::Changed()
{
    if (port_)
        port_->ApplyLineSettings();
}
void TComParity::SetBits(TParityBits value)
{
    if (value != bits_) {
        bits_ = value;
        Changed();
    }
}
void TComParity::SetCheck(bool value)
{
    if (value != check_) {
        check_ = value;
        Changed();
    }
}
void TComParity::SetReplace(bool value)
{
    if (value != replace_) {
        replace_ = value;
        Changed();
    }
}
void TComParity::SetReplaceChar(char value)
{
    if (value != replaceChar_) {
        replaceChar_ = value;
        Changed();
    }
}

TComFlowControl& TComFlowControl::operator=(const TComFlowControl& other)
{
    if (this == &other)
        return *this;
    outCTSFlow_ = other.outCTSFlow_;
    outDSRFlow_ = other.outDSRFlow_;
    controlDTR_ = other.controlDTR_;
    controlRTS_ = other.controlRTS_;
    xonXoffOut_ = other.xonXoffOut_;
    xonXoffIn_ = other.xonXoffIn_;
    dsrSensitivity_ = other.dsrSensitivity_;
    txContinueOnXoff_ = other.txContinueOnXoff_;
    xonChar_ = other.xonChar_;
    xoffChar_ = other.xoffChar_;
    Changed();
    return *this;
}
void TComFlowControl::Changed()
{
    if (port_)
        port_->ApplyLineSettings();
}

void TComFlowControl::SetOutCTSFlow(bool value)
{
    if (Store(outCTSFlow_, value))
        Changed();
}
void TComFlowControl::SetOutDSRFlow(bool value)
{
    if (Store(outDSRFlow_, value))
        Changed();
}
void TComFlowControl::SetControlDTR(TDTRFlowControl value)
{
    if (Store(controlDTR_, value))
        Changed();
}
void TComFlowControl::SetControlRTS(TRTSFlowControl value)
{
    if (Store(controlRTS_, value))
        Changed();
}
void TComFlowControl::SetXonXoffOut(bool value)
{
    if (Store(xonXoffOut_, value))
        Changed();
}
void TComFlowControl::SetXonXoffIn(bool value)
{
    if (Store(xonXoffIn_, value))
        Changed();
}
void TComFlowControl::SetDSRSensitivity(bool value)
{
    if (Store(dsrSensitivity_, value))
        Changed();
}
void TComFlowControl::SetTxContinueOnXoff(bool value)
{
    if (Store(txContinueOnXoff_, value))
        Changed();
}
void TComFlowControl::SetXonChar(char value)
{
    if (Store(xonChar_, value))
        Changed();
}
void TComFlowControl::SetXoffChar(char value)
{
    if (Store(xoffChar_, value))
        Changed();
}

TFlowControl TComFlowControl::FlowControl() const
{
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_)
        return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value)
{
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        switch (value) {
        case fcHardware:
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
            break;
        case fcSoftware:
            xonXoffIn_ = true;
            xonXoffOut_ = true;
            break;
        default: break;
        }
    }
    Changed(); // applied even when nothing changed
}

TComTimeouts& TComTimeouts::operator=(const TComTimeouts& other)
{
    if (this == &other)
        return *this;
    readInterval_ = other.readInterval_;
    readTotalMultiplier_ = other.readTotalMultiplier_;
    readTotalConstant_ = other.readTotalConstant_;
    writeTotalMultiplier_ = other.writeTotalMultiplier_;
    writeTotalConstant_ = other.writeTotalConstant_;
    Changed();
    return *this;
}
void TComTimeouts::Changed()
{
    if (port_)
        port_->ApplyTimeoutSettings();
}
void TComTimeouts::SetReadInterval(int value)
{
    if (Store(readInterval_, value))
        Changed();
}
void TComTimeouts::SetReadTotalMultiplier(int value)
{
    if (Store(readTotalMultiplier_, value))
        Changed();
}
void TComTimeouts::SetReadTotalConstant(int value)
{
    if (Store(readTotalConstant_, value))
        Changed();
}
void TComTimeouts::SetWriteTotalMultiplier(int value)
{
    if (Store(writeTotalMultiplier_, value))
        Changed();
}
void TComTimeouts::SetWriteTotalConstant(int value)
{
    if (Store(writeTotalConstant_, value))
        Changed();
}

TComBuffer& TComBuffer::operator=(const TComBuffer& other)
{
    if (this == &other)
        return *this;
    inputSize_ = other.inputSize_;
    outputSize_ = other.outputSize_;
    Changed();
    return *this;
}
void TComBuffer::Changed()
{
    if (port_)
        port_->ApplyBufferSettings();
}
void TComBuffer::SetInputSize(int value)
{
    if (value == inputSize_)
        return;
    inputSize_ = value > 0 && value % 2 == 1 ? value - 1 : value;
    Changed();
}
void TComBuffer::SetOutputSize(int value)
{
    if (value == outputSize_)
        return;
    outputSize_ = value > 0 && value % 2 == 1 ? value - 1 : value;
    Changed();
}

} // namespace r7730
