#include "sim/tasim/Server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <poll.h>
#include <unistd.h>

namespace ta::sim {
namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

uint64_t steadyUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// The lines of `ta`'s log after the first `printed`; lines the log forgot
// before they were printed are counted in one line of their own.
void printNewCommands(const SimTa& ta, uint64_t& printed, const char* prefix)
{
    const auto& log = ta.commandLog();
    const uint64_t first = ta.commandsLogged() - log.size();
    if (printed < first) {
        std::fprintf(stderr, "tasim: %s[%llu command lines not shown]\n", prefix,
                     static_cast<unsigned long long>(first - printed));
        printed = first;
    }
    for (; printed < ta.commandsLogged(); ++printed)
        std::fprintf(stderr, "tasim: %s%s\n", prefix, log[std::size_t(printed - first)].c_str());
}

} // namespace

Server::Server(const TasimConfig& config, Pty& pty, int stopFd)
    : config_(config), pty_(pty), stopFd_(stopFd), ta_(config.local),
      inbound_(config.baud, LinePacer::Edge::End), outbound_(config.baud, LinePacer::Edge::Start),
      startUs_(steadyUs())
{
    ta_.setRemote(config.remote);
    ta_.setRandomFaults(config.faultSeed, config.faultPercent);
    if (!config.imageOut.empty()) {
        auto save = [this](const std::vector<uint8_t>& image) { saveImage(image); };
        ta_.setImageHandler(save);
        ta_.remote().setImageHandler(save);
    }
}

uint64_t Server::nowUs() const { return steadyUs() - startUs_; }

// Microseconds until the next byte or timed event is due, or -1 to wait for
// input alone. Pacing in whole milliseconds would add up to a millisecond to
// every exchange; a line at 115200 bit/s carries a byte in 87 us.
int64_t Server::waitUs(uint64_t now, bool outputBlocked) const
{
    uint64_t wakeMs = ta_.nextWakeMs();
    uint64_t outDue = outputBlocked ? kNever : outbound_.nextDueUs();
    uint64_t next = std::min({wakeMs == kNever ? kNever : wakeMs * 1000, inbound_.nextDueUs(), outDue});
    if (next == kNever)
        return -1;
    if (next <= now)
        return 0;
    return int64_t(std::min<uint64_t>(next - now, 60'000'000));
}

bool Server::readLine(uint64_t now)
{
    char buf[4096];
    for (;;) {
        ssize_t n = read(pty_.master, buf, sizeof buf);
        if (n > 0) {
            inbound_.push(std::string(buf, std::size_t(n)), now);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        return false; // the pseudo-terminal is gone (we hold its other side, so it never just hangs up)
    }
}

void Server::feedTa(uint64_t now)
{
    std::string due = inbound_.takeDue(now);
    if (!due.empty())
        ta_.receive(due, now / 1000);
    if (now / 1000 >= ta_.nextWakeMs())
        ta_.tick(now / 1000);
    std::string out = ta_.takeOutput();
    if (!out.empty())
        outbound_.push(out, now);
}

bool Server::writeLine(uint64_t now)
{
    std::string due = outbound_.takeDue(now);
    if (due.empty())
        return true;
    ssize_t n = write(pty_.master, due.data(), due.size());
    if (n < 0 && errno != EAGAIN && errno != EINTR)
        return false;
    std::size_t written = n > 0 ? std::size_t(n) : 0;
    if (written < due.size())
        outbound_.giveBack(due.substr(written));
    return true;
}

void Server::logCommands()
{
    if (!config_.log)
        return;
    printNewCommands(ta_, loggedLocal_, "");
    printNewCommands(ta_.remote(), loggedRemote_, "remote: ");
}

void Server::saveImage(const std::vector<uint8_t>& image) const
{
    std::ofstream file(config_.imageOut, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    if (!file.flush())
        std::fprintf(stderr, "tasim: cannot write %s\n", config_.imageOut.c_str());
}

int Server::run()
{
    for (;;) {
        uint64_t now = nowUs();
        pollfd fds[2] = {{pty_.master, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        // Output that the pseudo-terminal refused waits for room, not for a timer.
        bool blocked = !outbound_.empty() && outbound_.nextDueUs() <= now;
        if (blocked)
            fds[0].events |= POLLOUT;
        const int64_t waitFor = waitUs(now, blocked);
        timespec timeout{time_t(waitFor / 1'000'000), long(waitFor % 1'000'000) * 1000};
        int ready = ppoll(fds, 2, waitFor < 0 ? nullptr : &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            std::perror("tasim: poll");
            return 1;
        }
        if (fds[1].revents)
            return 0;
        now = nowUs();
        bool broken = fds[0].revents & (POLLERR | POLLNVAL);
        if (broken || ((fds[0].revents & POLLIN) && !readLine(now))) {
            std::perror("tasim: read");
            return 1;
        }
        feedTa(now);
        logCommands();
        if (!writeLine(now)) {
            std::perror("tasim: write");
            return 1;
        }
    }
}

} // namespace ta::sim
