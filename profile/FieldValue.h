// One field of a record read and written by its FieldInfo: numbers, texts
// and the labels of coded values. The rules a value must keep are
// FieldRules.h's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "profile/FieldList.h"
#include "profile/Result.h"

namespace ta {

// The value of a byte or word field.
unsigned numberIn(const TaProfile& profile, const FieldInfo& field);

// A text field up to its terminator; all of its bytes when it has none.
std::string textIn(const TaProfile& profile, const FieldInfo& field);

// A field's value on one line, as listings and comparisons print it:
// "216 (Other)" for a coded value, texts with backslashes and bytes outside
// printable ASCII as escapes ("\\", "\x0A").
std::string shownValue(const TaProfile& profile, const FieldInfo& field);

// The label of a coded value without trailing blanks; empty when the field
// is not coded or no item has the value.
std::string labelOf(const FieldInfo& field, unsigned value);

// The code whose label this is (case and surrounding blanks ignored).
std::optional<unsigned> codeOfLabel(const FieldInfo& field, std::string_view label);

// A plain unsigned decimal ("0", "254"; no sign, no blanks, at most 9 digits).
std::optional<unsigned> parseDecimal(std::string_view text);

// Only the characters of telephone numbers and sub-addresses: the digits,
// "-", "*", "#", blank, "(", ")", "[" and "]".
bool isPhoneText(std::string_view text);

// Store whatever fits the field's width, exactly as given: a number up to
// 255 (byte) or 65535 (word); a text up to the whole array, followed by a
// terminator when there is room (the bytes after it are left as they were).
// A value that does not fit is refused with the reason.
Result<> storeNumber(TaProfile& profile, const FieldInfo& field, unsigned value);
Result<> storeText(TaProfile& profile, const FieldInfo& field, std::string_view text);

} // namespace ta
