// Turns a profile into the ordered AT assignments that set it on the TA.
#pragma once

#include <string>
#include <vector>

#include "atcmd/Options.h"
#include "profile/TaProfile.h"

namespace ta::atcmd {

struct Param;

// One command of the batch: its body, and for an assignment of a parameter
// the row, the port (1 or 2 for data-port rows, else 0) and the value text.
// Port selection, the store commands and the charge clearing have no row.
struct BatchEntry {
    std::string command;
    const Param* param = nullptr;
    int port = 0;
    std::string value;
};

// Command bodies (without "AT" and the carriage return), at most 132.
std::vector<std::string> buildSubmitBatch(const TaProfile& profile, const Options& options);
// The same batch with what each command assigns.
std::vector<BatchEntry> buildSubmitEntries(const TaProfile& profile, const Options& options);

// The record as the batch sends it: a port with Fixed MP on goes at 128 kbps
// with both thresholds 0 and persist time 1, whatever it stores.
TaProfile asSent(const TaProfile& profile);

// The value text of a parameter as assigned, for data-port rows on port 1 or 2.
// Control characters of stored texts are left out, so that no stored text can
// end the command line early or smuggle in a command of its own.
std::string valueText(const TaProfile& profile, int id);

} // namespace ta::atcmd
