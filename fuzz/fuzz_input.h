// Reads a fuzz input as a stream of ints, bytes and strings; past the end it
// gives zeros and empty strings, so every input is a valid one.
#ifndef KOVRAP_FUZZ_INPUT_H
#define KOVRAP_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        int out;
        std::memcpy(&out, &v, sizeof out);
        return out;
    }
    // Bytes up to the next separator byte (not included) or the end.
    std::string text(std::uint8_t separator) {
        std::string out;
        while (pos_ < size_ && data_[pos_] != separator)
            out += static_cast<char>(data_[pos_++]);
        if (pos_ < size_)
            ++pos_;
        return out;
    }
    bool done() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }
    const std::uint8_t *here() const { return data_ + pos_; }
    void skip(std::size_t n) { pos_ = n < left() ? pos_ + n : size_; }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

#endif
