#include "LocalInputs.h"

#include "CliOptions.h"
#include "atcmd/SubmitRules.h"
#include "link/Failures.h"
#include "link/LocalChecks.h"
#include "profile/Printable.h"

#include <algorithm>
#include <ostream>

namespace ta::tactl {
namespace {

// The firmware's reason goes beside the program's own message, as the
// windows show it.
bool firmwareReadable(const std::string& path, std::ostream& err)
{
    const auto image = link::readFirmwareFile(path);
    if (!image)
        err << "tactl: " << link::kCannotOpenFileText << "\n  " << printable(image.error()) << '\n';
    return bool(image);
}

// The settings every TA is sent keep the rules, or the write is refused
// before a port is opened, each setting named as the editor shows it.
bool keepsTheRules(const TaProfile& profile, const atcmd::Options& batch, std::ostream& err)
{
    const std::vector<RuleBreak> breaks = atcmd::ruleBreaksForAnyTa(profile, batch);
    if (breaks.empty())
        return true;
    const bool thresholdsOnly =
        std::all_of(breaks.begin(), breaks.end(), [](const RuleBreak& broken) { return broken.pair != nullptr; });
    err << "tactl: " << (thresholdsOnly ? link::kThresholdsText : link::kFieldRulesText) << '\n';
    for (const RuleBreak& broken : breaks)
        err << "  " << printable(ruleBreakLine(broken)) << '\n';
    return false;
}

} // namespace

Result<> checkOutputTarget(const OutputTarget& target)
{
    if (const std::string problem = outputProblem(target.path, target.others); !problem.empty())
        return unexpected("Cannot save profile file " + printable(target.path) + ": " + problem);
    return {};
}

std::optional<CheckedInputs> checkLocalInputs(const LocalInputs& inputs, std::ostream& err)
{
    CheckedInputs checked;
    if (inputs.profile) {
        auto profile = readProfile(*inputs.profile, &err, false);
        if (!profile) {
            fail(err, profile.error());
            return std::nullopt;
        }
        checked.profile = *profile;
        if (!keepsTheRules(*profile, inputs.batch, err))
            return std::nullopt;
        warnOfRuleBreaks(*inputs.profile, *profile, err); // those a TA may not be sent
    }
    if (inputs.firmware && !firmwareReadable(*inputs.firmware, err))
        return std::nullopt;
    for (const OutputTarget& output : inputs.outputs) {
        if (output.path.empty() || isStdio(output.path))
            continue;
        if (const auto writable = checkOutputTarget(output); !writable) {
            fail(err, writable.error());
            return std::nullopt;
        }
    }
    return checked;
}

} // namespace ta::tactl
