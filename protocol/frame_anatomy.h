#pragma once
// A frame's anatomy: for every message of the catalogue, in both directions, where each field
// lies, how long it is, what it is called and how its bytes read; and the one function that
// turns a frame's bytes into its fields.
//
// Offsets are frame offsets (0 is the start byte). Every frame has the same head (start byte,
// length byte, message ID, fixed byte) and ends with its end byte; the table lists the payload
// between. A scan reply carries a repeated record after its count; its records are counted from
// the frame's length. Texts are CP949 bytes, decoded the way the reply decoders decode them, so
// the two never disagree about the same bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r7730 {

// Which way a frame travels: a command from the program, or a reply from the device.
enum class TFrameSide { Command, Reply };

enum class TFieldKind {
    Byte,    // a byte shown in hex: the start, fixed and end bytes, bytes nobody reads
    Octet,   // one unsigned byte in decimal
    Word,    // two bytes, high byte first, in decimal (a port, an interval)
    Ipv4,    // four octets, first octet first
    Mac,     // six bytes as 00:1A:2B:3C:4D:5E
    Version, // major and minor byte as 1.03
    Enum,    // one byte standing for a name (a model code, a serial setting's index, a mode)
    Text,    // CP949 text, blank-padded to its width
    Rssi,    // signed decimal text in dBm; "NOINFO" when the device has joined no access point
};

struct TEnumName {
    std::uint8_t value;
    std::string_view name;
};

struct TFieldLayout {
    int offset;
    int length;
    std::string_view name;
    TFieldKind kind;
    std::span<const TEnumName> names = {}; // Enum: the names by byte value
    std::string_view otherwise = {};        // Enum: the name of any other value; empty: unknown
    bool secret = false;                    // masked in traces: the access point's password
};

// A record repeated to the end of the frame; its fields' offsets count from the record's start.
struct TRecordLayout {
    int firstOffset;
    int length;
    std::string_view name; // "AP": the fields are named "AP 1 SSID", "AP 2 SSID", ...
    std::span<const TFieldLayout> fields;
};

struct TMessageLayout {
    std::uint8_t id;
    TFrameSide side;
    std::string_view name;
    int length; // total bytes on the wire; 0 for any length
    std::span<const TFieldLayout> fields;
    std::optional<TRecordLayout> records = std::nullopt;
};

// Whether the bytes make sense as the message their ID names.
enum class TFrameState {
    Ok,
    WrongLength,  // shorter or longer than the catalogue's length, or a scan reply not 6 + 52 x n
    Unregistered, // an ID the catalogue has not for this side (for a reply: outside 'A'..'J')
};

struct TDecodedField {
    int offset = 0;
    int length = 0;
    std::string name;
    TFieldKind kind = TFieldKind::Byte;
    std::string value; // UTF-8, for people
    bool operator==(const TDecodedField&) const = default;
};

// Every message of the catalogue, commands first.
std::span<const TMessageLayout> MessageLayouts();
// The layout of a message; nothing for an ID the catalogue has not for this side.
const TMessageLayout* FindLayout(TFrameSide side, std::uint8_t id);
// The catalogue's name of an ID ("Current status read"); empty for an ID it has not.
std::string_view MessageName(std::uint8_t id);

TFrameState FrameState(TFrameSide side, std::span<const std::uint8_t> frame);

// The frame's bytes as fields, in the order of their offsets, covering every byte: the head,
// the payload fields that lie wholly inside the frame, "unexpected bytes" for what no field
// claims, and the end byte. A short frame has the fields it holds.
std::vector<TDecodedField> DecodeFields(TFrameSide side, std::span<const std::uint8_t> frame);

// How a masked byte shows in a trace's hex: as wide as its two hex digits, and no hex.
inline constexpr std::string_view kMaskedByte = "**";

// Which bytes of the frame a trace masks: one flag per byte, set for the bytes of a secret field
// (the access point's password in the set command and the current-AP reply), the whole field
// with its padding so its length shows neither; a short frame's part of the field too.
std::vector<bool> SecretBytes(TFrameSide side, std::span<const std::uint8_t> frame);

// Bytes as upper-case hex pairs with a blank between: "7E 05 41 50 FE".
std::string SpacedHex(std::span<const std::uint8_t> bytes);

// The value of the decoded field of that name; nothing when the frame has no such field.
std::optional<std::string> FieldValue(const std::vector<TDecodedField>& fields, std::string_view name);

} // namespace r7730
