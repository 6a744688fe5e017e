#include "LeadingOptions.h"

#include <algorithm>

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

} // namespace

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
            return unexpected("unknown option '" + name + "'" + kSeeHelp);
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
        return unexpected("unknown command '" + args[next] + "'" + kSeeHelp);
    for (const Option* option : leading)
        if (!takes(*invocation.command, *option))
            return unexpected("--" + option->name + " does not apply to " + invocation.command->name + " (see tactl " +
                              invocation.command->name + " --help)");
    invocation.args.insert(invocation.args.end(), args.begin() + std::ptrdiff_t(next) + 1, args.end());
    return invocation;
}

} // namespace ta::tactl
