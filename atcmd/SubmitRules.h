// What a submit would send, against the field rules (profile/FieldRules.h):
// a profile that breaks one is refused before anything goes to the TA, and
// a dry run fails where the real run would.
#pragma once

#include <vector>

#include "atcmd/Options.h"
#include "profile/FieldRules.h"

namespace ta::atcmd {

// Every rule the batch for this profile and these options breaks: each field
// it assigns (a port with Fixed MP on with the values it sends in place of
// its own) and each rule between two fields it assigns both of; a field the
// batch leaves out does not count. In record order; empty when the batch
// may go to the TA.
std::vector<RuleBreak> submitRuleBreaks(const TaProfile& profile, const Options& options);

// The same before the TA has said what it is -- which data ports it has,
// which key form it takes, whether it keeps a clock and X.25: the breaks
// of every batch the options may turn into, whatever the TA turns out to be.
std::vector<RuleBreak> ruleBreaksForAnyTa(const TaProfile& profile, const Options& options);

} // namespace ta::atcmd
