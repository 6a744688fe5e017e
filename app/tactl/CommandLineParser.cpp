// tactl's own reading of a command's arguments, so that every refusal reads
// alike and names the argument as it was typed.
#include "OptionTable.h"
#include "Suggestion.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace ta::tactl {
namespace {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// An argument that a user more likely meant as a file: it has a dot or a
// slash, which no option has, or a file of that name exists.
bool looksLikeFile(const std::string& arg)
{
    std::error_code error;
    return arg.find_first_of("./") != std::string::npos || std::filesystem::exists(arg, error);
}

} // namespace

class CommandLineParser {
public:
    CommandLineParser(const Command& command, Args args) : command_(command), args_(args), options_(optionsOf(command))
    {
        line_.command_ = &command;
    }

    Result<CommandLine> parse()
    {
        bool operandsOnly = false;
        for (next_ = 0; next_ < args_.size(); ++next_) {
            const std::string& arg = args_[next_];
            Result<> taken;
            if (operandsOnly || arg == "-" || !arg.starts_with('-'))
                line_.operands_.push_back(arg);
            else if (arg == "--")
                operandsOnly = true;
            else if (arg.starts_with("--"))
                taken = takeLong(arg);
            else
                taken = takeShort(arg);
            if (!taken)
                return unexpected(taken.error());
        }
        return std::move(line_);
    }

private:
    Result<> takeLong(const std::string& arg)
    {
        const auto equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const Option* option = find([&](const Option& o) { return o.name == name; });
        if (!option)
            return unknown(arg, "--" + name);
        if (equals != std::string::npos && option->valueName.empty())
            return unexpected("option '--" + name + "' takes no value, not '" + arg.substr(equals + 1) + "'");
        if (equals != std::string::npos)
            return store(*option, arg, arg.substr(equals + 1));
        return store(*option, arg, option->valueName.empty() ? "" : nextValue());
    }

    // "-h", "-o FILE", "-oFILE", "-o=FILE"; flags may be bunched ("-hx").
    Result<> takeShort(const std::string& arg)
    {
        for (std::size_t at = 1; at < arg.size(); ++at) {
            const Option* option = find([&](const Option& o) { return o.shortName == arg[at]; });
            if (!option)
                return unknown(arg, arg.size() == 2 ? arg : "");
            if (option->valueName.empty()) {
                if (auto stored = store(*option, arg, ""); !stored)
                    return stored;
                continue;
            }
            std::string rest = arg.substr(at + 1);
            if (rest.starts_with('='))
                rest.erase(0, 1);
            return store(*option, "-" + std::string(1, arg[at]), at + 1 < arg.size() ? rest : nextValue());
        }
        return {};
    }

    // The argument after an option that takes a value, whatever it looks like ("-o -").
    std::optional<std::string> nextValue()
    {
        if (next_ + 1 >= args_.size())
            return std::nullopt;
        return args_[++next_];
    }

    Result<> store(const Option& option, const std::string& typed, const std::optional<std::string>& value)
    {
        if (!value)
            return unexpected("option " + quoted(typed) + " needs a value (" + option.valueName + ")");
        line_.values_[option.name].push_back(*value);
        const Result<> fits = option.check ? option.check(*value) : Result<>();
        if (!fits)
            return unexpected("--" + option.name + " " + fits.error() + ", not '" + *value + "'");
        return {};
    }

    template <typename Match>
    const Option* find(Match match) const
    {
        const auto found = std::find_if(options_.begin(), options_.end(), [&](const Option* o) { return match(*o); });
        return found == options_.end() ? nullptr : *found;
    }

    // What was typed, and what it may have meant: another option of the
    // command, an option of other commands, or a file whose name begins
    // with "-".
    Unexpected unknown(const std::string& arg, const std::string& name) const
    {
        const std::string longName = name.starts_with("--") ? name.substr(2) : "";
        const auto& table = optionTable();
        const bool elsewhere = !longName.empty() && std::any_of(table.begin(), table.end(), [&](const Option& o) {
            return o.name == longName;
        });
        if (elsewhere)
            return unexpected("--" + longName + " does not apply to " + command_.name);
        std::string message = "unknown option " + quoted(name.empty() ? arg : name);
        if (looksLikeFile(arg))
            return unexpected(message + "; for a file of that name write ./" + arg + " or -- " + arg);
        std::vector<std::string> names;
        for (const Option* option : options_) {
            names.push_back("--" + option->name);
            if (option->shortName)
                names.push_back(std::string("-") + option->shortName);
        }
        return unexpected(message + didYouMean(name.empty() ? arg : name, names));
    }

    const Command& command_;
    Args args_;
    std::vector<const Option*> options_;
    CommandLine line_;
    std::size_t next_ = 0;
};

Result<CommandLine> parseCommandLine(const Command& command, Args args)
{
    return CommandLineParser(command, args).parse();
}

} // namespace ta::tactl
