// Text routines fed with any bytes: the code page both ways, character-safe copies, padding and
// the number conversions. A conversion error is an answer; a crash or a wrong length is not.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "protocol/code_page.h"
#include "protocol/conversion_error.h"
#include "protocol/hex_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    r7730::fuzzing::TFuzzInput input(data, size);
    const int from = input.SmallInt(80) - 4;
    const int count = input.SmallInt(80) - 4;
    const bool pad = input.Byte() & 1;
    const int width = input.SmallInt(64);
    const std::string text = input.Rest();

    const std::u16string wide = r7730::AnsiToWide(text);
    (void)r7730::WideToAnsi(wide);
    (void)r7730::Utf8ToAnsi(r7730::AnsiToUtf8(text));
    for (std::size_t i = 0; i < text.size(); ++i)
        (void)r7730::ByteTypeAt(text, i);
    const std::string copied = r7730::CopyMbcs(text, from, count, pad);
    if (copied.size() > text.size() + 2)
        std::abort();
    if (r7730::PadLeft(text, width, ' ').size() != static_cast<std::size_t>(width))
        std::abort();
    try {
        (void)r7730::StrToInt(text);
    } catch (const r7730::EConvertError&) {
    }
    try {
        (void)r7730::HexToInt(text);
    } catch (const r7730::EConvertError&) {
    }
    return 0;
}
