#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "CheckedOutput.h"
#include "HelpText.h"
#include "LeadingOptions.h"
#include "OptionTable.h"
#include "TlsCliOptions.h"
#include "ta/Version.h"

namespace ta::tactl {
namespace {

int runHelp(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().empty()) {
        out << overview(helpWidth());
        return kExitOk;
    }
    if (line.operands().size() > 1)
        return usageError(err, line, "help takes the name of one command");
    const Command* command = findCommand(line.operands()[0]);
    if (!command)
        return fail(err, unknownCommandText(line.operands()[0], true), kExitUsage);
    out << commandHelp(*command, helpWidth());
    return kExitOk;
}

const CommandRegistrar helpCommand{{"help", "[COMMAND]", "list the commands, or the options of one", &runHelp}};

int runCommand(const Invocation& invocation, std::ostream& out)
{
    const Command& command = *invocation.command;
    const auto line = parseCommandLine(command, invocation.args);
    if (!line)
        return usageError(std::cerr, command, line.error());
    if (line->has("help")) {
        out << commandHelp(command, helpWidth());
        return kExitOk;
    }
    if (const auto failed = checkTlsOptions(*line, std::cerr))
        return *failed;
    return command.run(*line, out, std::cerr);
}

int run(const std::vector<std::string>& args, std::ostream& out)
{
    if (args.empty()) {
        std::cerr << overview(kHelpWidthOffTerminal);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        out << overview(helpWidth());
        return kExitOk;
    }
    if (args[0] == "--version" || args[0] == "-V") {
        out << "tactl " << ta::kProgramVersion << '\n';
        return kExitOk;
    }
    const auto invocation = findInvocation(args);
    if (!invocation)
        return fail(std::cerr, invocation.error(), kExitUsage);
    try {
        return runCommand(*invocation, out);
    } catch (const std::exception& e) {
        return fail(std::cerr, e.what());
    }
}

} // namespace
} // namespace ta::tactl

// Every command writes through one checked standard output: a write that
// failed turns the run into a failure whatever the command made of it.
int main(int argc, char** argv)
{
    using namespace ta::tactl;
    CheckedOutput stdoutBuffer(STDOUT_FILENO);
    std::ostream out(&stdoutBuffer);
    // What goes to standard error follows what went to standard output before it.
    std::cerr.tie(&out);
    const int exitCode = run(std::vector<std::string>(argv + 1, argv + argc), out);
    std::cerr.tie(nullptr);
    if (const int error = stdoutBuffer.finish(); error != 0) {
        fail(std::cerr, std::string("write error: ") + std::strerror(error));
        // A run ended by a signal keeps telling so.
        return exitCode > 128 ? exitCode : kExitWrite;
    }
    return exitCode;
}
