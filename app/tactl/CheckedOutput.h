// Standard output of tactl: buffered, and remembering the first write that
// failed, so that a full disk or a closed descriptor ends the run with an
// error instead of a success with the output lost.
#pragma once

#include <array>
#include <streambuf>

namespace ta::tactl {

class CheckedOutput : public std::streambuf {
public:
    explicit CheckedOutput(int fd);
    CheckedOutput(const CheckedOutput&) = delete;
    CheckedOutput& operator=(const CheckedOutput&) = delete;

    // Writes what is buffered and closes the descriptor; the errno of the
    // first write or close that failed, 0 when everything arrived.
    int finish();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int sync() override;

private:
    // Writes size bytes, or remembers why not; later output is dropped.
    bool put(const char* data, std::size_t size);
    bool drain();

    int fd_;
    int error_ = 0;
    std::array<char, 8192> buffer_{};
};

} // namespace ta::tactl
