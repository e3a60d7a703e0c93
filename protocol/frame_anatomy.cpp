#include "protocol/frame_anatomy.h"

#include <algorithm>
#include <array>

#include "protocol/code_page.h"
#include "protocol/conversion_error.h"
#include "protocol/frame.h"
#include "protocol/hex_text.h"
#include "protocol/reply_decoders.h"
#include "protocol/serial_line_codes.h"

namespace r7730 {
namespace {

using K = TFieldKind;

// A serial setting's index travels as one ASCII digit: '0' stands for the first choice.
template <std::size_t N>
constexpr std::array<TEnumName, N> DigitNames(const std::array<std::string_view, N>& choices)
{
    std::array<TEnumName, N> names{};
    for (std::size_t i = 0; i < N; ++i)
        names[i] = {static_cast<std::uint8_t>('0' + i), choices[i]};
    return names;
}

constexpr auto kBaudNames = DigitNames(kBaudRateChoices);
constexpr auto kDataBitsNames = DigitNames(kDataBitsChoices);
constexpr auto kStopBitsNames = DigitNames(kStopBitsChoices);
constexpr auto kParityNames = DigitNames(kParityChoices);
constexpr auto kFlowNames = DigitNames(kFlowControlChoices);
constexpr std::array<TEnumName, 2> kModelNames = {{{1, "Q7760LX"}, {2, "R7730LX"}}};
constexpr std::array<TEnumName, 2> kModeNames = {{{'S', "server"}, {'C', "client"}}};
constexpr std::array<TEnumName, 1> kServerMode = {{{'S', "server"}}};

// --- commands -----------------------------------------------------------------------------
// The access point as the set command carries it and the current-AP reply returns it.
constexpr TFieldLayout kAccessPointFields[] = {
    {4, 32, "SSID", K::Text},
    {36, 16, "password", K::Text, {}, {}, true},
};
constexpr TFieldLayout kSaveWanCommand[] = {
    {4, 4, "IP address", K::Ipv4},
    {8, 4, "gateway", K::Ipv4},
    {12, 4, "subnet mask", K::Ipv4},
};
constexpr TFieldLayout kSaveTcpCommand[] = {
    {4, 2, "listen port", K::Word},
    {6, 1, "expiry (s)", K::Octet},
    {7, 1, "TCP mode", K::Enum, kModeNames},
    {8, 2, "target port", K::Word},
    {10, 4, "target IP", K::Ipv4},
};
// Stop bits travel before parity.
constexpr TFieldLayout kSaveSerialCommand[] = {
    {4, 1, "baud rate", K::Enum, kBaudNames},
    {5, 1, "data bits", K::Enum, kDataBitsNames},
    {6, 1, "stop bits", K::Enum, kStopBitsNames},
    {7, 1, "parity", K::Enum, kParityNames},
    {8, 1, "flow control", K::Enum, kFlowNames},
    {9, 1, "fixed 0x46", K::Byte},
};
constexpr TFieldLayout kFactoryResetCommand[] = {
    {4, 1, "fixed 0x4E", K::Byte},
};
constexpr TFieldLayout kFlashSaveCommand[] = {
    {4, 2, "interval", K::Word},
    {6, 1, "delay", K::Octet},
};
constexpr TFieldLayout kFirmwareCommand[] = {
    {4, 4, "server IP", K::Ipv4},
    {8, 2, "server port", K::Word},
    {10, 32, "file name", K::Text},
};

// --- replies ------------------------------------------------------------------------------
constexpr TFieldLayout kStatusReply[] = {
    {4, 1, "model", K::Enum, kModelNames, "ETC"},
    {5, 2, "firmware version", K::Version},
    {7, 6, "MAC address", K::Mac},
    {13, 4, "IP address", K::Ipv4},
    {17, 4, "gateway", K::Ipv4},
    {21, 4, "subnet mask", K::Ipv4},
    {25, 2, "listen port", K::Word},
    {27, 1, "expiry (s)", K::Octet},
    {28, 1, "baud rate", K::Enum, kBaudNames},
    {29, 1, "data bits", K::Enum, kDataBitsNames},
    {30, 1, "stop bits", K::Enum, kStopBitsNames},
    {31, 1, "parity", K::Enum, kParityNames},
    {32, 1, "flow control", K::Enum, kFlowNames},
    {33, 1, "TCP mode", K::Enum, kServerMode, "client"},
    {34, 2, "target port", K::Word},
    {36, 4, "target IP", K::Ipv4},
    {40, 2, "not read", K::Byte},
};
constexpr TFieldLayout kScanCount[] = {
    {4, 1, "AP count", K::Text},
};
constexpr TFieldLayout kScanRecord[] = {
    {0, 32, "SSID", K::Text},
    {32, 4, "channel", K::Text},
    {36, 4, "RSSI (dBm)", K::Rssi},
    {40, 12, "authentication", K::Text},
};
constexpr TFieldLayout kSignalReply[] = {
    {4, 32, "SSID", K::Text},
    {36, 6, "RSSI (dBm)", K::Rssi},
};

constexpr std::uint8_t Id(TMessageId id)
{
    return static_cast<std::uint8_t>(id);
}

using S = TFrameSide;
using M = TMessageId;

const TMessageLayout kLayouts[] = {
    {Id(M::CurrentStatusRead), S::Command, "Current status read", kStatusReadLength, {}},
    {Id(M::SetCurrentAp), S::Command, "Set current access point", kSetCurrentApLength, kAccessPointFields},
    {Id(M::SaveWanSettings), S::Command, "Save WAN settings", kSaveWanLength, kSaveWanCommand},
    {Id(M::SaveTcpSettings), S::Command, "Save TCP settings", kSaveTcpLength, kSaveTcpCommand},
    {Id(M::SaveSerialSettings), S::Command, "Save serial settings", kSaveSerialLength, kSaveSerialCommand},
    {Id(M::FactoryReset), S::Command, "Factory reset", kFactoryResetLength, kFactoryResetCommand},
    {Id(M::SystemReboot), S::Command, "System reboot", kSystemRebootLength, {}},
    {Id(M::ScanAccessPoints), S::Command, "Scan access points", kStatusReadLength, {}},
    {Id(M::ReadCurrentAp), S::Command, "Read current access point", kStatusReadLength, {}},
    {Id(M::ReadSignalStrength), S::Command, "Read signal strength", kStatusReadLength, {}},
    {Id(M::FlashSave), S::Command, "Flash save interval and delay", kFlashSaveLength, kFlashSaveCommand},
    {Id(M::FirmwareDownload), S::Command, "Firmware download", kFirmwareDownloadLength, kFirmwareCommand},
    {Id(M::FlashErase), S::Command, "Erase all flash", kFlashEraseLength, {}},

    {Id(M::CurrentStatusRead), S::Reply, "Current status read", kStatusReplyLength, kStatusReply},
    {Id(M::SetCurrentAp), S::Reply, "Set current access point", 0, {}},
    {Id(M::SaveWanSettings), S::Reply, "Save WAN settings", 0, {}},
    {Id(M::SaveTcpSettings), S::Reply, "Save TCP settings", 0, {}},
    {Id(M::SaveSerialSettings), S::Reply, "Save serial settings", 0, {}},
    {Id(M::FactoryReset), S::Reply, "Factory reset", 0, {}},
    {Id(M::SystemReboot), S::Reply, "System reboot", 0, {}},
    {Id(M::ScanAccessPoints), S::Reply, "Scan access points", 0, kScanCount, TRecordLayout{5, 52, "AP", kScanRecord}},
    {Id(M::ReadCurrentAp), S::Reply, "Read current access point", kCurrentApReplyLength, kAccessPointFields},
    {Id(M::ReadSignalStrength), S::Reply, "Read signal strength", kSignalReplyLength, kSignalReply},
};

// A scan reply: 4 head bytes, the count, whole records, the end byte.
constexpr int kScanOverhead = 6;

std::string Dotted(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (std::uint8_t byte : bytes)
        text += (text.empty() ? "" : ".") + std::to_string(byte);
    return text;
}

// A field's text as the reply decoders read it: a piece of the payload text that never cuts a
// double-byte character, trimmed.
std::string TextAt(const std::string& payloadText, int offset, int length)
{
    return Trim(CopyMbcs(payloadText, offset - 3, length, true));
}

// The text the payload's text fields are cut from. A reply's ends at its first zero byte, as the
// reply decoders read it; a command's is every payload byte, since it may carry 0xFE anywhere.
std::string PayloadTextOf(TFrameSide side, std::span<const std::uint8_t> frame, int end)
{
    if (side == TFrameSide::Reply)
        return PayloadText(frame);
    return end > 4 ? std::string(frame.begin() + 4, frame.begin() + end) : std::string();
}

std::string EnumValue(const TFieldLayout& field, std::uint8_t byte)
{
    for (const TEnumName& name : field.names)
        if (name.value == byte)
            return std::string(name.name);
    if (!field.otherwise.empty())
        return std::string(field.otherwise);
    return "unknown (0x" + ByteToHex(byte) + ")";
}

std::string IdValue(std::uint8_t id)
{
    std::string text = MessageIdText(id);
    if (id > 0x20 && id < 0x7F)
        text += std::string(" '") + static_cast<char>(id) + "'";
    const std::string_view name = MessageName(id);
    if (!name.empty())
        text += " " + std::string(name);
    return text;
}

std::string FieldText(const TFieldLayout& field, std::span<const std::uint8_t> frame, int offset, const std::string& payloadText)
{
    const auto bytes = frame.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(field.length));
    switch (field.kind) {
    case K::Byte: return SpacedHex(bytes);
    case K::Octet: return std::to_string(bytes[0]);
    case K::Word: return std::to_string(bytes[0] * 256 + bytes[1]);
    case K::Ipv4: return Dotted(bytes);
    case K::Mac: {
        std::string text;
        for (std::uint8_t byte : bytes)
            text += (text.empty() ? "" : ":") + ByteToHex(byte);
        return text;
    }
    case K::Version: return std::to_string(bytes[0]) + "." + PadLeft(std::to_string(bytes[1]), 2, '0');
    case K::Enum: return EnumValue(field, bytes[0]);
    case K::Text: return AnsiToUtf8(TextAt(payloadText, offset, field.length));
    case K::Rssi: {
        const std::string text = TextAt(payloadText, offset, field.length);
        try {
            return std::to_string(StrToInt(text));
        } catch (const EConvertError&) {
            return AnsiToUtf8(text);
        }
    }
    }
    return {};
}

// Collects fields in offset order and names the bytes no field claims.
class TFieldList {
public:
    TFieldList(std::span<const std::uint8_t> frame, std::string gapName) : frame_(frame), gapName_(std::move(gapName)) {}

