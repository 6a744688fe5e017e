// The one way an output file is written: a regular file is replaced by a
// finished temporary file, anything else is written into or refused.
#include "profile/FileIo.h"
#include "profile/InPlace.h"
#include "profile/TempFiles.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace ta {
namespace {

// Links followed from one name before giving up, as many as the kernel does.
constexpr int kMaxLinkHops = 40;
// File systems whose files are the kernel's settings and interfaces.
constexpr std::array<long, 8> kKernelFileSystems = {
    PROC_SUPER_MAGIC, SYSFS_MAGIC,        DEBUGFS_MAGIC,       TRACEFS_MAGIC,
    SECURITYFS_MAGIC, CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, EFIVARFS_MAGIC,
};

const char* const kKernelFile = "Is a kernel interface, not a file";
const char* const kDescriptor = "Names an open descriptor, not a file";
const char* const kChanged = kReplacedWhileSaving;
const char* const kNoReader = "No process reads the pipe";
// How long a pipe is given to find its reader, and how often it is tried.
constexpr std::chrono::seconds kPipeReaderWait{30};
constexpr std::chrono::nanoseconds kPipeReaderPoll = std::chrono::milliseconds(20);

enum class Kind { Refused, Replace, WriteInto };

struct Target {
    Kind kind = Kind::Refused;
    bool pipe = false;  // written into: waits for a reader
    std::string reason; // why it is refused
    std::string name;   // the name to replace, links followed
    bool exists = false;
    struct stat st {};  // the file to replace, when it exists
};

Target refused(std::string reason)
{
    Target target;
    target.reason = std::move(reason);
    return target;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// statfs follows links: a link to a kernel file counts as one.
bool isKernelFile(const std::string& path)
{
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0)
        return false;
    for (const long type : kKernelFileSystems)
        if (fs.f_type == type)
            return true;
    return false;
}

std::string kindProblem(mode_t mode)
{
    if (S_ISDIR(mode))
        return "Is a folder";
    if (S_ISFIFO(mode))
        return "Is a pipe, not a file";
    if (S_ISCHR(mode))
        return "Is a device, not a file";
    if (S_ISBLK(mode))
        return "Is a block device, not a file";
    if (S_ISSOCK(mode))
        return "Is a socket, not a file";
    return "Is not a regular file";
}

// A block device is never written into: a profile over a disk's first
// sectors is no output anyone wants.
bool takesWritesInto(mode_t mode) { return S_ISFIFO(mode) || S_ISCHR(mode); }

struct Followed {
    std::string name;
    bool throughKernel = false; // a link of /proc, such as /proc/self/fd/1
    int error = 0;
};

// Follows the links that the name itself is (its folders the kernel
// follows anyway) to the name a rename must replace, so that a link to a
// profile stays a link and a dangling one gets its file.
Followed followLinks(std::string name)
{
    Followed followed;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            followed.name = name;
            return followed;
        }
        followed.throughKernel = followed.throughKernel || isKernelFile(folderOf(name));
        std::array<char, PATH_MAX> buffer{};
        const ssize_t size = ::readlink(name.c_str(), buffer.data(), buffer.size());
        if (size < 0 || std::size_t(size) == buffer.size()) {
            followed.error = size < 0 ? errno : ENAMETOOLONG;
            return followed;
        }
        const std::string target(buffer.data(), std::size_t(size));
        name = target.starts_with('/') ? target : folderOf(name) + "/" + target;
    }
    followed.error = ELOOP;
    return followed;
}

std::string folderProblem(const std::string& folder)
{
    if (isKernelFile(folder))
        return kKernelFile;
    // The effective ids, as the creation of the temporary file will have.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return std::strerror(errno);
    return {};
}

Target regularTarget(const std::string& path, const struct stat& st, bool exists, OtherTargets others)
{
    if (exists && isKernelFile(path))
        return refused(kKernelFile);
    const Followed followed = followLinks(path);
    if (followed.error != 0)
        return refused(std::strerror(followed.error));
    // /dev/stdout and /proc/self/fd/N name a descriptor: whatever is behind
    // it is not theirs to replace (the shell that opened it keeps writing
    // there), but it can take the bytes.
    if (followed.throughKernel && exists && others == OtherTargets::WriteInto) {
        Target target;
        target.kind = Kind::WriteInto;
        return target;
    }
    if (followed.throughKernel)
        return refused(kDescriptor);
    Target target;
    target.kind = Kind::Replace;
    target.name = followed.name;
    target.exists = exists;
    if (exists && (::lstat(target.name.c_str(), &target.st) != 0 || target.st.st_ino != st.st_ino ||
                   target.st.st_dev != st.st_dev))
        return refused(kChanged);
    if (auto problem = folderProblem(folderOf(target.name)); !problem.empty())
        return refused(std::move(problem));
    return target;
}

Target classify(const std::string& path, OtherTargets others)
{
    if (path.empty())
        return refused(std::strerror(ENOENT));
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return refused(std::strerror(errno));
    if (!exists || S_ISREG(st.st_mode))
        return regularTarget(path, st, exists, others);
    if (others == OtherTargets::WriteInto && takesWritesInto(st.st_mode)) {
        Target target;
        target.kind = Kind::WriteInto;
        target.pipe = S_ISFIFO(st.st_mode);
        return target;
    }
    return refused(kindProblem(st.st_mode));
}

