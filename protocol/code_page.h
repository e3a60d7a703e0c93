#pragma once
// The program's ANSI code page, CP949.
//
// Texts on the wire, in the log file and in the settings file are CP949 bytes; texts in the
// window are Unicode. These routines convert between the two (through glibc's iconv) and
// classify bytes as single, lead or trail bytes of double-byte characters. Classification
// scans from the start of the text: a byte in the lead range makes the byte after it a
// trail byte, whatever that byte is.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace r7730 {

enum class TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };

// True for the bytes that start a double-byte character in CP949 (0x81 to 0xFE).
bool IsLeadByte(unsigned char byte);

// Type of the byte at the 0-based index, scanning the text from its start.
TMbcsByteType ByteTypeAt(std::string_view ansi, std::size_t index);

// CP949 bytes to UTF-16. A byte sequence that CP949 does not define gives U+FFFD for its first
// byte; conversion then goes on with the next byte, so nothing after a bad byte is lost.
std::u16string AnsiToWide(std::string_view ansi);

// UTF-16 to CP949. A character that CP949 cannot represent becomes '?'.
std::string WideToAnsi(std::u16string_view wide);
// UTF-16 to CP949 when every character has a CP949 form; nothing otherwise (an emoji, a
// snowman), so that a text is never stored with '?' in place of what was typed.
std::optional<std::string> WideToAnsiExactly(std::u16string_view wide);

// Convenience forms for UTF-8 text (std::string holding UTF-8).
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

} // namespace r7730
