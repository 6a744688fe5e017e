#include "LeadingOptions.h"

#include <algorithm>

#include "Suggestion.h"

namespace ta::tactl {
namespace {

const Option* leadingOption(const std::string& name)
{
    const auto& table = optionTable();
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Option& option) { return option.name == name; });
    return found != table.end() && isLeadingOption(*found) ? &*found : nullptr;
}

bool takes(const Command& command, const Option& option)
{
    const auto options = optionsOf(command);
    return std::find(options.begin(), options.end(), &option) != options.end();
}

const std::string kSeeHelp = " (see tactl --help)";

// What may come before the command, for a suggestion.
std::vector<std::string> leadingNames()
{
    std::vector<std::string> names{"--help", "-h", "--version", "-V"};
    for (const Option& option : optionTable())
        if (isLeadingOption(option))
            names.push_back("--" + option.name);
    return names;
}

} // namespace

std::string unknownCommandText(const std::string& name, bool listingThem)
{
    std::vector<std::string> names;
    for (const Command& command : commands())
        names.push_back(command.name);
    std::string text = "unknown command '" + name + "'" + didYouMean(name, names);
    if (!listingThem)
        return text + kSeeHelp;
    text += "; the commands are";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? " " : ", ") + names[i];
    return text;
}

bool isLeadingOption(const Option& option)
{
    return std::find(option.scope.begin(), option.scope.end(), "link") != option.scope.end();
}

Result<Invocation> findInvocation(Args args)
{
    Invocation invocation;
    std::vector<const Option*> leading;
    std::size_t next = 0;
    for (; next < args.size() && args[next].starts_with('-') && args[next] != "-"; ++next) {
        const std::string& arg = args[next];
        if (arg == "--") {
            ++next;
            break;
        }
        const std::string name = arg.substr(0, arg.find('='));
        const Option* option = name.starts_with("--") ? leadingOption(name.substr(2)) : nullptr;
        if (!option)
            return unexpected("unknown option '" + name + "'" + didYouMean(name, leadingNames()) + kSeeHelp);
        leading.push_back(option);
        invocation.args.push_back(arg);
        const bool needsValue = !option->valueName.empty() && arg.find('=') == std::string::npos;
        if (needsValue && ++next == args.size())
            return unexpected("option '" + name + "' needs a value" + kSeeHelp);
        if (needsValue)
            invocation.args.push_back(args[next]);
    }
    if (next == args.size())
        return unexpected("no command given" + kSeeHelp);
    invocation.command = findCommand(args[next]);
    if (!invocation.command)
        return unexpected(unknownCommandText(args[next], false));
    for (const Option* option : leading)
        if (!takes(*invocation.command, *option))
            return unexpected("--" + option->name + " does not apply to " + invocation.command->name + " (see tactl " +
                              invocation.command->name + " --help)");
    invocation.args.insert(invocation.args.end(), args.begin() + std::ptrdiff_t(next) + 1, args.end());
    return invocation;
}

} // namespace ta::tactl
