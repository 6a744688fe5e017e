#include "profile/ProfileFile.h"

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

// Reads until the buffer is full or the file ends; -1 on a read error.
ssize_t readFully(int fd, char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return ssize_t(done);
}

bool writeFully(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
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

std::string saveError(const std::string& path, int error)
{
    return "Cannot save profile file " + path + ": " + std::strerror(error);
}

// Fills the open temporary file; returns 0 or the errno of the failed step.
int writeTemp(int fd, const std::string& path, const TaProfile& profile)
{
    const auto* bytes = reinterpret_cast<const char*>(&profile);
    if (!writeFully(fd, bytes, kProfileSize))
        return errno ? errno : EIO;
    if (::fchmod(fd, modeFor(path)) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

} // namespace

LoadResult loadProfileFile(const std::string& path, TaProfile& profile)
{
    if (path.empty())
        return LoadResult::NoFile;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? LoadResult::NoFile : LoadResult::CannotOpen;
    const LoadResult result = loadProfileFrom(fd, profile);
    ::close(fd);
    return result;
}

LoadResult loadProfileFrom(int fd, TaProfile& profile)
{
    std::array<char, kProfileSize> buffer{};
    const ssize_t got = readFully(fd, buffer.data(), buffer.size());
    if (got < 0)
        return LoadResult::CannotOpen;
    if (!hasMagic(buffer.data(), std::size_t(got)))
        return LoadResult::WrongMagic;
    std::memcpy(reinterpret_cast<char*>(&profile), buffer.data(), std::size_t(got));
    return LoadResult::Ok;
}

std::string loadErrorText(LoadResult result, const std::string& path)
{
    switch (result) {
    case LoadResult::Ok:
        return {};
    case LoadResult::NoFile:
        return path.empty() ? "No profile file given" : "No such profile file: " + path;
    case LoadResult::CannotOpen:
        return "Cannot read profile file " + path;
    case LoadResult::WrongMagic:
        return "Not a TA profile file (no TAPRF1.0 header): " + path;
    }
    return "Cannot load profile file " + path;
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

std::string saveProfileFile(const std::string& requested, TaProfile& profile)
{
    if (requested.empty())
        return "No profile file name given";
    const std::string path = followLinks(requested);
    std::memcpy(profile.magic, kProfileMagic, sizeof profile.magic);
    std::string temp = folderOf(path) + "/.taprofile-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return saveError(path, errno);
    errno = 0;
    int error = writeTemp(fd, path, profile);
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
