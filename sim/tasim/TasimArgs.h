// The command line of tasim: options for the local TA, the same options with
// "--remote-" for the TA at the far end of a call, and the program's own.
#pragma once

#include "sim/SimOptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ta::sim {

struct TasimConfig {
    SimTaOptions local;
    SimTaOptions remote;
    uint32_t baud = 0; // 0: bytes move as fast as the pseudo-terminal takes them
    std::string imageOut;
    bool log = false;
    bool help = false;
    bool version = false;
    uint32_t faultSeed = 1;
    int faultPercent = 0;
};

// Fills config from the arguments; returns an error text, empty when all were understood.
std::string parseTasimArgs(const std::vector<std::string>& args, TasimConfig& config);
std::string tasimUsage();

} // namespace ta::sim
