// The simulated TA's store in the tests: a value of its own in every setting,
// and the entries of a query list on which a profile and the TA disagree.
#pragma once

#include "atcmd/ParamTable.h"
#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldList.h"
#include "profile/FieldValue.h"
#include "sim/SimTa.h"
#include "sim/tasim/TasimArgs.h"
#include "sim/ValueText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <map>
#include <string>
#include <vector>

namespace ta::testsupport {

// A TA described with tasim's options ("--no-prefix --usb"; a word with a
// blank in double quotes).
inline sim::TasimConfig tasimConfig(const std::string& options)
{
    std::vector<std::string> words;
    std::istringstream in(options);
    for (std::string word; in >> std::quoted(word);)
        words.push_back(word);
    sim::TasimConfig config;
    const std::string error = sim::parseTasimArgs(words, config);
    if (!error.empty())
        ADD_FAILURE() << options << ": " << error;
    return config;
}

inline std::string digitsFrom(int n, std::size_t width)
{
    std::string text = std::to_string(1000 + n);
    while (text.size() < width)
        text += char('0' + (text.size() * 7 + std::size_t(n)) % 10);
    return text;
}

inline std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// As wide as the kind takes, so that a value cut short shows; numbers never
// 0 or 1, so that no port reads as fixed multilink.
inline std::string distinctValue(sim::ValueKind kind, int n)
{
    switch (kind) {
    case sim::ValueKind::Number: return std::to_string(2 + n * 37 % 254);
    case sim::ValueKind::WideNumber: return std::to_string(256 + n * 997 % 65000);
    case sim::ValueKind::Text: return digitsFrom(n, 32);
    case sim::ValueKind::Pair: return digitsFrom(n, 32) + "/" + digitsFrom(n + 500, 20);
    case sim::ValueKind::Date:
        return twoDigits(1 + n % 28) + "-" + twoDigits(1 + n % 12) + "-" + std::to_string(2000 + n);
    case sim::ValueKind::Time: return twoDigits(n % 24) + ":" + twoDigits(n * 7 % 60) + ":" + twoDigits(n * 13 % 60);
    case sim::ValueKind::Charge: break;
    }
    return std::to_string(n) + ".75";
}

// The profile field a number of the TA's store is read into; nullptr for
// the settings outside the profile (the call's set-up, the charges).
inline const FieldInfo* numberFieldOf(const std::string& slot)
{
    int port = 0;
    const atcmd::Param* param = atcmd::paramByKey(slot, &port);
    static const TaProfile record{};
    const auto bytes = param ? atcmd::fieldOf(record, *param, port) : std::span<const char>();
    const auto offset = std::size_t(bytes.data() - reinterpret_cast<const char*>(&record));
    for (const FieldInfo& field : profileFields())
        if (!bytes.empty() && field.offset == offset && field.kind != FieldKind::Text)
            return &field;
    return nullptr;
}

// A number the field's rule takes, picked by n. ADD lies above DROP on
// every port, so that the thresholds keep their rule and no port reads as
// fixed multilink.
inline unsigned numberPicked(const FieldInfo& field, unsigned n)
{
    if (field.name.ends_with("mpAddThreshold"))
        return 33 + n % 32;
    if (field.name.ends_with("mpDropThreshold"))
        return n % 33;
    if (!field.codes.empty())
        return field.codes[n % field.codes.size()].code;
    return field.min + (2 + n * 37) % (field.max - field.min + 1u);
}

// Never the factory setting where the rule leaves another: a write of the
// defaults then changes every setting.
inline std::string numberTaken(const FieldInfo& field, int n)
{
    static const TaProfile defaults = [] {
        TaProfile profile{};
        buildDefaultProfile(profile, true, true);
        return profile;
    }();
    unsigned value = numberPicked(field, unsigned(n));
    for (unsigned next = unsigned(n) + 1; value == numberIn(defaults, field) && next < unsigned(n) + 8; ++next)
        value = numberPicked(field, next);
    return std::to_string(value);
}

// Every setting of the TA, on both data ports, gets a value of its own that
// its field's rule takes: as far as the range lets, one no other has.
inline void fillDistinct(sim::SimTa& ta, int seed = 0)
{
    int n = seed;
    for (const sim::TaKey& key : sim::taKeys())
        for (int port = 1; port <= (key.perDataPort ? 2 : 1); ++port) {
            const std::string slot = sim::slotName(key, port);
            const FieldInfo* number = numberFieldOf(slot);
            ++n;
            ta.setValue(slot, number ? numberTaken(*number, n) : distinctValue(key.kind, n));
        }
}

// The record the program reads from the TA with the query list of these
// options, talked to directly; every answer must decode.
inline TaProfile profileOf(sim::SimTa& ta, const atcmd::Options& options, std::string* firmware = nullptr)
{
    TaProfile read{};
    std::string version, lastCharge, accCharge;
    atcmd::DecodeTargets targets{read, version, lastCharge, accCharge};
    const auto talk = [&ta](const std::string& body) {
        ta.receive("AT" + body + "\r", 0);
        std::string reply = ta.takeOutput();
        std::erase(reply, '\r');
        return reply;
    };
    talk("E1V1");
    for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(options)) {
        const std::string reply = talk(atcmd::queryBody(entry));
        if (!reply.ends_with("\nOK\n") || !atcmd::decodeReply(entry.id, reply, targets))
            ADD_FAILURE() << entry.key << " -> " << reply;
    }
    if (firmware)
        *firmware = version;
    return read;
}

// The TA's own key of a row of the program's table; nullptr when it has none.
inline const sim::TaKey* taKeyOf(const atcmd::Param& param)
{
    auto keys = sim::taKeys();
    auto it = std::find_if(keys.begin(), keys.end(), [&](const sim::TaKey& k) { return k.name == param.key; });
    return it == keys.end() ? nullptr : &*it;
}

// The entries of a query list whose value in the profile is not what the TA
// holds, compared in the form the TA keeps a value.
inline std::vector<std::string> differingFields(const TaProfile& profile, const sim::SimTa& ta,
                                                const std::vector<atcmd::QueryEntry>& list)
{
    std::vector<std::string> diffs;
    for (const auto& entry : list) {
        int port = 0;
        const atcmd::Param* param = atcmd::paramById(entry.id, &port);
        if (!param || param->size == 0)
            continue; // port selection, firmware version, charges
        const sim::TaKey* key = taKeyOf(*param);
        const std::string slot = atcmd::keyOnPort(*param, port, false);
        if (!key || sim::storedText(key->kind, atcmd::valueText(profile, entry.id)) != ta.value(slot))
            diffs.push_back(std::to_string(entry.id) + " " + entry.key);
    }
    return diffs;
}

// The TA slots a query list reads whose values differ between two stores.
inline std::vector<std::string> differingSlots(const std::map<std::string, std::string>& a,
                                               const std::map<std::string, std::string>& b,
                                               const std::vector<atcmd::QueryEntry>& list)
{
    std::vector<std::string> diffs;
    for (const auto& entry : list) {
        int port = 0;
        const atcmd::Param* param = atcmd::paramById(entry.id, &port);
        const std::string slot = param ? atcmd::keyOnPort(*param, port, false) : "";
        if (param && param->size != 0 && a.at(slot) != b.at(slot))
            diffs.push_back(slot);
    }
    return diffs;
}

} // namespace ta::testsupport
