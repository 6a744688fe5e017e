// tactl completion fish: complete rules for fish, to be put in
// completions/tactl.fish.
#include "CompletionScripts.h"

namespace ta::tactl {
namespace {

// Text inside '...' of the script: fish escapes only \ and ' there.
std::string singleQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += (c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return quoted + "'";
}

// The complete rule of one option under a condition.
std::string optionRule(const Option& option, const std::string& condition)
{
    std::string rule = "complete -c tactl -n " + singleQuoted(condition);
    if (option.shortName)
        rule += " -s " + std::string(1, option.shortName);
    rule += " -l " + option.name;
    switch (valueKind(option)) {
    case ValueKind::Flag: break;
    case ValueKind::File: rule += " -r -F"; break;
    case ValueKind::Choice: rule += " -x -a " + singleQuoted(joined(choicesOf(option))); break;
    case ValueKind::Other: rule += " -x"; break;
    }
    return rule + " -d " + singleQuoted(option.help) + "\n";
}

std::string operandRule(const Command& command, const std::string& condition)
{
    const std::string rule = "complete -c tactl -n " + singleQuoted(condition);
    switch (operandKind(command)) {
    case OperandKind::None: return "";
    case OperandKind::Files: return rule + " -F\n";
    case OperandKind::Commands: return rule + " -x -a " + singleQuoted(joined(commandNames())) + "\n";
    case OperandKind::Shells: return rule + " -x -a " + singleQuoted(joined(completionShells())) + "\n";
    case OperandKind::Fields:
        return "complete -c tactl -n " + singleQuoted("__fish_tactl_using set; and __fish_tactl_after_operand") +
               " -x -a '(__fish_tactl_fields)'\n" + "complete -c tactl -n " +
               singleQuoted("__fish_tactl_using set; and not __fish_tactl_after_operand") + " -F\n";
    }
    return "";
}

std::string commandRules()
{
    std::string rules;
    for (const Command& command : commands()) {
        const std::string condition = "__fish_tactl_using " + command.name;
        rules += "\n# " + command.name + "\n";
        rules += "complete -c tactl -n __fish_tactl_needs_command -a " + command.name + " -d " +
                 singleQuoted(command.summary) + "\n";
        for (const Option* option : optionsOf(command))
            rules += optionRule(*option, condition);
        rules += operandRule(command, condition);
    }
    return rules;
}

std::string leadingRules()
{
    std::string rules;
    for (const bool value : {true, false})
        for (const Option* option : leadingOptions(value))
            rules += optionRule(*option, "__fish_tactl_needs_command");
    return rules + "complete -c tactl -n __fish_tactl_needs_command -s h -l help -d 'list the commands'\n"
                   "complete -c tactl -n __fish_tactl_needs_command -s V -l version -d 'print the version'\n";
}

// Every option that takes a value in the next word, for skipping it.
std::string valueOptionPatterns()
{
    std::vector<std::string> patterns;
    for (const Option& option : optionTable()) {
        if (valueKind(option) == ValueKind::Flag)
            continue;
        patterns.push_back("--" + option.name);
        if (option.shortName)
            patterns.push_back(std::string("-") + option.shortName);
    }
    return joined(patterns);
}

std::string fieldWords()
{
    std::vector<std::string> quoted;
    for (const std::string& field : fieldNames())
        quoted.push_back(singleQuoted(field + "="));
    return joined(quoted, " ");
}

} // namespace

// The words before the cursor tell the command (the first that is neither
// an option nor an option's value) and its operands.
std::string fishCompletion()
{
    return "# fish completion for tactl, made by \"tactl completion fish\"\n\n"
           "# The command, then its operands, one a line.\n"
           "function __fish_tactl_words\n"
           "    set -l words (commandline -opc)\n"
           "    set -e words[1]\n"
           "    set -l skip 0\n"
           "    set -l ended 0\n"
           "    for word in $words\n"
           "        if test $skip = 1\n"
           "            set skip 0\n"
           "        else if test $ended = 0; and test \"$word\" = --\n"
           "            set ended 1\n"
           "        else if test $ended = 0; and contains -- $word " + valueOptionPatterns() + "\n"
           "            set skip 1\n"
           "        else if test $ended = 1; or not string match -q -- '-?*' $word\n"
           "            echo $word\n"
           "        end\n"
           "    end\n"
           "end\n\n"
           "function __fish_tactl_needs_command\n"
           "    set -l words (__fish_tactl_words)\n"
           "    not set -q words[1]\n"
           "end\n\n"
           "function __fish_tactl_using\n"
           "    set -l words (__fish_tactl_words)\n"
           "    test \"$words[1]\" = $argv[1]\n"
           "end\n\n"
           "# An operand stands after the command.\n"
           "function __fish_tactl_after_operand\n"
           "    set -l words (__fish_tactl_words)\n"
           "    set -q words[2]\n"
           "end\n\n"
           "# A name, until its = is typed; the value is the user's.\n"
           "function __fish_tactl_fields\n"
           "    string match -q -- '*=*' (commandline -ct); and return\n"
           "    printf '%s\\n' " + fieldWords() + "\n"
           "end\n\n"
           "complete -c tactl -f\n" + leadingRules() + commandRules();
}

} // namespace ta::tactl
