#include "profile/InPlace.h"
#include "profile/TempFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ta {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
// The copy of the earlier content is the user's alone, whatever the file's mode.
constexpr mode_t kCopyMode = 0600;

bool writeAt(int fd, const char* data, std::size_t size, off_t at)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        data += n;
        size -= std::size_t(n);
        at += n;
    }
    return true;
}

// The first size bytes of from over the start of to; a file that ends
// sooner than it did when looked at is an error.
bool copyStart(int from, int to, off_t size)
{
    std::array<char, kCopyChunk> buffer{};
    for (off_t done = 0; done < size;) {
        const auto want = std::size_t(std::min<off_t>(size - done, off_t(buffer.size())));
        const ssize_t n = ::pread(from, buffer.data(), want, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        if (!writeAt(to, buffer.data(), std::size_t(n), done))
            return false;
        done += n;
    }
    return true;
}

// Puts the copy back; the copy is gone afterwards when that worked.
bool restore(int file, const std::string& copyName, off_t size)
{
    const int copy = ::open(copyName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (copy < 0)
        return false;
    const bool restored = copyStart(copy, file, size) && ::ftruncate(file, size) == 0 && ::fsync(file) == 0;
    ::close(copy);
    if (restored)
        static_cast<void>(::unlink(copyName.c_str()));
    return restored;
}

// The copy where the user finds it: beside the file, unless that name is taken.
std::string keep(const std::string& copyName, const std::string& name)
{
    const std::string kept = name + "~";
    if (::renameat2(AT_FDCWD, copyName.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0)
        return kept;
    return copyName;
}

Unexpected failed(int error) { return unexpected(std::strerror(error != 0 ? error : EIO)); }

// The file's first size bytes in a private temporary file in folder; its name.
Result<std::string> copyAside(int file, const std::string& folder, off_t size)
{
    std::string copyName;
    const int copy = createTemp(folder, copyName);
    if (copy < 0)
        return failed(errno);
    bool copied = ::fchmod(copy, kCopyMode) == 0 && copyStart(file, copy, size) && ::fsync(copy) == 0;
    int error = errno;
    if (::close(copy) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (copied)
        return copyName;
    static_cast<void>(::unlink(copyName.c_str()));
    return failed(error);
}

} // namespace

Result<> writeFileInPlace(const std::string& name, const std::string& folder, const struct stat& looked,
                          std::string_view bytes)
{
    const int file = ::open(name.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0)
        return failed(errno);
    struct stat now {};
    if (::fstat(file, &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != looked.st_dev ||
        now.st_ino != looked.st_ino) {
        ::close(file);
        return unexpected(kReplacedWhileSaving);
    }
    const auto copy = copyAside(file, folder, now.st_size);
    if (!copy) {
        ::close(file);
        return unexpected(copy.error());
    }
    errno = 0;
    const bool written = writeAt(file, bytes.data(), bytes.size(), 0) && ::ftruncate(file, off_t(bytes.size())) == 0 &&
                         ::fsync(file) == 0;
    const int error = errno;
    if (written) {
        static_cast<void>(::unlink(copy->c_str()));
        return ::close(file) == 0 ? Result<>{} : failed(errno);
    }
    const bool restored = restore(file, *copy, now.st_size);
    ::close(file);
    if (restored)
        return failed(error);
    return unexpected(std::string(std::strerror(error != 0 ? error : EIO)) + "; its earlier content is kept in " +
                      keep(*copy, name));
}

} // namespace ta
