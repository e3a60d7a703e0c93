#pragma once
// Decoding the four replies that carry data the window shows.
//
// Each decoder takes the whole frame, start byte to end byte, so frame[7] is the byte at frame
// offset 7 (offsets 1 and 3 are never read; a byte past the end reads as 0), and returns the
// values in the order the window writes them. A value that does not
// convert ends decoding at that point, exactly where writing the controls would stop: what
// was decoded before it is kept, everything after it is absent. Texts are returned as UTF-16,
// ready for the window.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace r7730 {

// Quality percent from RSSI in dBm: <= -100 -> 0, >= -50 -> 100, else 2 * (RSSI + 100).
int RssiToQuality(int rssi);

struct TStatusReply {
    std::u16string deviceName;   // "Q7760LX", "R7730LX" or "ETC"
    std::u16string version;      // major "." two-digit minor, e.g. "1.05"
    std::u16string macAddress;   // "00:1A:2B:3C:4D:5E"
    std::array<std::u16string, 4> ip, gateway, subnetMask;
    std::u16string listenPort;
    std::u16string expiryTime;
    // Item indexes of baud rate, data bits, stop bits, parity, flow control, as far as they
    // were decimal digits; fewer than five means decoding stopped there.
    std::vector<int> serialIndexes;
    // Present only when all five serial indexes decoded.
    std::optional<int> tcpModeIndex; // 0 server ('S'), 1 client
    std::optional<std::u16string> targetPort;
    std::optional<std::array<std::u16string, 4>> targetIp;
};

struct TScanRow {
    int number = 0;
    std::u16string ssid;
    std::u16string channel;
    std::optional<std::u16string> rssi;    // absent: the RSSI field was not a number
    std::optional<std::u16string> quality; // "70%"
    std::optional<std::u16string> authMode;
};

struct TScanReply {
    std::u16string logLine;       // "res[105] = [...]"
    std::vector<TScanRow> rows;   // the last row may be partial; empty when the count was bad
};

// The SSID (frame offsets 4-35) and the password (36-51) are cut by bytes, as the scan grid's
// fields are, each decoded from CP949 and trimmed: a Hangul SSID never lends characters to the
// password, and a character cut at a field's end becomes a blank.
struct TCurrentApReply {
    std::u16string logLine;
    std::u16string ssid;
    std::u16string password;
};

struct TSignalReply {
    std::u16string logLine;
    std::u16string ssid;
    std::u16string rssiText;           // as shown in the RSSI box
    bool noInfo = false;               // "NOINFO": the device has joined no access point
    std::optional<int> quality;        // absent when the RSSI was not a number (or NOINFO)
};

TStatusReply DecodeStatusReply(std::span<const std::uint8_t> frame);
TScanReply DecodeScanReply(std::span<const std::uint8_t> frame);
TCurrentApReply DecodeCurrentApReply(std::span<const std::uint8_t> frame);
TSignalReply DecodeSignalReply(std::span<const std::uint8_t> frame);

// The payload text of a text reply: the bytes from frame offset 4 up to the first zero byte or
// the end byte.
std::string PayloadText(std::span<const std::uint8_t> frame);

} // namespace r7730
