// Small helpers for talking to a simulated TA in the tests.
#pragma once

#include "sim/SimTa.h"

#include <string>
#include <string_view>

namespace ta::sim::test {

inline std::string withoutCr(std::string text)
{
    std::erase(text, '\r');
    return text;
}

// Sends "line" + CR at nowMs and returns the TA's answer with CRs dropped,
// as the program's reply buffer holds it.
inline std::string talk(SimTa& ta, std::string_view line, uint64_t nowMs = 0)
{
    ta.receive(std::string(line) + "\r", nowMs);
    return withoutCr(ta.takeOutput());
}

inline bool endsOk(const std::string& reply) { return reply.ends_with("\nOK\n"); }

} // namespace ta::sim::test
