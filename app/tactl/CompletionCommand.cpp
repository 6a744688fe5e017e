// tactl completion bash: a bash completion script made from the command and
// option tables and the field list, so it always knows what this tactl does.
#include <ostream>

#include "LeadingOptions.h"
#include "OptionTable.h"
#include "profile/FieldList.h"

namespace ta::tactl {
namespace {

std::string joined(const std::vector<std::string>& words, const std::string& separator = " ")
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

std::string optionWords(const Command& command)
{
    std::vector<std::string> words;
    for (const Option* option : optionsOf(command)) {
        if (option->shortName)
            words.push_back(std::string("-") + option->shortName);
        words.push_back("--" + option->name);
    }
    return joined(words);
}

// The case arms that complete an option's value: files, choices or nothing.
std::string valueArms()
{
    std::string files, arms;
    for (const Option& option : optionTable()) {
        if (option.valueName.empty())
            continue;
        std::string names = "--" + option.name;
        if (option.shortName)
            names = std::string("-") + option.shortName + "|" + names;
        if (option.valueName.find("FILE") != std::string::npos || option.valueName == "PATH") {
            files += (files.empty() ? "" : "|") + names;
            continue;
        }
        std::string choices = option.valueName.find('|') == std::string::npos ? "" : option.valueName;
        for (char& c : choices)
            c = c == '|' ? ' ' : c;
        arms += "        " + names + ") _tactl_reply -W \"" + choices + "\"; return ;;\n";
    }
    return "        " + files + ") _tactl_files; return ;;\n" + arms;
}

std::string commandArms()
{
    std::string arms;
    for (const Command& command : commands())
        arms += "        " + command.name + ") options=\"" + optionWords(command) + "\" ;;\n";
    return arms;
}

// The commands that take no operands complete nothing but options.
std::string noOperands()
{
    std::vector<std::string> names;
    for (const Command& command : commands())
        if (command.operands.empty())
            names.push_back(command.name);
    std::string arm;
    for (const std::string& name : names)
        arm += (arm.empty() ? "" : "|") + name;
    return arm;
}

// The options that may come before the command, those that take a value or
// the flags.
std::vector<std::string> leadingOptions(bool takingValue)
{
    std::vector<std::string> words;
    for (const Option& option : optionTable())
        if (isLeadingOption(option) && option.valueName.empty() != takingValue)
            words.push_back("--" + option.name);
    return words;
}

// Candidates go into COMPREPLY one a line, never through word splitting and
// file name patterns: "dataPort1.inScreenDn[0]=" must not turn into a file
// of the current folder that it happens to match.
std::string script()
{
    std::vector<std::string> names, fields;
    for (const Command& command : commands())
        names.push_back(command.name);
    for (const FieldInfo& field : profileFields())
        fields.push_back(field.name);
    return "# bash completion for tactl, made by \"tactl completion bash\"\n"
           "_tactl_reply()\n{\n"
           "    mapfile -t COMPREPLY < <(compgen \"$@\" -- \"$cur\")\n}\n\n"
           "_tactl_files()\n{\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    _tactl_reply -f\n}\n\n"
           "_tactl()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local commands=\"" + joined(names) + "\"\n"
           "    # The command: the first word that is neither an option before it nor an option's value\n"
           "    local command='' at=1\n"
           "    while ((at < COMP_CWORD)); do\n"
           "        case ${COMP_WORDS[at]} in\n"
           "            " + joined(leadingOptions(true), "|") + ")\n"
           "                ((at++))\n"
           "                [[ ${COMP_WORDS[at]} == = ]] && ((at++)) ;;\n"
           "            -*) ;;\n"
           "            *) command=${COMP_WORDS[at]}; break ;;\n"
           "        esac\n"
           "        ((at++))\n"
           "    done\n"
           "    # name=value arrives as three words: the name, = and the value\n"
           "    local value=''\n"
           "    if [[ $prev == = && $COMP_CWORD -gt 2 ]]; then\n"
           "        prev=${COMP_WORDS[COMP_CWORD-2]} value=1\n"
           "    elif [[ $cur == = ]]; then\n"
           "        cur='' value=1\n"
           "    fi\n"
           "    case $prev in\n" + valueArms() +
           "    esac\n"
           "    if [[ -z $command ]]; then\n"
           "        if [[ $cur == -* ]]; then\n"
           "            _tactl_reply -W \"" + joined(leadingOptions(true)) + " " + joined(leadingOptions(false)) + " "
           "--help --version\"\n"
           "        else\n"
           "            _tactl_reply -W \"$commands\"\n"
           "        fi\n"
           "        return\n"
           "    fi\n"
           "    local options=''\n"
           "    case $command in\n" + commandArms() +
           "    esac\n"
           "    if [[ $cur == -?* ]]; then\n"
           "        _tactl_reply -W \"$options\"\n"
           "        return\n    fi\n"
           "    case $command in\n"
           "        help) _tactl_reply -W \"$commands\"; return ;;\n"
           "        completion) _tactl_reply -W \"bash\"; return ;;\n"
           "        " + noOperands() + ") COMPREPLY=(); return ;;\n"
           "        set)\n"
           "            [[ -n $value ]] && return\n"
           "            local i\n"
           "            for ((i = at + 1; i < COMP_CWORD; i++)); do\n"
           "                if [[ ${COMP_WORDS[i]} != -* ]]; then\n"
           "                    compopt -o nospace 2>/dev/null\n"
           "                    _tactl_reply -S = -W \"" + joined(fields) + "\"\n"
           "                    return\n"
           "                fi\n"
           "            done ;;\n"
           "    esac\n"
           "    _tactl_files\n}\n"
           "complete -F _tactl tactl\n";
}

int runCompletion(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1 || line.operands()[0] != "bash")
        return usageError(err, line, "completion knows one shell: bash");
    out << script();
    return kExitOk;
}

const CommandRegistrar reg{{"completion", "bash", "print the bash completion script of tactl", &runCompletion}};

} // namespace
} // namespace ta::tactl
