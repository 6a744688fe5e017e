// The text forms of a profile that tactl prints and reads back: one
// "name = value" line per field, or one JSON object. Both hold every field
// of the record, so a profile read back from either equals the original on
// every field.
#pragma once

#include <string>
#include <string_view>

#include "profile/FieldList.h"
#include "profile/Result.h"

namespace ta::tactl {

// Which fields a text form holds: every one, or all but the volatile ones
// (VolatileFields.h), which a stable text leaves out.
enum class TextScope { Every, Stable };

// Every field as "name = value" lines, in record order.
std::string profileLines(const TaProfile& profile, TextScope scope = TextScope::Every);

// Every field as one JSON object in record order: numbers as numbers, texts
// as strings (each byte one character, U+0000 to U+00FF), and beside each
// coded value its label as "name.label". docs/profile.schema.json describes it.
std::string profileJson(const TaProfile& profile, TextScope scope = TextScope::Every);

// Reads either form (JSON when the text begins with "{") into the record:
// the fields named there change, every other byte stays. A value must keep
// its field's rule (FieldRules.h; 0, a setting never read, comes back as it
// is) and the rules between it and another field; labels must match their
// values. Returns the number of fields read, or the reason ("line 3: ...").
Result<int> readProfileText(std::string_view text, TaProfile& profile);

} // namespace ta::tactl
