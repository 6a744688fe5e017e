// tactl completion zsh: a completion function for zsh's completion system
// (compsys), to be put on $fpath as _tactl.
#include "CompletionScripts.h"

namespace ta::tactl {
namespace {

// Text inside '...' of the script.
std::string singleQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// An option's help as _arguments shows it in [...]: a closing bracket and
// a backslash escaped.
std::string described(const std::string& help)
{
    std::string text;
    for (const char c : help)
        text += (c == ']' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return text;
}

// ":FILE:_files", ":1|2|3:(1 2 3)", ":NUMBER: "; nothing for a flag.
std::string valueSpec(const Option& option)
{
    switch (valueKind(option)) {
    case ValueKind::Flag: return "";
    case ValueKind::File: return ":" + option.valueName + ":_files";
    case ValueKind::Choice: return ":" + option.valueName + ":(" + joined(choicesOf(option)) + ")";
    case ValueKind::Other: return ":" + option.valueName + ": ";
    }
    return "";
}

// One _arguments spec per name; the long and the short name of an option
// exclude each other.
std::vector<std::string> optionSpecs(const Option& option)
{
    const std::string longName = "--" + option.name;
    const bool value = valueKind(option) != ValueKind::Flag;
    const std::string help = "[" + described(option.help) + "]" + valueSpec(option);
    if (!option.shortName)
        return {singleQuoted(longName + (value ? "=" : "") + help)};
    const std::string shortName = std::string("-") + option.shortName;
    const std::string exclusion = "(" + shortName + " " + longName + ")";
    return {singleQuoted(exclusion + shortName + (value ? "+" : "") + help),
            singleQuoted(exclusion + longName + (value ? "=" : "") + help)};
}

std::vector<std::string> operandSpecs(const Command& command)
{
    switch (operandKind(command)) {
    case OperandKind::None: return {};
    case OperandKind::Files: return {singleQuoted("*:file:_files")};
    case OperandKind::Commands: return {singleQuoted("1:command:(" + joined(commandNames()) + ")")};
    case OperandKind::Shells: return {singleQuoted("1:shell:(" + joined(completionShells()) + ")")};
    case OperandKind::Fields: return {singleQuoted("1:profile file:_files"), singleQuoted("*:field:_tactl_fields")};
    }
    return {};
}

std::string commandArms()
{
    std::string arms;
    for (const Command& command : commands()) {
        std::vector<std::string> specs;
        for (const Option* option : optionsOf(command))
            for (std::string& spec : optionSpecs(*option))
                specs.push_back(std::move(spec));
        for (std::string& spec : operandSpecs(command))
            specs.push_back(std::move(spec));
        arms += "    (" + command.name + ")\n        _arguments -S \\\n            " +
                joined(specs, " \\\n            ") + " && ret=0 ;;\n";
    }
    return arms;
}

std::string commandDescriptions()
{
    std::vector<std::string> entries;
    for (const Command& command : commands())
        entries.push_back(singleQuoted(command.name + ":" + command.summary));
    return joined(entries, "\n        ");
}

std::string leadingSpecs()
{
    std::vector<std::string> specs;
    for (const bool value : {true, false})
        for (const Option* option : leadingOptions(value))
            for (std::string& spec : optionSpecs(*option))
                specs.push_back(std::move(spec));
    specs.push_back(singleQuoted("(- *)--help[list the commands]"));
    specs.push_back(singleQuoted("(- *)-h[list the commands]"));
    specs.push_back(singleQuoted("(- *)--version[print the version]"));
    specs.push_back(singleQuoted("(- *)-V[print the version]"));
    return joined(specs, " \\\n        ");
}

std::string fieldWords()
{
    std::vector<std::string> quoted;
    for (const std::string& field : fieldNames())
        quoted.push_back(singleQuoted(field));
    return joined(quoted, " ");
}

} // namespace

// A field's name is completed with "=" after it; the value after "=" is
// left to the user.
std::string zshCompletion()
{
    return "#compdef tactl\n"
           "# zsh completion for tactl, made by \"tactl completion zsh\"\n\n"
           "_tactl_fields() {\n"
           "    compset -P '*=' && return 1\n"
           "    local -a fields=(" + fieldWords() + ")\n"
           "    compadd -S '=' -q -- $fields\n"
           "}\n\n"
           "_tactl() {\n"
           "    local curcontext=$curcontext state line ret=1\n"
           "    typeset -A opt_args\n"
           "    _arguments -C -S \\\n        " + leadingSpecs() + " \\\n"
           "        '1:command:->command' \\\n"
           "        '*::argument:->argument' && ret=0\n"
           "    case $state in\n"
           "    (command)\n"
           "        local -a commands=(\n        " + commandDescriptions() + "\n        )\n"
           "        _describe -t commands 'tactl command' commands && ret=0 ;;\n"
           "    (argument)\n"
           "        curcontext=${curcontext%:*:*}:tactl-$words[1]:\n"
           "        case $words[1] in\n" + commandArms() +
           "        esac ;;\n"
           "    esac\n"
           "    return ret\n"
           "}\n\n"
           "_tactl \"$@\"\n";
}

} // namespace ta::tactl
