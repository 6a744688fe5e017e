#include "CliOptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <unistd.h>
#include <vector>

#include "profile/FieldRules.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"
#include "profile/ProfileFile.h"

namespace ta::tactl {

atcmd::Options listOptionsFrom(const CommandLine& line)
{
    atcmd::Options options;
    options.noPortPrefix = line.has("no-prefix");
    if (line.has("variant"))
        options.taVariant = uint8_t(line.value("variant")[0] - '0');
    options.remote = line.has("remote");
    options.x25OnD = line.has("x25");
    options.sysDateTime = !line.has("no-datetime");
    options.countryOption = !line.has("no-country");
    options.clearLastCharge = line.has("clear-last-charge");
    options.clearAccCharge = line.has("clear-acc-charge");
    return options;
}

int exitCode(const Result<>& done, std::ostream& err) { return done ? kExitOk : fail(err, done.error()); }

namespace {

// Enough to see what is wrong; show prints every value.
constexpr std::size_t kBreaksWarnedOf = 20;

std::string nameOfInput(const std::string& path) { return isStdio(path) ? "standard input" : path; }

} // namespace

void warnOfRuleBreaks(const std::string& path, const TaProfile& profile, std::ostream& warnings)
{
    const std::vector<RuleBreak> breaks = recordRuleBreaks(profile);
    if (breaks.empty())
        return;
    warnings << "tactl: warning: " << printable(nameOfInput(path))
             << " holds values the TA does not take; they are kept, but a submit refuses those it would send:\n";
    for (std::size_t i = 0; i < breaks.size() && i < kBreaksWarnedOf; ++i)
        warnings << "  " << printable(ruleBreakLine(breaks[i])) << '\n';
    if (breaks.size() > kBreaksWarnedOf)
        warnings << "  ... and " << breaks.size() - kBreaksWarnedOf << " more\n";
}

Result<TaProfile> readProfile(const std::string& path, std::ostream* warnings, bool rules)
{
    TaProfile profile{};
    const std::string name = isStdio(path) ? "standard input" : path;
    std::size_t trailing = 0;
    const auto bytesRead = isStdio(path) ? loadProfileFrom(STDIN_FILENO, profile, name, &trailing)
                                         : loadProfileFile(path, profile, &trailing);
    if (!bytesRead)
        return unexpected(bytesRead.error());
    if (warnings && *bytesRead < kProfileSize)
        *warnings << "tactl: warning: " << printable(name) << " holds " << *bytesRead << " of the " << kProfileSize
                  << " bytes of a profile; the settings after them are zero\n";
    if (warnings && trailing > 0)
        *warnings << "tactl: warning: " << trailingBytesWarning(name, trailing) << '\n';
    if (warnings && rules)
        warnOfRuleBreaks(path, profile, *warnings);
    return profile;
}

Result<> checkOutput(const std::string& path)
{
    if (isStdio(path) && ::isatty(STDOUT_FILENO) == 1)
        return unexpected("will not write a binary profile to a terminal; redirect standard output");
    return {};
}

Result<> writeProfile(const std::string& path, TaProfile& profile, std::ostream& out, OtherTargets others)
{
    if (!isStdio(path))
        return saveProfileFile(path, profile, others);
    if (auto output = checkOutput(path); !output)
        return output;
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    // A failed write to standard output is reported once, by main, as for
    // every command's output.
    out.write(reinterpret_cast<const char*>(&profile), std::streamsize(sizeof profile));
    out.flush();
    return {};
}

Result<> writeProfileText(const std::string& path, const std::string& text, std::ostream& out, OtherTargets others)
{
    if (!isStdio(path))
        return saveProfileText(path, text, others);
    out << text;
    out.flush();
    if (!out)
        return unexpected("Cannot write the profile to standard output");
    return {};
}

Result<std::string> readText(const std::string& path)
{
    const std::string name = isStdio(path) ? "standard input" : path;
    const int fd = isStdio(path) ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    // One byte more than the limit, so that a longer input shows itself.
    std::string text(kMaxTextSize + 1, '\0');
    const ssize_t got = fd >= 0 ? readFully(fd, text.data(), text.size()) : -1;
    const int readError = errno;
    const bool read = got >= 0;
    text.resize(read ? std::size_t(got) : 0);
    if (fd >= 0 && !isStdio(path))
        ::close(fd);
    if (!read)
        return unexpected("Cannot read " + name + ": " + std::strerror(readError));
    if (text.size() > kMaxTextSize)
        return unexpected(name + " is larger than any profile text (" + std::to_string(kMaxTextSize) + " bytes)");
    return text;
}

} // namespace ta::tactl
