#pragma once
// Hex and text routines shared by the command builders and the reply decoders.
//
// Texts are byte strings in the ANSI code page (CP949); character positions are 1-based, as
// the device's field tables count them. All routines are pure functions.
#include <cstdint>
#include <string>
#include <string_view>

namespace r7730 {

// Two upper-case hexadecimal digits with a leading zero: 10 -> "0A", 255 -> "FF".
std::string ByteToHex(std::uint8_t value);

// ByteToHex of the text's first byte; "00" for the empty text.
std::string CharToHex(std::string_view text);

// The text read as hexadecimal ("2B" -> 43, "1F90" -> 8080). Raises EConvertError
// "'$<text>' is not a valid integer value" when a character is not a hexadecimal digit.
std::int32_t HexToInt(std::string_view text);

// 0..9 -> '0'..'9', 10..15 -> 'A'..'F'; anything else -> '0'.
char NibbleToHexChar(std::uint32_t value);
inline char NibbleToHexChar(int value) { return NibbleToHexChar(static_cast<std::uint32_t>(value)); }

// '1'..'9' -> 1..9, 'A'..'F' and 'a'..'f' -> 10..15; every other character, '0' included, -> 0.
int HexCharToNibble(char c);

// The first two characters as a hexadecimal byte when both are hex digits, otherwise 0.
std::uint8_t HexPairToByte(std::string_view text);

// Substring by byte position (1-based `from`) that never starts on a trail byte or ends on a
// lead byte of a double-byte character. With `pad`, each half character dropped at an edge
// is replaced by one blank at the end.
std::string CopyMbcs(std::string_view text, int from, int count, bool pad);

// The text cut at the right, or padded on the left with `pad` (NUL means blank), to exactly
// `width` characters.
std::string PadLeft(std::string_view text, int width, char pad);

// Each byte as two upper-case hex digits followed by ".": 7E 05 41 50 FE -> "7E.05.41.50.FE.".
std::string HexText(const std::uint8_t* bytes, std::size_t count);
std::string HexText(std::string_view bytes);

// The standard decimal text-to-integer conversion: leading blanks skipped, an optional sign,
// decimal digits (or "$" / "0x" followed by hex digits), nothing after them, within 32 bits.
// Raises EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// The standard trim: removes leading and trailing characters up to and including the blank.
std::string Trim(std::string_view text);

} // namespace r7730
