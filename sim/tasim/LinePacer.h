// Serial line timing for one direction: at a given bit rate (10 bits per
// byte) a byte takes its line time. Bytes pass straight through at rate 0.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace ta::sim {

class LinePacer {
public:
    enum class Edge : uint8_t {
        Start, // a byte is due when it starts on the line (what is sent)
        End,   // a byte is due once its last bit arrived (what is received)
    };

    LinePacer(uint32_t baud, Edge edge);

    void push(const std::string& bytes, uint64_t nowUs);
    std::string takeDue(uint64_t nowUs);
    // Puts bytes that could not be passed on back at the front, due at once.
    void giveBack(const std::string& bytes);
    uint64_t nextDueUs() const; // UINT64_MAX when empty
    bool empty() const { return queue_.empty(); }

private:
    struct Timed {
        char byte;
        uint64_t dueUs;
    };
    uint64_t byteUs_;
    Edge edge_;
    uint64_t lineFreeUs_ = 0;
    std::deque<Timed> queue_;
};

} // namespace ta::sim
