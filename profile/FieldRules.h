// The rules of the values the TA takes, read from the field table
// (FieldList.h), and the rules between two fields. The editor, tactl set and
// import, the profile file loader, the query's reply decoder and the submit
// all check by these, so that what one door refuses no other lets through.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "profile/FieldList.h"
#include "profile/Result.h"

namespace ta {

// A value that breaks a rule: the field, its value as tactl show prints it,
// and the rule ("takes 0 to 64").
struct FieldPairRule;
struct RuleBreak {
    const FieldInfo* field = nullptr;
    std::string value;
    std::string rule;
    const FieldPairRule* pair = nullptr; // a rule between two fields
};

// A number for the field: within its range, or one of its codes.
Result<> checkNumber(const FieldInfo& field, unsigned value);
// A text for the field: short enough to leave room for the terminator, only
// the characters of its form, a real date or time.
Result<> checkText(const FieldInfo& field, std::string_view text);
// The field as the record holds it, against its rule: a text without its
// terminator breaks it too.
Result<> checkStored(const TaProfile& profile, const FieldInfo& field);

// Whether every byte of the field is zero: the record was never filled
// there (a data port or X.25 on a TA without it, the country settings read
// without the country option). Files and imports keep such a field as it
// is; what a submit sends must keep the rule all the same.
bool neverFilled(const TaProfile& profile, const FieldInfo& field);

// A rule between two fields: the value of field against that of other,
// set aside while the flag unless is 1 (then neither value is sent).
struct FieldPairRule {
    std::string_view field; // the field named when the rule breaks
    std::string_view other;
    std::string_view unless;
    bool (*holds)(unsigned value, unsigned other);
    std::string (*rule)(unsigned other); // "must be below ADD (35), unless both are 0"
};

// The multilink thresholds of either data port: ADD above DROP, or both 0.
std::span<const FieldPairRule> fieldPairRules();

// The break of a rule between two fields in the record, if it breaks.
std::optional<RuleBreak> checkPair(const TaProfile& profile, const FieldPairRule& rule);

// The first rule between two fields that breaks in the record, among those
// that involve one of the named fields (either value or the flag): what an
// edit of those fields must not leave behind.
std::optional<RuleBreak> pairBreakInvolving(const TaProfile& profile, std::span<const std::string> names);

// Every break in the record, in record order: each field against its rule,
// but for the fields never filled, and each rule between two fields.
std::vector<RuleBreak> recordRuleBreaks(const TaProfile& profile);

// The break as the user reads it: where the editor shows the field, its
// name and value as tactl prints them, and the rule: "RS232 Port > PPP/MP
// Parameters > ... > DROP (dataPort1.mpDropThreshold = 40) must be below
// ADD (35), unless both are 0".
std::string ruleBreakLine(const RuleBreak& ruleBreak);

} // namespace ta
