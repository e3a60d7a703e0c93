#include "serial/com_text.h"

#include <iterator>

namespace r7730 {

namespace {

const char* const kBaudRateTexts[] = {"Custom", "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                                      "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const char* const kStopBitsTexts[] = {"1", "1.5", "2"};
const char* const kDataBitsTexts[] = {"5", "6", "7", "8"};
const char* const kParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kFlowControlTexts[] = {"Hardware", "Software", "None", "Custom"};

static_assert(std::size(kBaudRateTexts) == kBaudRateCount);

std::string AsciiUpper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

template <typename E, std::size_t N>
E FromText(const char* const (&table)[N], const std::string& text, E fallback)
{
    const std::string wanted = AsciiUpper(text);
    for (std::size_t i = 0; i < N; ++i)
        if (AsciiUpper(table[i]) == wanted)
            return static_cast<E>(i);
    return fallback;
}

template <std::size_t N>
std::string ToText(const char* const (&table)[N], unsigned ordinal)
{
    return ordinal < N ? table[ordinal] : "";
}

} // namespace

std::string BaudRateText(TBaudRate value) { return ToText(kBaudRateTexts, value); }
std::string StopBitsText(TStopBits value) { return ToText(kStopBitsTexts, value); }
std::string DataBitsText(TDataBits value) { return ToText(kDataBitsTexts, value); }
std::string ParityText(TParityBits value) { return ToText(kParityTexts, value); }
std::string FlowControlText(TFlowControl value) { return ToText(kFlowControlTexts, value); }

TBaudRate BaudRateFromText(const std::string& text) { return FromText(kBaudRateTexts, text, br9600); }
TStopBits StopBitsFromText(const std::string& text) { return FromText(kStopBitsTexts, text, sbOneStopBit); }
TDataBits DataBitsFromText(const std::string& text) { return FromText(kDataBitsTexts, text, dbEight); }
TParityBits ParityFromText(const std::string& text) { return FromText(kParityTexts, text, prNone); }
TFlowControl FlowControlFromText(const std::string& text) { return FromText(kFlowControlTexts, text, fcCustom); }

} // namespace r7730
