#pragma once
// The conversion error raised for text that is not a number. Its message is the
// system's own: "'<text>' is not a valid integer value".
#include <stdexcept>
#include <string>

namespace r7730 {

class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}

    // The error for a text that did not convert to an integer.
    static EConvertError InvalidInteger(const std::string& text)
    {
        return EConvertError("'" + text + "' is not a valid integer value");
    }
};

} // namespace r7730
