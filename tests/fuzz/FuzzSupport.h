// What every fuzz target shares: a reader over the input bytes, a check that
// stops the run with a readable report, and a scratch file per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ta::fuzz {

// Hands out the input piece by piece; past its end every read gives zeros or
// empty text, so a short input is still a complete case.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return empty() ? 0 : size_ - pos_; }
    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    uint16_t word() { return uint16_t(byte() | (byte() << 8)); }
    bool flag() { return (byte() & 1) != 0; }
    std::string_view take(std::size_t n);
    std::string_view rest() { return take(left()); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Reports a broken invariant and aborts, which libFuzzer records as a crash
// with the input that caused it.
[[noreturn]] void fail(const char* file, int line, const std::string& what);

// A file of this process for targets that must go through a path; removed
// when the process ends.
const std::string& scratchFile(const char* tag);
void writeFile(const std::string& path, std::string_view bytes);

} // namespace ta::fuzz

#define FUZZ_EXPECT(condition, what)                                                                  \
    do {                                                                                              \
        if (!(condition))                                                                             \
            ::ta::fuzz::fail(__FILE__, __LINE__, std::string(#condition) + ": " + std::string(what)); \
    } while (0)
