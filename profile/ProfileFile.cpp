#include "profile/ProfileFile.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace ta {
namespace {

constexpr std::size_t kMagicSize = sizeof kProfileMagic; // with its terminator

std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

bool hasMagic(const char* bytes, std::size_t size)
{
    return size >= kMagicSize && std::memcmp(bytes, kProfileMagic, kMagicSize) == 0;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// New files get the usual rw-r--r-- less the umask; a replaced file keeps its mode.
mode_t modeFor(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

Unexpected saveError(const std::string& path, int error)
{
    return unexpected("Cannot save profile file " + printable(path) + ": " + std::strerror(error));
}

Unexpected noSuchFile(const std::string& path) { return unexpected("No such profile file: " + printable(path)); }

Unexpected cannotRead(const std::string& name, int error)
{
    return unexpected("Cannot read profile file " + printable(name) + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

Unexpected notRegular(const std::string& path, mode_t mode)
{
    return unexpected("Not a profile file: " + printable(path) + " is " + kindOf(mode));
}

// Fills the open temporary file; returns 0 or the errno of the failed step.
int writeTemp(int fd, const std::string& path, std::string_view bytes)
{
    if (!writeFully(fd, bytes.data(), bytes.size()))
        return errno ? errno : EIO;
    if (::fchmod(fd, modeFor(path)) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
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

// A link to a profile stays a link: the file it points to is replaced.
static std::string followLinks(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

Result<> saveProfileFile(const std::string& path, TaProfile& profile)
{
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    return saveProfileText(path, std::string_view(reinterpret_cast<const char*>(&profile), kProfileSize));
}

Result<> saveProfileText(const std::string& requested, std::string_view bytes)
{
    if (requested.empty())
        return unexpected("No profile file name given");
    const std::string path = followLinks(requested);
    std::string temp = folderOf(path) + "/.taprofile-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return saveError(path, errno);
    errno = 0;
    int error = writeTemp(fd, path, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error == 0)
        return {};
    ::unlink(temp.c_str());
    return saveError(path, error);
}

} // namespace ta
