#include "tests/link_pty/TasimProcess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ta::ptytest {

namespace {

// The child keeps only its standard streams: a descriptor of the test (a
// serial port it holds, say) must not stay open in tasim.
[[noreturn]] void execTasim(int outFd, const std::vector<std::string>& options)
{
    ::dup2(outFd, STDOUT_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        ::close(fd);
    std::vector<char*> argv{const_cast<char*>(TASIM_PATH)};
    for (const auto& option : options)
        argv.push_back(const_cast<char*>(option.c_str()));
    argv.push_back(nullptr);
    ::execv(TASIM_PATH, argv.data());
    ::_exit(127);
}

std::string firstLine(int fd)
{
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

} // namespace

TasimProcess::TasimProcess(const std::vector<std::string>& options)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0)
        execTasim(fds[1], options);
    ::close(fds[1]);
    if (pid_ > 0)
        path_ = firstLine(fds[0]);
    ::close(fds[0]);
}

TasimProcess::~TasimProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

void TasimProcess::pullCable()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

PortAlias::PortAlias()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ta-pty-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        dir_ = pattern;
    path_ = dir_ + "/ttyTA";
}

PortAlias::~PortAlias()
{
    if (!dir_.empty())
        std::filesystem::remove_all(dir_);
}

bool PortAlias::pointAt(const std::string& target)
{
    const std::string fresh = dir_ + "/ttyTA.new";
    ::unlink(fresh.c_str());
    return ::symlink(target.c_str(), fresh.c_str()) == 0 && ::rename(fresh.c_str(), path_.c_str()) == 0;
}

} // namespace ta::ptytest
