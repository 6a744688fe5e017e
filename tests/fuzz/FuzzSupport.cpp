#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace ta::fuzz {

std::string_view FuzzInput::take(std::size_t n)
{
    n = std::min(n, left());
    const std::string_view piece(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return piece;
}

void fail(const char* file, int line, const std::string& what)
{
    std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

namespace {

struct ScratchFiles {
    std::map<std::string, std::string> paths;
    ~ScratchFiles()
    {
        for (const auto& entry : paths)
            ::unlink(entry.second.c_str());
    }
};

std::string tempFolder()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

} // namespace

const std::string& scratchFile(const char* tag)
{
    static ScratchFiles files;
    auto& path = files.paths[tag];
    if (path.empty()) {
        std::string pattern = tempFolder() + "/ta-fuzz-" + tag + "-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            fail(__FILE__, __LINE__, "cannot create a scratch file in " + tempFolder());
        ::close(fd);
        path = pattern;
    }
    return path;
}

void writeFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(__FILE__, __LINE__, "cannot write " + path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            fail(__FILE__, __LINE__, "short write to " + path);
        done += std::size_t(n);
    }
    ::close(fd);
}

} // namespace ta::fuzz
