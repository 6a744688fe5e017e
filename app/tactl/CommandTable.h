// The subcommands of tactl. A command registers itself from its own .cpp
// file with a static CommandRegistrar, so adding one needs no edit elsewhere:
//
//   static const ta::tactl::CommandRegistrar reg{{"name", "OPERANDS", "what it does", &run, {"link"}}};
//
// Its options come from the one option table (OptionTable.h): every option
// that names the command, or one of the option sets the command lists.
#pragma once

#include "link/FailureClass.h"

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace ta::tactl {

// Exit codes of every command; tactl(1) lists them.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;     // the command could not do its work
constexpr int kExitUsage = 2;       // bad arguments
constexpr int kExitWrite = 2;       // standard output could not be written, as with git and ls
constexpr int kExitDiffers = 3;     // --verify: the TA holds other values than were written
constexpr int kExitBusy = 4;        // the port is in use (here or at the console server): worth a retry
constexpr int kExitUnreachable = 5; // the network port cannot be reached: worth a retry
constexpr int kExitTimeout = 6;     // --timeout ran out and the exchange was stopped
constexpr int kExitSignalBase = 128; // + the signal that ended the exchange

// The exit code of a command that failed for this reason; the classes a
// script has no code of its own for exit 1 and say their class in --json.
int exitCodeFor(link::FailureClass failureClass, int signal = 0);

using Args = std::span<const std::string>;

class CommandLine;

struct Command {
    std::string name;
    std::string operands; // what follows the options in the usage line: "FILE.CFG"
    std::string summary;  // one line
    int (*run)(const CommandLine& line, std::ostream& out, std::ostream& err);
    std::vector<std::string> optionSets = {}; // "link": the options of every command that talks to a TA
};

// Every registered command, sorted by name.
std::vector<Command> commands();
const Command* findCommand(const std::string& name);

struct CommandRegistrar {
    explicit CommandRegistrar(Command command);
};

// Writes "tactl: " + message as one line and returns the exit code.
int fail(std::ostream& err, const std::string& message, int exitCode = kExitFailure);

// A usage error of a command: the message and where to read more, one line.
int usageError(std::ostream& err, const Command& command, const std::string& message);

} // namespace ta::tactl
