#include "profile/FieldRules.h"

#include <algorithm>
#include <array>

#include "profile/FieldValue.h"

namespace ta {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

unsigned digitsAt(std::string_view text, std::size_t at, std::size_t count)
{
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + unsigned(text[i] - '0');
    return value;
}

// "NN-NN-NNNN" or "NN:NN:NN": digits everywhere but at the separators.
bool hasShape(std::string_view text, std::string_view shape)
{
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (shape[i] == 'N' ? !isDigit(text[i]) : text[i] != shape[i])
            return false;
    return true;
}

unsigned daysIn(unsigned month, unsigned year)
{
    static constexpr std::array<unsigned, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool isRealDate(std::string_view text)
{
    if (!hasShape(text, "NN-NN-NNNN"))
        return false;
    const unsigned day = digitsAt(text, 0, 2), month = digitsAt(text, 3, 2), year = digitsAt(text, 6, 4);
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysIn(month, year);
}

bool isRealTime(std::string_view text)
{
    return hasShape(text, "NN:NN:NN") && digitsAt(text, 0, 2) <= 23 && digitsAt(text, 3, 2) <= 59 &&
           digitsAt(text, 6, 2) <= 59;
}

Result<> refuseUnless(bool fits, const char* rule) { return fits ? Result<>() : unexpected(rule); }

Result<> checkForm(const FieldInfo& field, std::string_view text)
{
    switch (field.form) {
    case TextForm::Any:
        return {};
    case TextForm::Phone:
        return refuseUnless(isPhoneText(text), "takes only the digits, '-', '*', '#', blank, '(', ')', '[' and ']'");
    case TextForm::Date:
        return refuseUnless(text.empty() || isRealDate(text), "takes a real date as DD-MM-YYYY, or nothing");
    case TextForm::Time:
        return refuseUnless(text.empty() || isRealTime(text),
                            "takes a real time as HH:MM:SS (00:00:00 to 23:59:59), or nothing");
    case TextForm::Fixed:
        return refuseUnless(text == kProfileMagic, "is always TAPRF1.0");
    }
    return {};
}

std::string codeList(const FieldInfo& field)
{
    std::string known;
    for (const CodeItem& item : field.codes)
        known += (known.empty() ? "" : ", ") + std::to_string(item.code) + " (" + labelOf(field, item.code) + ")";
    if (field.unnamedCodes)
        known += ", or a code from " + std::to_string(field.min) + " to " + std::to_string(field.max) +
                 " that no item names";
    return known;
}

std::string rangeText(const FieldInfo& field)
{
    const std::string min = std::to_string(field.min), max = std::to_string(field.max);
    return field.max == field.min + 1 ? "takes " + min + " or " + max : "takes " + min + " to " + max;
}

bool dropBelowAdd(unsigned drop, unsigned add) { return multilinkThresholdsValid(int(add), int(drop)); }
std::string dropBelowAddRule(unsigned add)
{
    return "must be below ADD (" + std::to_string(add) + "), unless both are 0";
}

constexpr std::array<FieldPairRule, 2> kPairRules{{
    {"dataPort1.mpDropThreshold", "dataPort1.mpAddThreshold", "dataPort1.fixedMp", dropBelowAdd, dropBelowAddRule},
    {"dataPort2.mpDropThreshold", "dataPort2.mpAddThreshold", "dataPort2.fixedMp", dropBelowAdd, dropBelowAddRule},
}};

} // namespace

Result<> checkNumber(const FieldInfo& field, unsigned value)
{
    if (field.kind == FieldKind::Text)
        return unexpected("is a text, not a number");
    if (!field.codes.empty()) {
        const bool named = value <= 255 && positionOfCode(field.codes, uint8_t(value)) >= 0;
        const bool unnamed = field.unnamedCodes && value >= field.min && value <= field.max;
        if (named || unnamed)
            return {};
        return unexpected("takes one of " + codeList(field));
    }
    if (value < field.min || value > field.max)
        return unexpected(rangeText(field));
    return {};
}

Result<> checkText(const FieldInfo& field, std::string_view text)
{
    if (field.kind != FieldKind::Text)
        return unexpected("is a number, not a text");
    if (text.size() >= field.size)
        return unexpected("holds at most " + std::to_string(field.size - 1) + " characters");
    return checkForm(field, text);
}

Result<> checkStored(const TaProfile& profile, const FieldInfo& field)
{
    if (field.kind != FieldKind::Text)
        return checkNumber(field, numberIn(profile, field));
    const std::string text = textIn(profile, field);
    if (text.size() == field.size)
        return unexpected("has no terminator: it holds at most " + std::to_string(field.size - 1) + " characters");
    return checkText(field, text);
}

bool neverFilled(const TaProfile& profile, const FieldInfo& field)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&profile) + field.offset;
    return std::all_of(bytes, bytes + field.size, [](unsigned char byte) { return byte == 0; });
}

std::span<const FieldPairRule> fieldPairRules() { return kPairRules; }

std::optional<RuleBreak> checkPair(const TaProfile& profile, const FieldPairRule& rule)
{
    const FieldInfo* field = findField(rule.field);
    const FieldInfo* other = findField(rule.other);
    const FieldInfo* unless = findField(rule.unless);
    if (!field || !other || (unless && numberIn(profile, *unless) == 1))
        return std::nullopt;
    const unsigned value = numberIn(profile, *field), otherValue = numberIn(profile, *other);
    if (rule.holds(value, otherValue))
        return std::nullopt;
    return RuleBreak{field, shownValue(profile, *field), rule.rule(otherValue), &rule};
}

std::optional<RuleBreak> pairBreakInvolving(const TaProfile& profile, std::span<const std::string> names)
{
    for (const FieldPairRule& rule : fieldPairRules()) {
        const bool involved = std::any_of(names.begin(), names.end(), [&rule](const std::string& name) {
            return name == rule.field || name == rule.other || name == rule.unless;
        });
        if (auto broken = involved ? checkPair(profile, rule) : std::nullopt)
            return broken;
    }
    return std::nullopt;
}

std::vector<RuleBreak> recordRuleBreaks(const TaProfile& profile)
{
    std::vector<RuleBreak> breaks;
    for (const FieldInfo& field : profileFields())
        if (!neverFilled(profile, field))
            if (const auto kept = checkStored(profile, field); !kept)
                breaks.push_back({&field, shownValue(profile, field), kept.error()});
    for (const FieldPairRule& rule : fieldPairRules())
        if (auto broken = checkPair(profile, rule))
            breaks.push_back(std::move(*broken));
    std::stable_sort(breaks.begin(), breaks.end(),
                     [](const RuleBreak& a, const RuleBreak& b) { return a.field->offset < b.field->offset; });
    return breaks;
}

std::string ruleBreakLine(const RuleBreak& ruleBreak)
{
    const FieldInfo& field = *ruleBreak.field;
    const std::string named = field.name + " = " + ruleBreak.value;
    return (field.setting.empty() ? named : field.setting + " (" + named + ")") + " " + ruleBreak.rule;
}

} // namespace ta
