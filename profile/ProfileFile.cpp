#include "profile/ProfileFile.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ta {
namespace {

constexpr std::size_t kMagicSize = sizeof kProfileMagic; // with its terminator
constexpr std::size_t kTrailingMargin = kProfileTrailingMargin;
constexpr std::size_t kLongestProfileFile = kProfileSize + kTrailingMargin;

bool hasMagic(const char* bytes, std::size_t size)
{
    return size >= kMagicSize && std::memcmp(bytes, kProfileMagic, kMagicSize) == 0;
}

Unexpected noSuchFile(const std::string& path) { return unexpected("No such profile file: " + printable(path)); }

Unexpected cannotRead(const std::string& name, int error)
{
    return unexpected("Cannot read profile file " + printable(name) + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

Unexpected tooLong(const std::string& name, const std::string& size)
{
    return unexpected("Not a profile file: " + printable(name) + " holds " + size + " bytes; a profile holds " +
                      std::to_string(kProfileSize) + ", and at most " + std::to_string(kTrailingMargin) +
                      " more are taken");
}

Unexpected notRegular(const std::string& path, mode_t mode)
{
    return unexpected("Not a profile file: " + printable(path) + " is " + fileKindOf(mode));
}

} // namespace

Result<std::size_t> loadProfileFile(const std::string& path, TaProfile& profile, std::size_t* trailing)
{
    if (path.empty())
        return unexpected("No profile file given");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? noSuchFile(path) : cannotRead(path, errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(path, st.st_mode);
    // Not blocking: the name may have been replaced by a pipe since the look.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? noSuchFile(path) : cannotRead(path, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return notRegular(path, st.st_mode);
    }
    // Told by its size, a long file (a sparse one of gigabytes) is not read.
    if (std::size_t(st.st_size) > kLongestProfileFile) {
        ::close(fd);
        return tooLong(path, std::to_string(st.st_size));
    }
    auto loaded = loadProfileFrom(fd, profile, path, trailing);
    ::close(fd);
    return loaded;
}

// One byte past the longest file taken tells a longer one, wherever the
// bytes come from: a pipe is never read to its end.
Result<std::size_t> loadProfileFrom(int fd, TaProfile& profile, const std::string& name, std::size_t* trailing)
{
    std::array<char, kLongestProfileFile + 1> buffer{};
    const ssize_t got = readFully(fd, buffer.data(), buffer.size());
    if (got < 0)
        return cannotRead(name, errno);
    if (std::size_t(got) > kLongestProfileFile)
        return tooLong(name, "more than " + std::to_string(kLongestProfileFile));
    if (!hasMagic(buffer.data(), std::size_t(got)))
        return unexpected("Not a TA profile file (no TAPRF1.0 header): " + printable(name));
    const std::size_t taken = std::min(std::size_t(got), kProfileSize);
    std::memcpy(reinterpret_cast<char*>(&profile), buffer.data(), taken);
    if (trailing)
        *trailing = std::size_t(got) - taken;
    return taken;
}

std::string trailingBytesWarning(const std::string& name, std::size_t trailing)
{
    return printable(name) + " holds " + std::to_string(trailing) + (trailing == 1 ? " byte" : " bytes") +
           " after the " + std::to_string(kProfileSize) + " of a profile, left out";
}

Result<> saveProfileFile(const std::string& path, TaProfile& profile, OtherTargets others)
{
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    return saveProfileText(path, std::string_view(reinterpret_cast<const char*>(&profile), kProfileSize), others);
}

Result<> saveProfileText(const std::string& path, std::string_view bytes, OtherTargets others)
{
    if (path.empty())
        return unexpected("No profile file name given");
    if (auto written = writeOutputFile(path, bytes, others); !written)
        return unexpected("Cannot save profile file " + printable(path) + ": " + written.error());
    return {};
}

} // namespace ta