// Opens what the name leads to (the kernel follows the links) without
// waiting: a pipe that nobody reads yet is tried again until a reader comes,
// at most kPipeReaderWait. The wait is the shell's ">" bounded, and a
// signal ends it: the program's handlers restart an open that blocks, so
// a blocking open would outlast Ctrl-C.
int openWithoutHanging(const std::string& path, bool pipe)
{
    const auto giveUp = std::chrono::steady_clock::now() + kPipeReaderWait;
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0 || !pipe || errno != ENXIO)
            return fd;
        if (std::chrono::steady_clock::now() >= giveUp) {
            errno = ENXIO;
            return -1;
        }
        // Never restarted after a handler ran, whatever SA_RESTART says.
        const timespec pause = {0, kPipeReaderPoll.count()};
        if (::nanosleep(&pause, nullptr) != 0)
            return -1;
    }
}

// A pipe or a device takes the bytes; the kernel truncates only a regular
// file (an open descriptor's, through /proc).
Result<> writeInto(const std::string& path, bool pipe, std::string_view bytes)
{
    const int fd = openWithoutHanging(path, pipe);
    if (fd < 0)
        return unexpected(pipe && errno == ENXIO ? kNoReader : std::strerror(errno));
    struct stat st {};
    int error = 0;
    std::string reason;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISBLK(st.st_mode))
        reason = kindProblem(st.st_mode);
    errno = 0;
    if (error == 0 && reason.empty() && !writeFully(fd, bytes.data(), bytes.size()))
        error = errno != 0 ? errno : EIO;
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        reason = std::strerror(error);
    if (!reason.empty())
        return unexpected(reason);
    return {};
}

// Why a temporary file could not be made ready; ownerKept is false when
// the replaced file's owner or group could not be given to it.
struct TempProblem {
    std::string reason;
    bool ownerKept = true;
};

// The temporary file takes the replaced file's owner and group first, as a
// change of owner clears the set-id bits that its mode then puts back. A
// file that cannot keep its owner (someone else's, saved by a user) is not
// replaced by one of the user's own.
TempProblem takeOver(int fd, const struct stat& old)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return {std::strerror(errno)};
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return {std::string("Cannot keep the file's owner: ") + std::strerror(errno), false};
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return {std::string("Cannot keep the file's mode: ") + std::strerror(errno)};
    return {};
}

TempProblem fillTemp(int fd, const Target& target, std::string_view bytes)
{
    errno = 0;
    if (!writeFully(fd, bytes.data(), bytes.size()))
        return {std::strerror(errno != 0 ? errno : EIO)};
    if (target.exists)
        if (TempProblem problem = takeOver(fd, target.st); !problem.reason.empty())
            return problem;
    return {::fsync(fd) != 0 ? std::strerror(errno) : std::string()};
}

// Only the file that was looked at, or still nothing, is replaced: a pipe
// or a device put there meanwhile stays.
bool stillThere(const Target& target)
{
    struct stat now {};
    if (::lstat(target.name.c_str(), &now) != 0)
        return !target.exists && errno == ENOENT;
    return target.exists && S_ISREG(now.st_mode) && now.st_dev == target.st.st_dev && now.st_ino == target.st.st_ino;
}

// Into a name that was free, without replacing what may have come since;
// a file system that cannot tell gets a plain rename after the look.
int moveInto(const std::string& temp, const Target& target)
{
    if (!target.exists) {
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.name.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
    }
    return ::rename(temp.c_str(), target.name.c_str()) == 0 ? 0 : errno;
}

// A file with other names (hard links), or one the user may write but whose
// owner a new file of the user's cannot take, keeps its identity only when
// it is written where it is.
bool writableInPlace(const Target& target)
{
    return target.exists && ::faccessat(AT_FDCWD, target.name.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

Result<> writeInPlace(const Target& target, std::string_view bytes)
{
    return writeFileInPlace(target.name, folderOf(target.name), target.st, bytes);
}

Result<> replaceFile(const Target& target, std::string_view bytes)
{
    const std::string folder = folderOf(target.name);
    removeStaleTemps(folder);
    if (target.exists && target.st.st_nlink > 1 && writableInPlace(target))
        return writeInPlace(target, bytes);
    std::string temp;
    const int fd = createTemp(folder, temp);
    if (fd < 0)
        return unexpected(std::strerror(errno));
    const TempProblem problem = fillTemp(fd, target, bytes);
    std::string reason = problem.reason;
    if (::close(fd) != 0 && reason.empty())
        reason = std::strerror(errno);
    if (!problem.ownerKept && writableInPlace(target)) {
        static_cast<void>(::unlink(temp.c_str()));
        return writeInPlace(target, bytes);
    }
    if (reason.empty() && !stillThere(target))
        reason = kChanged;
    if (reason.empty())
        if (const int error = moveInto(temp, target); error != 0)
            reason = std::strerror(error);
    if (reason.empty())
        return {};
    // One that stays is a leftover of a process that is gone by the next save.
    static_cast<void>(::unlink(temp.c_str()));
    return unexpected(reason);
}

} // namespace

std::string outputProblem(const std::string& path, OtherTargets others)
{
    const Target target = classify(path, others);
    return target.kind == Kind::Refused ? target.reason : std::string();
}

Result<> writeOutputFile(const std::string& path, std::string_view bytes, OtherTargets others)
{
    const Target target = classify(path, others);
    switch (target.kind) {
    case Kind::WriteInto:
        return writeInto(path, target.pipe, bytes);
    case Kind::Replace:
        return replaceFile(target, bytes);
    case Kind::Refused:
        break;
    }
    return unexpected(target.reason);
}

} // namespace ta
