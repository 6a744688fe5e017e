// The options of every tactl command in one table. An option names the
// commands that take it, directly or through an option set a command lists
// ("link": the commands that talk to a TA), so a new option, or a new
// option of one command, is one entry of the table in OptionTable.cpp.
#pragma once

#include "CommandTable.h"
#include "profile/Result.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ta::tactl {

struct Option {
    std::string name;               // long name, without "--"
    char shortName;                 // 'o' for -o, or 0
    std::string valueName;          // "FILE", "1|2|3" (the choices); empty for a flag
    std::string help;               // one line
    std::vector<std::string> scope; // commands and option sets that take it; "*": all
    Result<> (*check)(const std::string& value) = nullptr; // refuses a value that will not do
};

// Every option, in the order help lists them.
const std::vector<Option>& optionTable();

// The options a command takes, in table order.
std::vector<const Option*> optionsOf(const Command& command);

// What the parser found on one command's line. Flags and values are kept
// by the option's long name.
class CommandLine {
public:
    bool has(std::string_view name) const { return values_.contains(std::string(name)); }
    // The value given last, "" when the option was not given.
    std::string value(std::string_view name) const;
    const std::vector<std::string>& operands() const { return operands_; }
    const Command& command() const { return *command_; }

private:
    friend class CommandLineParser;
    const Command* command_ = nullptr;
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> operands_;
};

// Parses the arguments after the command name: "--name value",
// "--name=value", "-o value", "-ovalue", flags, "--" (all that follows is
// an operand) and "-" (an operand: standard input or output). Options may
// follow operands. A refusal is one line in the style of every usage error:
// "unknown option '--jsno'; did you mean '--json'?".
Result<CommandLine> parseCommandLine(const Command& command, Args args);

// A usage error of the command: the message and where to read more, one line.
int usageError(std::ostream& err, const CommandLine& line, const std::string& message);

} // namespace ta::tactl