    void Add(int offset, int length, std::string name, TFieldKind kind, std::string value)
    {
        CoverUpTo(offset);
        fields_.push_back({offset, length, std::move(name), kind, std::move(value)});
        covered_ = offset + length;
    }
    void CoverUpTo(int offset)
    {
        if (offset > covered_)
            fields_.push_back({covered_, offset - covered_, gapName_, K::Byte,
                               SpacedHex(frame_.subspan(static_cast<std::size_t>(covered_), static_cast<std::size_t>(offset - covered_)))});
        covered_ = std::max(covered_, offset);
    }
    std::vector<TDecodedField> Take() { return std::move(fields_); }

private:
    std::span<const std::uint8_t> frame_;
    std::string gapName_;
    std::vector<TDecodedField> fields_;
    int covered_ = 0;
};

} // namespace

std::span<const TMessageLayout> MessageLayouts()
{
    return kLayouts;
}

const TMessageLayout* FindLayout(TFrameSide side, std::uint8_t id)
{
    for (const TMessageLayout& layout : kLayouts)
        if (layout.side == side && layout.id == id)
            return &layout;
    return nullptr;
}

std::string_view MessageName(std::uint8_t id)
{
    for (const TMessageLayout& layout : kLayouts)
        if (layout.id == id)
            return layout.name;
    return {};
}

