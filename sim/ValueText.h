// The TA's side of the value forms: the value line it answers to a query and
// the reading of an assigned value into its store.
#pragma once

#include "atcmd/ParamTable.h"
#include "profile/TaProfile.h"

#include <string>
#include <string_view>

namespace ta::sim {

struct ChargeTexts {
    std::string last = "0";        // "$C0"
    std::string accumulated = "0"; // "$C1"
};

// The value line of a query. oneDigit drops the leading zeros of the date's
// day and month and of the time's components, as some firmware does.
std::string valueLine(const TaProfile& store, const ChargeTexts& charges, const atcmd::Param& param,
                      int port, bool oneDigit);

// Stores an assigned value; false (and nothing changed) when the value does
// not fit the key's form or its field.
bool storeValue(TaProfile& store, ChargeTexts& charges, const atcmd::Param& param, int port,
                std::string_view value);

// A decimal number of at most max, digits only.
bool parseUnsigned(std::string_view text, unsigned max, unsigned& out);

} // namespace ta::sim
