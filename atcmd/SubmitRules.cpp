#include "atcmd/SubmitRules.h"

#include <algorithm>
#include <set>

#include "atcmd/ParamTable.h"
#include "atcmd/SubmitBatch.h"
#include "profile/FieldValue.h"

namespace ta::atcmd {
namespace {

const FieldInfo* fieldAt(const TaProfile& profile, std::span<const char> bytes)
{
    if (bytes.empty())
        return nullptr;
    const auto offset = std::size_t(bytes.data() - reinterpret_cast<const char*>(&profile));
    for (const FieldInfo& field : profileFields())
        if (field.offset == offset)
            return &field;
    return nullptr;
}

std::set<const FieldInfo*> fieldsAssigned(const TaProfile& profile, const Options& options)
{
    std::set<const FieldInfo*> fields;
    for (const BatchEntry& entry : buildSubmitEntries(profile, options)) {
        if (!entry.param)
            continue;
        for (const FieldInfo* field : {fieldAt(profile, fieldOf(profile, *entry.param, entry.port)),
                                       fieldAt(profile, subFieldOf(profile, *entry.param, entry.port))})
            if (field)
                fields.insert(field);
    }
    return fields;
}

// What identification may make of a TA: the model with both data ports in
// the port-prefix form, or through one of its ports without it; the basic
// model with the RS232 port in either form; a TA of neither model, which
// has no clock and no X.25 either.
struct TaForm {
    bool noPortPrefix;
    uint8_t taVariant;
    bool neitherModel;
};

constexpr TaForm kTaForms[] = {
    {false, 3, false}, {true, 1, false}, {true, 2, false}, {true, 3, false},
    {false, 1, false}, {false, 1, true}, {true, 1, true},
};

Options optionsFor(Options options, const TaForm& form)
{
    options.noPortPrefix = form.noPortPrefix;
    options.taVariant = form.taVariant;
    if (form.neitherModel) {
        options.x25OnD = false;
        options.sysDateTime = false;
    }
    return options;
}

bool sameBreak(const RuleBreak& a, const RuleBreak& b) { return a.field == b.field && a.rule == b.rule; }

} // namespace

std::vector<RuleBreak> submitRuleBreaks(const TaProfile& profile, const Options& options)
{
    const TaProfile sent = asSent(profile);
    const std::set<const FieldInfo*> assigned = fieldsAssigned(sent, options);
    std::vector<RuleBreak> breaks;
    for (const FieldInfo* field : assigned)
        if (const auto kept = checkStored(sent, *field); !kept)
            breaks.push_back({field, shownValue(sent, *field), kept.error()});
    for (const FieldPairRule& rule : fieldPairRules()) {
        const bool bothSent = assigned.contains(findField(rule.field)) && assigned.contains(findField(rule.other));
        if (auto broken = bothSent ? checkPair(sent, rule) : std::nullopt)
            breaks.push_back(std::move(*broken));
    }
    std::stable_sort(breaks.begin(), breaks.end(),
                     [](const RuleBreak& a, const RuleBreak& b) { return a.field->offset < b.field->offset; });
    return breaks;
}

std::vector<RuleBreak> ruleBreaksForAnyTa(const TaProfile& profile, const Options& options)
{
    std::vector<RuleBreak> common = submitRuleBreaks(profile, optionsFor(options, kTaForms[0]));
    for (const TaForm& form : kTaForms) {
        const std::vector<RuleBreak> breaks = submitRuleBreaks(profile, optionsFor(options, form));
        std::erase_if(common, [&](const RuleBreak& kept) {
            return std::none_of(breaks.begin(), breaks.end(), [&](const RuleBreak& b) { return sameBreak(kept, b); });
        });
    }
    return common;
}

} // namespace ta::atcmd
