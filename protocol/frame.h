#pragma once
// The device's frame format and message catalogue.
//
// Every frame is: 0x7E, total length (start and end bytes included), message ID, 0x50,
// payload, 0xFE. No checksum, no escaping; numbers are big-endian; fixed-width texts are
// blank-padded on the left. The same ID names a command and its reply.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace r7730 {

inline constexpr std::uint8_t kFrameStart = 0x7E;
inline constexpr std::uint8_t kFrameEnd = 0xFE;
inline constexpr std::uint8_t kFixedByte = 0x50;
inline constexpr int kFrameOverhead = 5; // start, length, ID, fixed byte, end

// The message catalogue. Replies to 0x41..0x4A are accepted; every other ID is unregistered.
enum class TMessageId : std::uint8_t {
    CurrentStatusRead = 0x41,  // 'A'
    SetCurrentAp = 0x42,       // 'B'
    SaveWanSettings = 0x43,    // 'C'
    SaveTcpSettings = 0x44,    // 'D'
    SaveSerialSettings = 0x45, // 'E'
    FactoryReset = 0x46,       // 'F'
    SystemReboot = 0x47,       // 'G'
    ScanAccessPoints = 0x48,   // 'H'
    ReadCurrentAp = 0x49,      // 'I'
    ReadSignalStrength = 0x4A, // 'J'
    FlashSave = 0x53,          // 'S'
    FirmwareDownload = 0x55,   // 'U'
    FlashErase = 0x58,         // 'X'
};

inline constexpr std::uint8_t kFirstRegisteredReply = 0x41;
inline constexpr std::uint8_t kLastRegisteredReply = 0x4A;

// Total length on the wire of each command the program sends.
inline constexpr int kStatusReadLength = 5;
inline constexpr int kSetCurrentApLength = 53;
inline constexpr int kSaveWanLength = 17;
inline constexpr int kSaveTcpLength = 15;
inline constexpr int kSaveSerialLength = 11;
inline constexpr int kFactoryResetLength = 6;
inline constexpr int kSystemRebootLength = 5;
inline constexpr int kFlashSaveLength = 8;
inline constexpr int kFirmwareDownloadLength = 43;
inline constexpr int kFlashEraseLength = 5;

// Reply lengths on the wire that the receive path checks.
inline constexpr int kStatusReplyLength = 43;
inline constexpr int kCurrentApReplyLength = 53;
inline constexpr int kSignalReplyLength = 43;

// Fixed text field widths, in bytes of the ANSI code page.
inline constexpr int kSsidWidth = 32;
inline constexpr int kApPasswordWidth = 16;
inline constexpr int kFirmwareFileWidth = 32;

using TFrame = std::vector<std::uint8_t>;

// A complete frame around the payload, with its true total length.
TFrame BuildFrame(std::uint8_t messageId, const std::vector<std::uint8_t>& payload = {});

// A frame's message ID: the byte at offset 2 of the frame as BuildFrame makes it or the receive
// path hands it over (start byte, bytes received, end byte). With fewer than four bytes the ID
// never came (the third byte is the end byte) and the ID is 0.
std::uint8_t FrameMessageId(std::span<const std::uint8_t> frame);
// An ID as the log writes it: "0x" and two upper-case hex digits, "0x4A".
std::string MessageIdText(std::uint8_t id);

// The transmit log line: "TX 0x" + the frame's message ID in two hex digits + " : [" + length + "][" +
// hex text + tail.
std::string TransmitLogLine(const TFrame& frame, const std::string& tail);

} // namespace r7730
