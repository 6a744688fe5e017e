// The commands that edit and compare profile files as text: set, diff and
// import. They name fields as show prints them.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "LinkCommands.h"
#include "ProfileText.h"
#include "Suggestion.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldRules.h"
#include "profile/FieldValue.h"

namespace ta::tactl {
namespace {

// A number, or for a coded field also its label ("countryCode=UK").
Result<> setNumber(TaProfile& profile, const FieldInfo& field, const std::string& text)
{
    auto value = parseDecimal(text);
    if (!value)
        value = codeOfLabel(field, text);
    if (!value)
        return unexpected(field.codes.empty() ? "takes a number" : "takes a code or the label of one");
    if (auto edit = checkNumber(field, *value); !edit)
        return edit;
    return storeNumber(profile, field, *value);
}

Result<> setText(TaProfile& profile, const FieldInfo& field, const std::string& text)
{
    if (field.form == TextForm::Fixed)
        return unexpected("is fixed: every save writes it");
    if (auto edit = checkText(field, text); !edit)
        return edit;
    return storeText(profile, field, text);
}

} // namespace

Result<> assign(TaProfile& profile, const std::string& assignment)
{
    const auto equals = assignment.find('=');
    if (equals == std::string::npos)
        return unexpected("'" + assignment + "' is not name=value");
    const std::string name = assignment.substr(0, equals), value = assignment.substr(equals + 1);
    const FieldInfo* field = findField(name);
    if (!field)
        return unexpected("no such field: '" + name + "'" + didYouMeanField(name) + " (tactl show lists them)");
    const auto set = field->kind == FieldKind::Text ? setText(profile, *field, value) : setNumber(profile, *field, value);
    if (!set)
        return unexpected(name + " " + set.error() + ", not '" + value + "'");
    return {};
}

namespace {

// Every assignment is checked before the file is touched: one refusal
// leaves it as it was.
int runSet(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const auto& operands = line.operands();
    if (operands.size() < 2)
        return usageError(err, line, "set needs a profile file and at least one name=value");
    if (isStdio(operands[0]))
        return usageError(err, line, "set edits a file in place; '-' is none");
    auto profile = readProfile(operands[0]);
    if (!profile)
        return fail(err, profile.error());
    std::vector<std::string> names;
    for (std::size_t i = 1; i < operands.size(); ++i) {
        if (const auto assigned = assign(*profile, operands[i]); !assigned)
            return fail(err, assigned.error(), kExitUsage);
        names.push_back(operands[i].substr(0, operands[i].find('=')));
    }
    // Checked once every assignment is in: ADD and DROP may change together.
    if (const auto broken = pairBreakInvolving(*profile, names))
        return fail(err, broken->field->name + " " + broken->rule + ", not '" + broken->value + "'", kExitUsage);
    return exitCode(writeProfile(operands[0], *profile, out, OtherTargets::Refuse), err);
}

// The options that only a comparison with the TA takes.
std::string optionNeedingTa(const CommandLine& line)
{
    if (line.has("all"))
        return "all";
    for (const Option* option : optionsOf(line.command())) {
        const bool linkOption = std::find(option->scope.begin(), option->scope.end(), "link") != option->scope.end();
        if (linkOption && line.has(option->name))
            return option->name;
    }
    return {};
}

int runDiff(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.has("ta"))
        return runDiffWithTa(line, out, err);
    if (const std::string option = optionNeedingTa(line); !option.empty())
        return fail(err, "--" + option + " needs --ta (see tactl diff --help)", kDiffTrouble);
    const auto& operands = line.operands();
    if (operands.size() != 2)
        return fail(err, "diff needs two profile files (see tactl diff --help)", kDiffTrouble);
    if (isStdio(operands[0]) && isStdio(operands[1]))
        return fail(err, "only one of the two files can be standard input", kDiffTrouble);
    std::ostream* json = jsonTarget(line, out);
    const auto a = readProfile(operands[0]);
    if (!a)
        return localFailure(a.error(), json, err, kDiffTrouble);
    const auto b = readProfile(operands[1]);
    if (!b)
        return localFailure(b.error(), json, err, kDiffTrouble);
    std::vector<ChangedField> changes;
    for (const FieldInfo& field : profileFields())
        if (std::string before = shownValue(*a, field), after = shownValue(*b, field); before != after)
            changes.push_back({field.name, std::move(before), std::move(after)});
    if (json)
        printJson(withOutcome(QJsonObject{{"differences", changesJson(changes)}}), out);
    else
        printChanges(changes, out);
    return changes.empty() ? kExitOk : kDiffDifferent;
}

// What the text leaves out (a stable text: the TA's date and time) comes
// from --base, or from the factory settings as tactl defaults writes them.
Result<TaProfile> importBase(const CommandLine& line)
{
    if (line.has("base"))
        return readProfile(line.value("base"));
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    return profile;
}

int runImport(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const auto& operands = line.operands();
    if (operands.size() != 1 || line.value("output").empty())
        return usageError(err, line, "import needs one text file and -o FILE.CFG");
    if (isStdio(operands[0]) && isStdio(line.value("base")))
        return usageError(err, line, "the text and --base cannot both be standard input");
    auto profile = importBase(line);
    if (!profile)
        return fail(err, profile.error());
    const auto text = readText(operands[0]);
    if (!text)
        return fail(err, text.error());
    const auto fields = readProfileText(*text, *profile);
    if (!fields)
        return fail(err, operands[0] + ": " + fields.error());
    if (*fields == 0)
        return fail(err, operands[0] + ": no fields to import");
    return exitCode(writeProfile(line.value("output"), *profile, out), err);
}

const CommandRegistrar setReg{{"set", "FILE.CFG NAME=VALUE...",
                               "change fields of a profile file in place; each value is checked against its field",
                               &runSet}};
const CommandRegistrar diffReg{{"diff", "A.CFG B.CFG | --ta FILE.CFG",
                                "print the fields that differ as 'name: a -> b', with --ta 'name: TA -> file'; exit 0 "
                                "equal, 1 different, 2 trouble",
                                &runDiff, {"link"}}};
const CommandRegistrar importReg{{"import", "-o FILE.CFG TEXT",
                                  "make a profile file from the text of show or show --json ('-': standard input)",
                                  &runImport}};

} // namespace
} // namespace ta::tactl
