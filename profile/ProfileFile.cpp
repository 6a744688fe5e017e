#include "profile/ProfileFile.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ta {
namespace {

constexpr std::size_t kMagicSize = sizeof kProfileMagic; // with its terminator

bool hasMagic(const char* bytes, std::size_t size)
{
    return size >= kMagicSize && std::memcmp(bytes, kProfileMagic, kMagicSize) == 0;
}

Unexpected noSuchFile(const std::string& path) { return unexpected("No such profile file: " + printable(path)); }

Unexpected cannotRead(const std::string& name, int error)
{
    return unexpected("Cannot read profile file " + printable(name) + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

Unexpected notRegular(const std::string& path, mode_t mode)
{
    return unexpected("Not a profile file: " + printable(path) + " is " + fileKindOf(mode));
}

} // namespace

Result<std::size_t> loadProfileFile(const std::string& path, TaProfile& profile)
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
    auto loaded = loadProfileFrom(fd, profile, path);
    ::close(fd);
    return loaded;
}

Result<std::size_t> loadProfileFrom(int fd, TaProfile& profile, const std::string& name)
{
    std::array<char, kProfileSize> buffer{};
    const ssize_t got = readFully(fd, buffer.data(), buffer.size());
    if (got < 0)
        return cannotRead(name, errno);
    if (!hasMagic(buffer.data(), std::size_t(got)))
        return unexpected("Not a TA profile file (no TAPRF1.0 header): " + printable(name));
    std::memcpy(reinterpret_cast<char*>(&profile), buffer.data(), std::size_t(got));
    return std::size_t(got);
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
