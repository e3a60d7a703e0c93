#pragma once
// The command frames the program sends, built from values that have already been checked.
//
// Numbers travel big-endian: a 16-bit value as its high byte, then its low byte (port 8070 is
// 1F 86). Texts are bytes of the ANSI code page (CP949), brought to their field's exact width by
// PadLeft: a shorter text gets blanks in front, a longer one keeps its first bytes.
#include <array>
#include <cstdint>
#include <string>

#include "protocol/frame.h"

namespace r7730 {

using TIpAddress = std::array<std::uint8_t, 4>;

struct TWanSettings {
    TIpAddress ip{};
    TIpAddress gateway{};
    TIpAddress subnetMask{};
};

enum class TTcpMode { Server, Client };

struct TTcpSettings {
    std::uint16_t listenPort = 0;
    std::uint8_t expirySeconds = 0;
    TTcpMode mode = TTcpMode::Server;
    std::uint16_t targetPort = 0;
    TIpAddress targetIp{};
};

// The device's serial line as the item indexes of its five lists, which are also the codes the
// device stores: baud rate 0 = 1200 ... 9 = 460800; data bits 0 = 5 ... 3 = 8; stop bits 0 = 1,
// 1 = 2; parity 0 = none, 1 = odd, 2 = even; flow control 0 = RTS/CTS, 1 = none. An index
// outside 0..15 (no selection) travels as code "0".
struct TSerialSettings {
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    int parity = 0;
    int flowControl = 0;
};

struct TAccessPoint {
    std::string ssid;     // ANSI code page
    std::string password; // ANSI code page
};

struct TFlashSaveSettings {
    std::uint16_t interval = 0;
    std::uint8_t delay = 0;
};

struct TFirmwareDownload {
    TIpAddress serverIp{};
    std::uint16_t serverPort = 0;
    std::string fileName; // ANSI code page
};

// 7E 05 <id> 50 FE: the status read (0x41) and the three access point reads (0x48, 0x49, 0x4A).
TFrame BuildReadRequest(TMessageId messageId);
// 7E 11 43 50, IP, gateway, mask, FE.
TFrame BuildSaveWan(const TWanSettings& settings);
// 7E 0F 44 50, listen port, expiry, 'S' or 'C', target port, target IP, FE.
TFrame BuildSaveTcp(const TTcpSettings& settings);
// 7E 0B 45 50, the codes of baud rate, data bits, stop bits, parity, flow control as ASCII hex
// digits (stop bits before parity), 46, FE.
TFrame BuildSaveSerial(const TSerialSettings& settings);
// 7E 35 42 50, SSID padded to 32 bytes, password padded to 16 bytes, FE.
TFrame BuildSetAccessPoint(const TAccessPoint& accessPoint);
// 7E 06 <id> 50 4E FE.
TFrame BuildFactoryReset(TMessageId messageId);
// 7E 05 47 50 FE.
TFrame BuildSystemReboot();
// 7E 08 53 50, interval, delay, FE.
TFrame BuildFlashSave(const TFlashSaveSettings& settings);
// 7E 2B 55 50, server IP, server port, file name padded to 32 bytes, FE.
TFrame BuildFirmwareDownload(const TFirmwareDownload& download);
// 7E 05 <id> 50 FE.
TFrame BuildFlashErase(TMessageId messageId);

// A text brought to its field's width, as it travels: PadLeft with blanks.
std::string FixedWidthField(const std::string& text, int width);

} // namespace r7730
