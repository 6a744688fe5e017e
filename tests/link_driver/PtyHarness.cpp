#include "PtyHarness.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace ta::link::test {

Pty::Pty()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    slavePath_ = ::ptsname(master_);
}

Pty::~Pty() { closeMaster(); }

void Pty::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void Pty::send(const std::string& bytes)
{
    if (::write(master_, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        throw std::runtime_error("pty write failed");
}

std::string Pty::receive(std::size_t count, int timeoutMs)
{
    std::string got;
    const int rounds = std::max(1, timeoutMs / 10);
    for (int i = 0; i < rounds && got.size() < count; ++i) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 10) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0)
            got.append(buf, std::size_t(n));
    }
    return got;
}

class PollLoopClock::Watch : public ReadWatch {
public:
    explicit Watch(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
    ~Watch() override { entry_->stopped = true; }

private:
    std::shared_ptr<Entry> entry_;
};

std::unique_ptr<ReadWatch> PollLoopClock::watchReadable(int fd, std::function<void()> onReadable)
{
    auto entry = std::make_shared<Entry>(Entry{fd, std::move(onReadable)});
    watches_.push_back(entry);
    return std::make_unique<Watch>(entry);
}

int PollLoopClock::runOnce(int timeoutMs)
{
    std::erase_if(watches_, [](const auto& e) { return e->stopped; });
    std::vector<pollfd> fds;
    for (const auto& e : watches_)
        fds.push_back(pollfd{e->fd, POLLIN, 0});
    const auto snapshot = watches_;
    int called = 0;
    if (::poll(fds.data(), fds.size(), timeoutMs) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0 || snapshot[i]->stopped)
                continue;
            const auto callback = snapshot[i]->onReadable;
            callback();
            ++called;
        }
    }
    watchCalls_ += called;
    virtual_.runDue();
    return called;
}

bool PollLoopClock::runUntil(const std::function<bool()>& pred, int maxRounds, int timeoutMs)
{
    for (int i = 0; i < maxRounds && !pred(); ++i)
        runOnce(timeoutMs);
    return pred();
}

HoldingProcess::HoldingProcess(const std::string& path, const std::function<bool(int fd)>& hold)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char ok = fd >= 0 && hold(fd) ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char answer = '0';
    ready_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == '1';
    ::close(ready[0]);
}

HoldingProcess::~HoldingProcess()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

int runUnprivileged(const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(125);
        ::_exit(work());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name))
        saved_ = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (saved_)
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

} // namespace ta::link::test
