#include "CliOptions.h"

#include <map>
#include <ostream>

#include "profile/ProfileFile.h"

namespace ta::tactl {
namespace {

using Flag = bool atcmd::Options::*;

struct FlagSetting {
    Flag member;
    bool value;
};

const std::map<std::string, FlagSetting>& flags()
{
    static const std::map<std::string, FlagSetting> table = {
        {"--no-prefix", {&atcmd::Options::noPortPrefix, true}},
        {"--remote", {&atcmd::Options::remote, true}},
        {"--x25", {&atcmd::Options::x25OnD, true}},
        {"--no-datetime", {&atcmd::Options::sysDateTime, false}},
        {"--no-country", {&atcmd::Options::countryOption, false}},
        {"--clear-last-charge", {&atcmd::Options::clearLastCharge, true}},
        {"--clear-acc-charge", {&atcmd::Options::clearAccCharge, true}},
    };
    return table;
}

bool parseVariant(const std::string& text, uint8_t& variant)
{
    if (text != "1" && text != "2" && text != "3")
        return false;
    variant = uint8_t(text[0] - '0');
    return true;
}

} // namespace

const char* const kLinkOptionsUsage = "[--no-prefix] [--variant 1|2|3] [--remote] [--x25] [--no-datetime] "
                                      "[--no-country] [--clear-last-charge] [--clear-acc-charge]";

std::optional<LinkArgs> parseLinkArgs(Args args, bool wantFile, std::string& error)
{
    LinkArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = flags().find(arg); flag != flags().end()) {
            parsed.options.*(flag->second.member) = flag->second.value;
        } else if (arg == "--variant") {
            if (i + 1 >= args.size() || !parseVariant(args[i + 1], parsed.options.taVariant)) {
                error = "--variant takes 1 (RS232 port), 2 (USB port) or 3 (both)";
                return std::nullopt;
            }
            ++i;
        } else if (arg.starts_with("-") || !wantFile || !parsed.file.empty()) {
            error = "unexpected argument '" + arg + "'";
            return std::nullopt;
        } else {
            parsed.file = arg;
        }
    }
    if (wantFile && parsed.file.empty()) {
        error = "missing profile file name";
        return std::nullopt;
    }
    return parsed;
}

std::optional<TaProfile> loadProfileOrError(const std::string& path, std::string& error, std::ostream* warnings)
{
    TaProfile profile{};
    LoadDetails details;
    const LoadResult result = loadProfileFile(path, profile, &details);
    if (result != LoadResult::Ok) {
        error = loadErrorText(result, path, details);
        return std::nullopt;
    }
    if (warnings && details.bytesRead < kProfileSize)
        *warnings << "tactl: warning: " << path << " holds " << details.bytesRead << " of the " << kProfileSize
                  << " bytes of a profile; the settings after them are zero\n";
    return profile;
}

} // namespace ta::tactl
