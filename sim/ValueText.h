// The TA's side of the value kinds: what it keeps of an assigned value and
// the value line it answers to a query.
#pragma once

#include "sim/TaKeys.h"

#include <optional>
#include <string>
#include <string_view>

namespace ta::sim {

// The text the TA keeps for an assigned value; nothing when the value does
// not fit the kind (then nothing changes).
std::optional<std::string> storedText(ValueKind kind, std::string_view value);

// The value line of a query. oneDigit drops the leading zeros of the date's
// day and month and of the time's components, as some firmware does.
std::string valueLine(ValueKind kind, const std::string& kept, bool oneDigit);

// A decimal number of at most max, digits only.
bool parseUnsigned(std::string_view text, unsigned max, unsigned& out);

} // namespace ta::sim
