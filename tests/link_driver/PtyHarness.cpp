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

} // namespace ta::link::test
