#include "sim/tasim/LinePacer.h"

#include <algorithm>
#include <limits>

namespace ta::sim {

LinePacer::LinePacer(uint32_t baud, Edge edge)
    : byteUs_(baud == 0 ? 0 : (10'000'000ull + baud - 1) / baud), edge_(edge)
{
}

void LinePacer::push(const std::string& bytes, uint64_t nowUs)
{
    for (char byte : bytes) {
        uint64_t start = std::max(lineFreeUs_, nowUs);
        lineFreeUs_ = start + byteUs_;
        queue_.push_back({byte, edge_ == Edge::Start ? start : lineFreeUs_});
    }
}

std::string LinePacer::takeDue(uint64_t nowUs)
{
    std::string due;
    while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
        due += queue_.front().byte;
        queue_.pop_front();
    }
    return due;
}

void LinePacer::giveBack(const std::string& bytes)
{
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it)
        queue_.push_front({*it, 0});
}

uint64_t LinePacer::nextDueUs() const
{
    return queue_.empty() ? std::numeric_limits<uint64_t>::max() : queue_.front().dueUs;
}

} // namespace ta::sim
