#pragma once
// Text forms of the port's enumerated settings, as the settings file and the setup
// dialog show them. Member to text is a straight table look-up; text to member upper-cases the
// text (ASCII letters only) and looks for an exact match in ordinal order (same length, no
// trimming); a text that matches nothing gives the table's fallback, never an error.
#include <string>

#include "serial/com_types.h"

namespace r7730 {

std::string BaudRateText(TBaudRate value);       // "Custom", "110", ... "256000"
std::string StopBitsText(TStopBits value);       // "1", "1.5", "2"
std::string DataBitsText(TDataBits value);       // "5" .. "8"
std::string ParityText(TParityBits value);       // "None", "Odd", "Even", "Mark", "Space"
std::string FlowControlText(TFlowControl value); // "Hardware", "Software", "None", "Custom"

TBaudRate BaudRateFromText(const std::string& text);       // fallback br9600
TStopBits StopBitsFromText(const std::string& text);       // fallback sbOneStopBit
TDataBits DataBitsFromText(const std::string& text);       // fallback dbEight
TParityBits ParityFromText(const std::string& text);       // fallback prNone
TFlowControl FlowControlFromText(const std::string& text); // fallback fcCustom

} // namespace r7730
