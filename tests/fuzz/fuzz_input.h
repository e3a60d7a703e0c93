#pragma once
// Takes typed values off the front of a fuzzer's input, so one input can drive several
// parameters of a routine as well as its bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace r7730::fuzzing {

class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return size_ > 0 ? (--size_, *data_++) : 0; }
    int SmallInt(int limit) { return limit > 0 ? Byte() % limit : 0; }
    // A text of at most `maximum` bytes, its length taken from the input.
    std::string Text(std::size_t maximum)
    {
        std::size_t length = Byte();
        length = length < maximum ? length : maximum;
        length = length < size_ ? length : size_;
        std::string text(reinterpret_cast<const char*>(data_), length);
        data_ += length;
        size_ -= length;
        return text;
    }
    std::string Rest() { return Text(size_); }
    std::string_view RestView() const { return {reinterpret_cast<const char*>(data_), size_}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace r7730::fuzzing
