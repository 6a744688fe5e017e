// The subcommands of tactl. A command registers itself from its own .cpp
// file with a static CommandRegistrar, so adding one needs no edit elsewhere:
//
//   static const ta::tactl::CommandRegistrar reg{{"name", "name ARGS", "what it does", &run}};
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace ta::tactl {

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // the command could not do its work
constexpr int kExitUsage = 2;   // bad arguments

using Args = std::span<const std::string>;

struct Command {
    std::string name;
    std::string usage;   // one line: "show FILE.CFG"
    std::string summary; // one line
    int (*run)(Args args, std::ostream& out, std::ostream& err);
};

// Every registered command, sorted by name.
std::vector<Command> commands();
const Command* findCommand(const std::string& name);

struct CommandRegistrar {
    explicit CommandRegistrar(Command command);
};

// Writes "tactl: " + message as one line and returns the exit code.
int fail(std::ostream& err, const std::string& message, int exitCode = kExitFailure);

} // namespace ta::tactl
