#include "StopSignals.h"

#include "link/port/SocketWait.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ta::link {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The pipe's write end. A signal handler can reach no object, so this one
// descriptor has to live outside any; it is set and cleared by StopSignals.
volatile sig_atomic_t signalPipe = -1;

extern "C" void noteStopSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (signalPipe >= 0)
        (void)!::write(signalPipe, &number, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(Clock& clock, std::function<void(int signal)> onSignal) : onSignal_(std::move(onSignal))
{
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    signalPipe = pipe_[1];
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous_[i]);
    installed_ = true;
    watch_ = clock.watchReadable(pipe_[0], [this] { drain(); });
    // The port layer's blocking waits end at a signal; without a loop that
    // drains the pipe they would end at once for ever after one.
    if (watch_)
        setStopDescriptor(pipe_[0]);
}

StopSignals::~StopSignals()
{
    if (installed_)
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &previous_[i], nullptr);
    signalPipe = -1;
    if (watch_)
        setStopDescriptor(-1);
    watch_.reset();
    for (int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void StopSignals::drain()
{
    unsigned char numbers[16];
    ssize_t n = 0;
    while ((n = ::read(pipe_[0], numbers, sizeof numbers)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (onSignal_)
                onSignal_(numbers[i]);
}

} // namespace ta::link
