#include <iostream>
#include <string>
#include <vector>

#include "CommandTable.h"

namespace ta::tactl {
namespace {

int printHelp(Args, std::ostream& out, std::ostream&)
{
    out << "Usage: tactl COMMAND [ARGS]\n\nCommands:\n";
    for (const Command& command : commands())
        out << "  " << command.usage << "\n      " << command.summary << '\n';
    return kExitOk;
}

const CommandRegistrar helpCommand{{"help", "help", "list the commands", &printHelp}};

bool isHelpFlag(const std::string& arg) { return arg == "--help" || arg == "-h"; }

} // namespace
} // namespace ta::tactl

int main(int argc, char** argv)
{
    using namespace ta::tactl;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printHelp({}, std::cerr, std::cerr);
        return kExitUsage;
    }
    if (isHelpFlag(args[0]))
        return printHelp({}, std::cout, std::cerr);
    const Command* command = findCommand(args[0]);
    if (!command)
        return fail(std::cerr, "unknown command '" + args[0] + "' (see tactl --help)", kExitUsage);
    try {
        return command->run(Args(args).subspan(1), std::cout, std::cerr);
    } catch (const std::exception& e) {
        return fail(std::cerr, e.what());
    }
}
