#include "profile/TempFiles.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ta {
namespace {

// Temporary files are hidden and tell who writes them:
// ".taprofile-<pid>@<host>-<six random letters>".
constexpr std::string_view kTempPrefix = ".taprofile-";
constexpr int kTempRandomLetters = 6;
constexpr int kTempNameTries = 100;
// A temporary file whose writer cannot be told gone (another host's, or one
// named without its pid) is left alone until it has not changed for this
// long, far beyond any save of a few kilobytes, even on a slow share.
constexpr std::chrono::seconds kStaleTempAge = std::chrono::hours(1);

std::string hostName()
{
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0)
        return "localhost";
    return name.data();
}

struct TempOwner {
    pid_t pid = 0;
    std::string host;
};

// The writer that a temporary file's name tells; none for a name without it.
std::optional<TempOwner> ownerOf(std::string_view name)
{
    name.remove_prefix(kTempPrefix.size());
    const auto at = name.find('@');
    const auto dash = name.rfind('-');
    if (at == std::string_view::npos || dash == std::string_view::npos || dash < at)
        return std::nullopt;
    TempOwner owner;
    const auto [end, error] = std::from_chars(name.data(), name.data() + at, owner.pid);
    if (error != std::errc() || end != name.data() + at || owner.pid <= 0)
        return std::nullopt;
    owner.host = std::string(name.substr(at + 1, dash - at - 1));
    return owner;
}

// A temporary file is its writer's as long as the writer may still run. On
// this host the pid tells: a process that is gone (a killed save) writes no
// more, so its file goes at once. A pid that runs may be a later process
// that got the same number: its file stays, harmless, until that ends. The
// pid of another host (a shared folder) or a name without one tells
// nothing, so only the file's age does.
bool isStale(std::string_view name, const struct stat& st, const std::string& host)
{
    const auto owner = ownerOf(name);
    if (owner && owner->host == host)
        return ::kill(owner->pid, 0) != 0 && errno == ESRCH;
    return std::chrono::seconds(::time(nullptr) - st.st_mtime) > kStaleTempAge;
}

} // namespace

// Best effort: a leftover that cannot be removed (someone else's, in a
// folder shared with others) costs the save nothing, so the results of
// these calls end nothing here.
void removeStaleTemps(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string host = hostName();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        struct stat st {};
        if (name.starts_with(kTempPrefix) && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && isStale(name, st, host))
            static_cast<void>(::unlinkat(::dirfd(dir), entry->d_name, 0));
    }
    static_cast<void>(::closedir(dir));
}

// A new temporary file in folder; its name goes to temp. Mode 0666: the
// kernel takes off the umask (or applies the folder's default ACL) as for
// any new file.
int createTemp(const std::string& folder, std::string& temp)
{
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    const std::string stem =
        folder + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + "@" + hostName() + "-";
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
        temp = stem;
        for (int i = 0; i < kTempRandomLetters; ++i)
            temp += kLetters[pick(random)];
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace ta
