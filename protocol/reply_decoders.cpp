#include "protocol/reply_decoders.h"

#include "protocol/code_page.h"
#include "protocol/conversion_error.h"
#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace r7730 {
namespace {

// The byte at a frame offset; a short frame reads as zeros past its end.
std::uint8_t At(std::span<const std::uint8_t> frame, int frameOffset)
{
    const auto index = static_cast<std::size_t>(frameOffset);
    return index < frame.size() ? frame[index] : 0;
}

std::u16string Wide(const std::string& ansi)
{
    return AnsiToWide(ansi);
}

std::u16string Decimal(int value)
{
    return Wide(std::to_string(value));
}

// A byte as a number.
int ByteValue(std::span<const std::uint8_t> frame, int frameOffset)
{
    return At(frame, frameOffset);
}

// Two bytes, high first.
int WordValue(std::span<const std::uint8_t> frame, int frameOffset)
{
    return At(frame, frameOffset) << 8 | At(frame, frameOffset + 1);
}

std::array<std::u16string, 4> Octets(std::span<const std::uint8_t> frame, int frameOffset)
{
    std::array<std::u16string, 4> octets;
    for (int i = 0; i < 4; ++i)
        octets[static_cast<std::size_t>(i)] = Decimal(ByteValue(frame, frameOffset + i));
    return octets;
}

std::u16string ResLogLine(const std::u16string& wide)
{
    return u"res[" + Decimal(static_cast<int>(wide.size())) + u"] = [" + wide + u"]";
}

std::u16string Field(const std::string& payload, int from, int count)
{
    return Wide(Trim(CopyMbcs(payload, from, count, true)));
}

} // namespace

int RssiToQuality(int rssi)
{
    if (rssi <= -100)
        return 0;
    if (rssi >= -50)
        return 100;
    return 2 * (rssi + 100);
}

std::string PayloadText(std::span<const std::uint8_t> frame)
{
    std::string text;
    for (std::size_t i = 4; i < frame.size() && frame[i] != 0 && frame[i] != kFrameEnd; ++i)
        text.push_back(static_cast<char>(frame[i]));
    return text;
}

TStatusReply DecodeStatusReply(std::span<const std::uint8_t> frame)
{
    TStatusReply reply;
    switch (At(frame, 4)) {
    case 1: reply.deviceName = u"Q7760LX"; break;
    case 2: reply.deviceName = u"R7730LX"; break;
    default: reply.deviceName = u"ETC"; break;
    }
    reply.version = Decimal(ByteValue(frame, 5)) + u"." + Wide(PadLeft(std::to_string(ByteValue(frame, 6)), 2, '0'));
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            reply.macAddress += u":";
        reply.macAddress += Wide(ByteToHex(At(frame, 7 + i)));
    }
    reply.ip = Octets(frame, 13);
    reply.gateway = Octets(frame, 17);
    reply.subnetMask = Octets(frame, 21);
    reply.listenPort = Decimal(WordValue(frame, 25));
    reply.expiryTime = Decimal(ByteValue(frame, 27));
    try {
        for (int i = 0; i < 5; ++i)
            reply.serialIndexes.push_back(StrToInt(std::string(1, static_cast<char>(At(frame, 28 + i)))));
    } catch (const EConvertError&) {
        return reply; // a serial index that is no digit: the later fields keep their values
    }
    reply.tcpModeIndex = At(frame, 33) == 'S' ? 0 : 1;
    reply.targetPort = Decimal(WordValue(frame, 34));
    reply.targetIp = Octets(frame, 36);
    return reply;
}

TScanReply DecodeScanReply(std::span<const std::uint8_t> frame)
{
    TScanReply reply;
    const std::string payload = PayloadText(frame);
    const std::u16string wide = Wide(payload);
    reply.logLine = ResLogLine(wide);

    int count = 0;
    try {
        const char16_t first = wide.empty() ? u'\0' : wide[0];
        count = StrToInt(first > 0 && first < 0x80 ? std::string(1, static_cast<char>(first)) : std::string("?"));
    } catch (const EConvertError&) {
        return reply;
    }
    for (int r = 1; r <= count; ++r) {
        const int base = 52 * (r - 1);
        TScanRow row;
        row.number = r;
        row.ssid = Field(payload, base + 2, 32);
        row.channel = Field(payload, base + 34, 4);
        int rssi = 0;
        try {
            rssi = StrToInt(Trim(CopyMbcs(payload, base + 38, 4, true)));
        } catch (const EConvertError&) {
            reply.rows.push_back(row);
            return reply;
        }
        row.rssi = Decimal(rssi);
        row.quality = Decimal(RssiToQuality(rssi)) + u"%";
        row.authMode = Field(payload, base + 42, 12);
        reply.rows.push_back(row);
    }
    return reply;
}

TCurrentApReply DecodeCurrentApReply(std::span<const std::uint8_t> frame)
{
    TCurrentApReply reply;
    const std::string payload = PayloadText(frame);
    reply.logLine = ResLogLine(Wide(payload));
    // Both fields are cut by bytes, like the scan grid's: the SSID at offsets 4-35, the password
    // at 36-51. Each is cut on its own, so a double-byte character the device cut at the SSID's
    // end becomes a blank and never takes the password's first byte with it.
    const std::string ssidBytes = payload.substr(0, static_cast<std::size_t>(kSsidWidth));
    const std::string passwordBytes = payload.size() > ssidBytes.size() ? payload.substr(ssidBytes.size()) : std::string();
    reply.ssid = Field(ssidBytes, 1, kSsidWidth);
    reply.password = Field(passwordBytes, 1, kApPasswordWidth);
    return reply;
}

TSignalReply DecodeSignalReply(std::span<const std::uint8_t> frame)
{
    TSignalReply reply;
    const std::string payload = PayloadText(frame);
    reply.logLine = ResLogLine(Wide(payload));
    reply.ssid = Field(payload, 1, 32);
    const std::string rssiText = Trim(CopyMbcs(payload, 33, 6, true));
    reply.rssiText = Wide(rssiText);
    if (rssiText == "NOINFO") {
        reply.noInfo = true;
        return reply;
    }
    try {
        reply.quality = RssiToQuality(StrToInt(rssiText));
    } catch (const EConvertError&) {
    }
    return reply;
}

} // namespace r7730
