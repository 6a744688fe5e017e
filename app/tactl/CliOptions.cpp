#include "CliOptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <unistd.h>

#include "profile/ProfileFile.h"

namespace ta::tactl {
namespace {

// Reads up to limit + 1 bytes, so that a longer input shows itself.
bool readUpTo(int fd, std::size_t limit, std::string& text)
{
    char chunk[65536];
    while (text.size() <= limit) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        text.append(chunk, std::size_t(n));
    }
    return true;
}

} // namespace

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

std::optional<TaProfile> loadProfileOrError(const std::string& path, std::string& error)
{
    TaProfile profile{};
    const LoadResult result = isStdio(path) ? loadProfileFrom(STDIN_FILENO, profile) : loadProfileFile(path, profile);
    if (result != LoadResult::Ok) {
        error = loadErrorText(result, isStdio(path) ? "standard input" : path);
        return std::nullopt;
    }
    return profile;
}

std::string outputRefusal(const std::string& path)
{
    if (isStdio(path) && ::isatty(STDOUT_FILENO) == 1)
        return "will not write a binary profile to a terminal; redirect standard output";
    return {};
}

std::string writeProfile(const std::string& path, TaProfile& profile, std::ostream& out)
{
    if (!isStdio(path))
        return saveProfileFile(path, profile);
    if (std::string refusal = outputRefusal(path); !refusal.empty())
        return refusal;
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    out.write(reinterpret_cast<const char*>(&profile), std::streamsize(sizeof profile));
    out.flush();
    return out ? "" : "Cannot write the profile to standard output";
}

std::optional<std::string> readTextOrError(const std::string& path, std::string& error)
{
    const std::string name = isStdio(path) ? "standard input" : path;
    const int fd = isStdio(path) ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    const bool read = fd >= 0 && readUpTo(fd, kMaxTextSize, text);
    const int readError = errno;
    if (fd >= 0 && !isStdio(path))
        ::close(fd);
    if (!read) {
        error = "Cannot read " + name + ": " + std::strerror(readError);
        return std::nullopt;
    }
    if (text.size() > kMaxTextSize) {
        error = name + " is larger than any profile text (" + std::to_string(kMaxTextSize) + " bytes)";
        return std::nullopt;
    }
    return text;
}

} // namespace ta::tactl
