#include "link/port/PortLock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace ta::link {

namespace {

namespace fs = std::filesystem;

std::string canonicalPath(const std::string& path)
{
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

bool processAlive(int pid)
{
    // EPERM: it exists but belongs to someone else.
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// Lock files hold the PID as ASCII ("%10d\n", HDB style) or, from old
// programs, as a 4-byte binary integer.
int lockFilePid(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const bool ascii = text.find_first_not_of("0123456789 \n") == std::string::npos;
    if (text.size() == sizeof(int32_t) && !ascii) {
        int32_t pid = 0;
        std::memcpy(&pid, text.data(), sizeof pid);
        return pid;
    }
    long pid = 0;
    std::size_t i = text.find_first_not_of(' ');
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && pid < 1000000000; ++i)
        pid = pid * 10 + (text[i] - '0');
    return int(pid);
}

bool writeLockFile(const std::string& file)
{
    char line[16];
    const int length = std::snprintf(line, sizeof line, "%10d\n", int(::getpid()));
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, line, std::size_t(length)) == length;
    ::close(fd);
    return written;
}

} // namespace

std::string uucpLockName(const std::string& devicePath)
{
    const std::string path = canonicalPath(devicePath);
    std::string name = path.starts_with("/dev/") ? path.substr(5) : fs::path(path).filename().string();
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

int uucpLockHolder(const std::string& lockDir, const std::string& devicePath)
{
    const int pid = lockFilePid((fs::path(lockDir) / uucpLockName(devicePath)).string());
    return processAlive(pid) ? pid : 0;
}

// The file is written under a private name and linked into place, so that
// nobody ever reads a half-written lock and takes it for a stale one.
UucpLock::UucpLock(const std::string& lockDir, const std::string& devicePath)
{
    const std::string target = (fs::path(lockDir) / uucpLockName(devicePath)).string();
    const std::string temporary = (fs::path(lockDir) / ("LTMP." + std::to_string(::getpid()))).string();
    if (!writeLockFile(temporary))
        return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::link(temporary.c_str(), target.c_str()) == 0) {
            path_ = target;
            break;
        }
        const int error = errno;
        const int holder = lockFilePid(target);
        if (error != EEXIST || (holder != ::getpid() && processAlive(holder)))
            break;
        ::unlink(target.c_str()); // stale, or left by this process
    }
    ::unlink(temporary.c_str());
}

UucpLock::~UucpLock() { release(); }

UucpLock::UucpLock(UucpLock&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

UucpLock& UucpLock::operator=(UucpLock&& other) noexcept
{
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

void UucpLock::release()
{
    // Only our own: another program may have replaced it meanwhile.
    if (!path_.empty() && lockFilePid(path_) == ::getpid())
        ::unlink(path_.c_str());
    path_.clear();
}

int processUsingDevice(const std::string& devicePath, const std::string& procDir)
{
    struct stat device{};
    if (::stat(devicePath.c_str(), &device) != 0)
        return 0;
    const int self = ::getpid();
    std::error_code ec;
    for (fs::directory_iterator proc(procDir, ec), end; !ec && proc != end; proc.increment(ec)) {
        const std::string name = proc->path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const int pid = std::stoi(name);
        if (pid == self)
            continue;
        std::error_code fdError;
        for (fs::directory_iterator fd(proc->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd; fd.increment(fdError)) {
            struct stat open{};
            if (::stat(fd->path().c_str(), &open) == 0 && S_ISCHR(open.st_mode) && open.st_rdev == device.st_rdev)
                return pid;
        }
    }
    return 0;
}

std::string processName(int pid, const std::string& procDir)
{
    std::ifstream in(fs::path(procDir) / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace ta::link
