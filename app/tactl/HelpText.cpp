#include "HelpText.h"

#include "LeadingOptions.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ta::tactl {
namespace {

// Where an option's help begins, and the least room it is given there
// before it moves to lines of its own.
constexpr std::size_t kOptionHelpColumn = 30;
constexpr std::size_t kLeastHelpColumns = 30;
constexpr std::size_t kOwnLineIndent = 8;
constexpr std::size_t kSummaryIndent = 6;
constexpr std::size_t kUsageIndent = 7; // below the text after "Usage: "

std::string optionNames(const Option& option)
{
    std::string names = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
    return names + "--" + option.name + (option.valueName.empty() ? "" : " " + option.valueName);
}

std::string optionLines(const Option& option, std::size_t width)
{
    const std::string names = "  " + optionNames(option);
    if (width < kOptionHelpColumn + kLeastHelpColumns || names.size() + 2 > kOptionHelpColumn)
        return names + "\n" + wrapped(option.help, width, std::string(kOwnLineIndent, ' '), kOwnLineIndent);
    std::string prefix = names;
    prefix.resize(kOptionHelpColumn, ' ');
    return wrapped(option.help, width, prefix, kOptionHelpColumn);
}

} // namespace

std::size_t helpWidth()
{
    winsize size{};
    if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kHelpWidthOffTerminal;
}

std::string wrapped(std::string_view text, std::size_t width, const std::string& firstPrefix, std::size_t indent)
{
    std::string result, line = firstPrefix;
    bool lineHasWord = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string_view word = text.substr(start, end - start);
        if (lineHasWord && line.size() + 1 + word.size() > width) {
            result += line + "\n";
            line.assign(indent, ' ');
            lineHasWord = false;
        }
        line += (lineHasWord ? " " : "") + std::string(word);
        lineHasWord = true;
        at = end;
    }
    return result + line + "\n";
}

std::string usageLine(const Command& command)
{
    std::string line = "tactl " + command.name;
    if (optionsOf(command).size() > 1)
        line += " [OPTIONS]";
    if (!command.operands.empty())
        line += " " + command.operands;
    return line;
}

std::string commandHelp(const Command& command, std::size_t width)
{
    std::string text = wrapped(usageLine(command), width, "Usage: ", kUsageIndent) + wrapped(command.summary, width, "", 0) +
                       "\nOptions:\n";
    for (const Option* option : optionsOf(command))
        text += optionLines(*option, width);
    return text;
}

std::string overview(std::size_t width)
{
    std::string text = wrapped("tactl [OPTIONS] COMMAND [OPTIONS] [OPERANDS]", width, "Usage: ", kUsageIndent) +
                       wrapped("tactl COMMAND --help | tactl --version | tactl -V", width,
                               std::string(kUsageIndent, ' '), kUsageIndent) +
                       "\nCommands:\n";
    const std::string summaryIndent(kSummaryIndent, ' ');
    for (const Command& command : commands())
        text += wrapped(usageLine(command), width, "  ", kSummaryIndent + 2) +
                wrapped(command.summary, width, summaryIndent, kSummaryIndent);
    std::string leading;
    for (const Option& option : optionTable())
        if (isLeadingOption(option))
            leading += (leading.empty() ? "--" : " --") + option.name;
    return text + "\n" + wrapped("The options of the commands that talk to a TA may also come before the command:",
                                 width, "", 0) +
           wrapped(leading, width, "  ", 2);
}

} // namespace ta::tactl
