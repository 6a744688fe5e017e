// The commands that edit and compare profile files as text: set, diff and
// import. They name fields as show prints them.
#include <ostream>

#include "CliOptions.h"
#include "ProfileText.h"
#include "profile/FieldValue.h"

namespace ta::tactl {
namespace {

constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

// A number, or for a coded field also its label ("countryCode=UK").
std::string setNumber(TaProfile& profile, const FieldInfo& field, const std::string& text)
{
    auto value = parseDecimal(text);
    if (!value)
        value = codeOfLabel(field, text);
    if (!value)
        return field.codes.empty() ? "takes a number" : "takes a code or the label of one";
    const std::string problem = checkEditedNumber(field, *value);
    return problem.empty() ? storeNumber(profile, field, *value) : problem;
}

std::string assign(TaProfile& profile, const std::string& assignment)
{
    const auto equals = assignment.find('=');
    if (equals == std::string::npos)
        return "'" + assignment + "' is not name=value";
    const std::string name = assignment.substr(0, equals), value = assignment.substr(equals + 1);
    const FieldInfo* field = findField(name);
    if (!field)
        return "no such field: '" + name + "' (tactl show lists them)";
    std::string problem;
    if (field->kind == FieldKind::Text) {
        problem = checkEditedText(*field, value);
        if (problem.empty())
            problem = storeText(profile, *field, value);
    } else {
        problem = setNumber(profile, *field, value);
    }
    return problem.empty() ? "" : name + " " + problem + ", not '" + value + "'";
}

// Every assignment is checked before the file is touched: one refusal
// leaves it as it was.
int runSet(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const auto& operands = line.operands();
    if (operands.size() < 2)
        return usageError(err, line, "set needs a profile file and at least one name=value");
    if (isStdio(operands[0]))
        return usageError(err, line, "set edits a file in place; '-' is none");
    std::string error;
    auto profile = loadProfileOrError(operands[0], error);
    if (!profile)
        return fail(err, error);
    for (std::size_t i = 1; i < operands.size(); ++i)
        if (const std::string problem = assign(*profile, operands[i]); !problem.empty())
            return fail(err, problem, kExitUsage);
    error = writeProfile(operands[0], *profile, out);
    return error.empty() ? kExitOk : fail(err, error);
}

int runDiff(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const auto& operands = line.operands();
    if (operands.size() != 2)
        return fail(err, "diff needs two profile files (see tactl diff --help)", kDiffTrouble);
    if (isStdio(operands[0]) && isStdio(operands[1]))
        return fail(err, "only one of the two files can be standard input", kDiffTrouble);
    std::string error;
    const auto a = loadProfileOrError(operands[0], error);
    const auto b = a ? loadProfileOrError(operands[1], error) : std::nullopt;
    if (!a || !b)
        return fail(err, error, kDiffTrouble);
    int exitCode = kExitOk;
    for (const FieldInfo& field : profileFields()) {
        const std::string before = shownValue(*a, field), after = shownValue(*b, field);
        if (before != after) {
            out << field.name << ": " << before << " -> " << after << '\n';
            exitCode = kDiffDifferent;
        }
    }
    return exitCode;
}

int runImport(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const auto& operands = line.operands();
    if (operands.size() != 1 || line.value("output").empty())
        return usageError(err, line, "import needs one text file and -o FILE.CFG");
    if (isStdio(operands[0]) && isStdio(line.value("base")))
        return usageError(err, line, "the text and --base cannot both be standard input");
    std::string error;
    std::optional<TaProfile> profile = TaProfile{};
    if (line.has("base"))
        profile = loadProfileOrError(line.value("base"), error);
    const auto text = profile ? readTextOrError(operands[0], error) : std::nullopt;
    if (!text)
        return fail(err, error);
    const int fields = readProfileText(*text, *profile, error);
    if (fields < 0)
        return fail(err, operands[0] + ": " + error);
    if (fields == 0)
        return fail(err, operands[0] + ": no fields to import");
    error = writeProfile(line.value("output"), *profile, out);
    return error.empty() ? kExitOk : fail(err, error);
}

const CommandRegistrar setReg{{"set", "FILE.CFG NAME=VALUE...",
                               "change fields of a profile file in place; each value is checked against its field",
                               &runSet}};
const CommandRegistrar diffReg{{"diff", "A.CFG B.CFG",
                                "print the fields that differ as 'name: a -> b'; exit 0 equal, 1 different, 2 trouble",
                                &runDiff}};
const CommandRegistrar importReg{{"import", "-o FILE.CFG TEXT",
                                  "make a profile file from the text of show or show --json ('-': standard input)",
                                  &runImport}};

} // namespace
} // namespace ta::tactl
