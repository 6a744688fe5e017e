// tactl completion SHELL, and what the three scripts take from the tables.
#include "CompletionScripts.h"

#include <algorithm>
#include <ostream>

#include "LeadingOptions.h"
#include "profile/FieldList.h"

namespace ta::tactl {

namespace {

struct ShellScript {
    const char* shell;
    std::string (*script)();
};

constexpr ShellScript kScripts[] = {{"bash", &bashCompletion}, {"zsh", &zshCompletion}, {"fish", &fishCompletion}};

} // namespace

const std::vector<std::string>& completionShells()
{
    static const std::vector<std::string> shells = [] {
        std::vector<std::string> names;
        for (const ShellScript& script : kScripts)
            names.push_back(script.shell);
        return names;
    }();
    return shells;
}

ValueKind valueKind(const Option& option)
{
    if (option.valueName.empty())
        return ValueKind::Flag;
    if (option.valueName.find("FILE") != std::string::npos || option.valueName == "PATH")
        return ValueKind::File;
    return option.valueName.find('|') != std::string::npos ? ValueKind::Choice : ValueKind::Other;
}

std::vector<std::string> choicesOf(const Option& option)
{
    std::vector<std::string> choices;
    std::size_t start = 0;
    while (valueKind(option) == ValueKind::Choice && start <= option.valueName.size()) {
        const std::size_t end = std::min(option.valueName.find('|', start), option.valueName.size());
        choices.push_back(option.valueName.substr(start, end - start));
        start = end + 1;
    }
    return choices;
}

OperandKind operandKind(const Command& command)
{
    if (command.name == "help")
        return OperandKind::Commands;
    if (command.name == "completion")
        return OperandKind::Shells;
    if (command.name == "set")
        return OperandKind::Fields;
    return command.operands.empty() ? OperandKind::None : OperandKind::Files;
}

std::vector<std::string> commandNames()
{
    std::vector<std::string> names;
    for (const Command& command : commands())
        names.push_back(command.name);
    return names;
}

std::vector<std::string> fieldNames()
{
    std::vector<std::string> names;
    for (const FieldInfo& field : profileFields())
        names.push_back(field.name);
    return names;
}

std::vector<const Option*> leadingOptions(bool takingValue)
{
    std::vector<const Option*> options;
    for (const Option& option : optionTable())
        if (isLeadingOption(option) && option.valueName.empty() != takingValue)
            options.push_back(&option);
    return options;
}

std::string joined(const std::vector<std::string>& words, const std::string& separator)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

namespace {

int runCompletion(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    const std::string shell = line.operands().size() == 1 ? line.operands()[0] : "";
    const auto* found = std::find_if(std::begin(kScripts), std::end(kScripts),
                                     [&](const ShellScript& script) { return shell == script.shell; });
    if (found == std::end(kScripts))
        return usageError(err, line, "completion takes one shell: " + joined(completionShells(), ", "));
    out << found->script();
    return kExitOk;
}

const CommandRegistrar reg{
    {"completion", "bash|zsh|fish", "print the completion script of tactl for that shell", &runCompletion}};

} // namespace
} // namespace ta::tactl
