// Looking up a setting of the device's serial line among its choices.
#include "protocol/serial_line_codes.h"

namespace r7730 {

std::optional<int> SerialChoiceIndex(std::span<const std::string_view> choices, std::string_view text)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const std::string_view choice = choices[i];
        if (choice.size() != text.size())
            continue;
        bool same = true;
        for (std::size_t c = 0; c < text.size() && same; ++c)
            same = lower(choice[c]) == lower(text[c]);
        if (same)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

} // namespace r7730
