// The ordered list of keys a query sequence asks the TA for.
#pragma once

#include <string>
#include <vector>

#include "atcmd/Options.h"

namespace ta::atcmd {

struct QueryEntry {
    std::string key; // may be empty: the line sent is then "AT" alone
    int id;          // parameter id, selects the reply decoder
};

// Entries in ascending id order; at most 135.
std::vector<QueryEntry> buildQueryList(const Options& options);

// Ids sent as the key alone, without "?": the firmware version request and
// the port-selection entries (1, 3, 47, 51, 95).
bool isPlainCommandId(int id);

// The command body of an entry, without "AT" and the carriage return.
std::string queryBody(const QueryEntry& entry);

} // namespace ta::atcmd
