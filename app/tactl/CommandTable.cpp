#include "CommandTable.h"

#include <algorithm>
#include <ostream>

#include "profile/Printable.h"

namespace ta::tactl {
namespace {

// A function-local table, so registrars in other files may run in any order.
std::vector<Command>& registry()
{
    static std::vector<Command> table;
    return table;
}

} // namespace

CommandRegistrar::CommandRegistrar(Command command) { registry().push_back(std::move(command)); }

std::vector<Command> commands()
{
    std::vector<Command> sorted = registry();
    std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    return sorted;
}

const Command* findCommand(const std::string& name)
{
    for (const Command& command : registry())
        if (command.name == name)
            return &command;
    return nullptr;
}

int exitCodeFor(link::FailureClass failureClass, int signal)
{
    using link::FailureClass;
    switch (failureClass) {
    case FailureClass::None: return kExitOk;
    case FailureClass::Busy: return kExitBusy;
    case FailureClass::Unreachable: return kExitUnreachable;
    case FailureClass::Timeout: return kExitTimeout;
    case FailureClass::Interrupted: return signal != 0 ? kExitSignalBase + signal : kExitFailure;
    case FailureClass::NotTa:
    case FailureClass::Line:
    case FailureClass::Refused:
    case FailureClass::Local:
    case FailureClass::Other:
        return kExitFailure;
    }
    return kExitFailure;
}

int fail(std::ostream& err, const std::string& message, int exitCode)
{
    // File names and values in a message may come from anywhere.
    err << "tactl: " << printable(message) << '\n';
    return exitCode;
}

int usageError(std::ostream& err, const Command& command, const std::string& message)
{
    return fail(err, message + " (see tactl " + command.name + " --help)", kExitUsage);
}

} // namespace ta::tactl