TFrameState FrameState(TFrameSide side, std::span<const std::uint8_t> frame)
{
    const TMessageLayout* layout = FindLayout(side, FrameMessageId(frame));
    if (!layout)
        return TFrameState::Unregistered;
    const auto length = static_cast<int>(frame.size());
    if (layout->records)
        return length >= kScanOverhead && (length - kScanOverhead) % layout->records->length == 0 ? TFrameState::Ok
                                                                                                  : TFrameState::WrongLength;
    if (layout->length != 0 && length != layout->length)
        return TFrameState::WrongLength;
    return TFrameState::Ok;
}

std::vector<TDecodedField> DecodeFields(TFrameSide side, std::span<const std::uint8_t> frame)
{
    const int size = static_cast<int>(frame.size());
    const bool ended = size >= 2 && frame.back() == kFrameEnd;
    const int end = ended ? size - 1 : size; // the bytes before the end byte
    const TMessageLayout* layout = FindLayout(side, FrameMessageId(frame));
    const bool fixed = layout && (layout->length != 0 || layout->records);
    TFieldList fields(frame, !layout ? "payload" : fixed ? "unexpected bytes" : "payload (not read)");

    if (size >= 1)
        fields.Add(0, 1, "start", K::Byte, SpacedHex(frame.first(1)));
    if (end >= 2) {
        std::string value = std::to_string(frame[1]);
        if (frame[1] != size)
            value += " (the frame has " + std::to_string(size) + " bytes)";
        fields.Add(1, 1, "length", K::Octet, value);
    }
    if (end >= 3 && size >= 4)
        fields.Add(2, 1, "message ID", K::Byte, IdValue(frame[2]));
    if (end >= 4)
        fields.Add(3, 1, "fixed byte", K::Byte, SpacedHex(frame.subspan(3, 1)));
    if (layout) {
        const std::string payloadText = PayloadTextOf(side, frame, end);
        for (const TFieldLayout& field : layout->fields)
            if (field.offset + field.length <= end)
                fields.Add(field.offset, field.length, std::string(field.name), field.kind, FieldText(field, frame, field.offset, payloadText));
        if (const auto& records = layout->records) {
            for (int r = 0, start = records->firstOffset; start + records->length <= end; ++r, start += records->length)
                for (const TFieldLayout& field : records->fields)
                    fields.Add(start + field.offset, field.length,
                               std::string(records->name) + " " + std::to_string(r + 1) + " " + std::string(field.name),
                               field.kind, FieldText(field, frame, start + field.offset, payloadText));
        }
    }
    fields.CoverUpTo(end);
    if (ended)
        fields.Add(size - 1, 1, "end", K::Byte, SpacedHex(frame.last(1)));
    return fields.Take();
}

std::vector<bool> SecretBytes(TFrameSide side, std::span<const std::uint8_t> frame)
{
    std::vector<bool> secret(frame.size(), false);
    const TMessageLayout* layout = FindLayout(side, FrameMessageId(frame));
    if (!layout)
        return secret;
    const auto size = static_cast<int>(frame.size());
    for (const TFieldLayout& field : layout->fields)
        if (field.secret)
            for (int offset = field.offset; offset < field.offset + field.length && offset < size; ++offset)
                secret[static_cast<std::size_t>(offset)] = true;
    return secret;
}

std::string SpacedHex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += ByteToHex(byte);
    }
    return text;
}

std::optional<std::string> FieldValue(const std::vector<TDecodedField>& fields, std::string_view name)
{
    for (const TDecodedField& field : fields)
        if (field.name == name)
            return field.value;
    return std::nullopt;
}

} // namespace r7730
