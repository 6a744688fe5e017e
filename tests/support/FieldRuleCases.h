// Values fed in through every door -- the editor, tactl set, import as text
// and as JSON, a query's reply and a submit -- and whether the field rules
// take them. Each door's test runs this one table, so that no door lets
// through what another refuses.
#pragma once

#include "atcmd/ParamTable.h"
#include "profile/FieldList.h"
#include "profile/FieldValue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace ta::testsupport {

struct FieldRuleCase {
    const char* name;
    const char* field; // as tactl names it
    std::string value; // as tactl set takes it
    bool taken;
    // The rule it breaks is one between two fields (DROP below ADD): a query
    // reads such values as the TA holds them, one reply at a time.
    bool betweenFields = false;
    // Every TA is sent the field, whatever it turns out to be: a submit
    // refuses it before the port is opened.
    bool everyTa = false;

    friend void PrintTo(const FieldRuleCase& c, std::ostream* os) { *os << c.name; }
};

// The default profile (35/25 thresholds) is the record every door starts from.
inline const FieldRuleCase kFieldRuleCases[] = {
    {"CountryCodeNoItemHas", "countryCode", "60", false},
    {"ClipClirTwo", "dataPort1.clipClir", "2", false},
    {"DnWithLetters", "dataPort1.dn", "q41777", false},
    {"DnWithAControlByte", "dataPort2.dn", std::string("12\x01") + "34", false},
    {"DnOfThirtyThreeDigits", "dataPort1.preStoredDn[2]", std::string(33, '7'), false},
    {"RedialCountAboveTen", "redialCount", "200", false},
    {"DateThatIsNone", "sysDate", "99-99-9999", false},
    {"DateOfFebruary31", "sysDate", "31-02-2021", false},
    {"NoLeapDayIn1900", "sysDate", "29-02-1900", false},
    {"TimePastMidnight", "sysTime", "25:61:61", false},
    {"AnalogDnWithLetters", "vp1Dn", "0301A", false, false, true},
    {"AnalogModeBeyondItsList", "vp2InScreenMode", "4", false, false, true},
    {"DropAboveAdd", "dataPort1.mpDropThreshold", "40", false, true},
    {"UsbDropEqualToAdd", "dataPort2.mpDropThreshold", "35", false, true},
    {"UsbRingResultCodeFour", "dataPort2.extResultCode", "4", true},
    {"UsbBaudRateBelow9600", "dataPort2.portBaudRate", "5", true},
    {"LeapDay", "sysDate", "29-02-2024", true},
    {"LastSecondOfTheDay", "sysTime", "23:59:59", true},
    {"AnalogDnOfThirtyTwoDigits", "vp2Dn", std::string(32, '9'), true},
};

// The cases a reply can carry: a query reads the fields one reply at a time.
inline std::vector<FieldRuleCase> casesOfOneField()
{
    std::vector<FieldRuleCase> cases;
    for (const FieldRuleCase& c : kFieldRuleCases)
        if (!c.betweenFields)
            cases.push_back(c);
    return cases;
}

// The field's value as the record holds it: a number's decimal, a text.
inline std::string valueIn(const TaProfile& profile, const FieldInfo& field)
{
    return field.kind == FieldKind::Text ? textIn(profile, field) : std::to_string(numberIn(profile, field));
}

inline const FieldInfo& fieldOfCase(const FieldRuleCase& c)
{
    const FieldInfo* field = findField(c.field);
    if (!field)
        ADD_FAILURE() << "no field " << c.field;
    return field ? *field : profileFields().front();
}

// Stores the case's value as it is, past every rule: a number as its
// decimal, a text byte for byte (all of a full array without terminator).
inline void putCase(TaProfile& profile, const FieldRuleCase& c)
{
    const FieldInfo& field = fieldOfCase(c);
    const bool stored = field.kind == FieldKind::Text
                            ? bool(storeText(profile, field, c.value))
                            : bool(storeNumber(profile, field, unsigned(std::stoul(c.value))));
    EXPECT_TRUE(stored) << c.name;
}

// Where the TA keeps the field: its key on the port ("1%S", "$T0") and
// whether the field is the sub-address of a pair.
struct TaSlot {
    std::string key;
    bool subAddress = false;
};

inline TaSlot taSlotOf(const FieldInfo& field)
{
    static const TaProfile record{};
    const auto* base = reinterpret_cast<const char*>(&record);
    for (const atcmd::Param& param : atcmd::paramTable())
        for (int port : {1, 2}) {
            if (param.scope != atcmd::Scope::DataPort && port == 2)
                continue;
            const int on = param.scope == atcmd::Scope::DataPort ? port : 0;
            const auto main = atcmd::fieldOf(record, param, on), sub = atcmd::subFieldOf(record, param, on);
            if (!main.empty() && std::size_t(main.data() - base) == field.offset)
                return {atcmd::keyOnPort(param, on, false), false};
            if (!sub.empty() && std::size_t(sub.data() - base) == field.offset)
                return {atcmd::keyOnPort(param, on, false), true};
        }
    ADD_FAILURE() << field.name << " is kept under no key";
    return {};
}

} // namespace ta::testsupport
