// Turns the TA's reply to a query into the field(s) of its parameter id.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "profile/FieldRules.h"
#include "profile/TaProfile.h"

namespace ta::atcmd {

constexpr std::size_t kFirmwareVersionMax = 11;

// Where decoded values go: the profile, and the three values kept outside it.
struct DecodeTargets {
    TaProfile& profile;
    std::string& firmwareVersion; // at most kFirmwareVersionMax characters
    std::string& chargeLast;
    std::string& chargeAcc;
};

// Decodes the reply in replyBuffer (CRs already dropped) for parameter id:
// the echo line, LF, the value line, LF, ... "OK". Values longer than their
// field are cut; a text field always keeps its terminator. Returns false when
// a number conversion failed or the number does not fit its field's width
// (the field keeps its value); unknown ids and the port-selection ids decode
// nothing and return true.
bool decodeReply(int id, std::string_view replyBuffer, DecodeTargets& out);

// The first value of a reply that breaks the rule of the field it is for,
// judged as the decoder would store it but before it is cut to the field: a
// number outside the field's range or codes, a number or sub-address too
// long or with characters no telephone number has, a date or time that
// cannot be. The value is the reply's. Nothing for a reply the decoder
// cannot read at all (no value line, a number that is none), which is
// answered as unanswered, and for ids without a field.
std::optional<RuleBreak> replyRuleBreak(int id, std::string_view replyBuffer);

// The text between the first and the second LF read as a decimal integer
// (optional sign, digits only, 32-bit range); nullopt if it is not one.
std::optional<long> replyNumber(std::string_view replyBuffer);

// The value line: the text between the first and the second LF; nullopt when
// the reply has no second LF.
std::optional<std::string_view> valueLine(std::string_view replyBuffer);

} // namespace ta::atcmd
