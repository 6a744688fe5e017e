// tactl completion bash.
#include "CompletionScripts.h"

namespace ta::tactl {
namespace {

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

std::string optionNames(const Option& option)
{
    std::string names = "--" + option.name;
    return option.shortName ? std::string("-") + option.shortName + "|" + names : names;
}

// The case arms that complete an option's value: files, choices or nothing.
std::string valueArms()
{
    std::vector<std::string> files;
    std::string arms;
    for (const Option& option : optionTable()) {
        const ValueKind kind = valueKind(option);
        if (kind == ValueKind::File)
            files.push_back(optionNames(option));
        else if (kind != ValueKind::Flag)
            arms += "        " + optionNames(option) + ") _tactl_reply -W \"" + joined(choicesOf(option)) +
                    "\"; return ;;\n";
    }
    return "        " + joined(files, "|") + ") _tactl_files; return ;;\n" + arms;
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
        if (operandKind(command) == OperandKind::None)
            names.push_back(command.name);
    return joined(names, "|");
}

std::string leadingWords(bool takingValue, const std::string& separator)
{
    std::vector<std::string> words;
    for (const Option* option : leadingOptions(takingValue))
        words.push_back("--" + option->name);
    return joined(words, separator);
}

} // namespace

// Candidates go into COMPREPLY one a line, never through word splitting and
// file name patterns: "dataPort1.inScreenDn[0]=" must not turn into a file
// of the current folder that it happens to match.
std::string bashCompletion()
{
    return "# bash completion for tactl, made by \"tactl completion bash\"\n"
           "_tactl_reply()\n{\n"
           "    mapfile -t COMPREPLY < <(compgen \"$@\" -- \"$cur\")\n}\n\n"
           "_tactl_files()\n{\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    _tactl_reply -f\n}\n\n"
           "_tactl()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local commands=\"" + joined(commandNames()) + "\"\n"
           "    # The command: the first word that is neither an option before it nor an option's value\n"
           "    local command='' at=1\n"
           "    while ((at < COMP_CWORD)); do\n"
           "        case ${COMP_WORDS[at]} in\n"
           "            " + leadingWords(true, "|") + ")\n"
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
           "            _tactl_reply -W \"" + leadingWords(true, " ") + " " + leadingWords(false, " ") + " "
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
           "        completion) _tactl_reply -W \"" + joined(completionShells()) + "\"; return ;;\n"
           "        " + noOperands() + ") COMPREPLY=(); return ;;\n"
           "        set)\n"
           "            [[ -n $value ]] && return\n"
           "            local i\n"
           "            for ((i = at + 1; i < COMP_CWORD; i++)); do\n"
           "                if [[ ${COMP_WORDS[i]} != -* ]]; then\n"
           "                    compopt -o nospace 2>/dev/null\n"
           "                    _tactl_reply -S = -W \"" + joined(fieldNames()) + "\"\n"
           "                    return\n"
           "                fi\n"
           "            done ;;\n"
           "    esac\n"
           "    _tactl_files\n}\n"
           "complete -F _tactl tactl\n";
}

} // namespace ta::tactl
