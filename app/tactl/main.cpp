#include <iostream>
#include <string>
#include <vector>

#include "OptionTable.h"
#include "ta/Version.h"

namespace ta::tactl {
namespace {

void printOverview(std::ostream& out)
{
    out << "Usage: tactl COMMAND [OPTIONS] [OPERANDS]\n"
           "       tactl COMMAND --help | tactl --version\n\nCommands:\n";
    for (const Command& command : commands())
        out << "  " << usageLine(command) << "\n      " << command.summary << '\n';
}

int runHelp(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().empty()) {
        printOverview(out);
        return kExitOk;
    }
    const Command* command = findCommand(line.operands()[0]);
    if (!command || line.operands().size() > 1)
        return usageError(err, line, "help takes the name of one command");
    out << commandHelp(*command);
    return kExitOk;
}

const CommandRegistrar helpCommand{{"help", "[COMMAND]", "list the commands, or the options of one", &runHelp}};

int runCommand(const Command& command, Args args)
{
    const auto line = parseCommandLine(command, args);
    if (!line)
        return usageError(std::cerr, command, line.error());
    if (line->has("help")) {
        std::cout << commandHelp(command);
        return kExitOk;
    }
    return command.run(*line, std::cout, std::cerr);
}

} // namespace
} // namespace ta::tactl

int main(int argc, char** argv)
{
    using namespace ta::tactl;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printOverview(std::cerr);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        printOverview(std::cout);
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "tactl " << ta::kProgramVersion << '\n';
        return kExitOk;
    }
    const Command* command = findCommand(args[0]);
    if (!command)
        return fail(std::cerr, "unknown command '" + args[0] + "' (see tactl --help)", kExitUsage);
    try {
        return runCommand(*command, Args(args).subspan(1));
    } catch (const std::exception& e) {
        return fail(std::cerr, e.what());
    }
}
