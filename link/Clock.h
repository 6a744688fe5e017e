// Time for the link: every timer and the millisecond tick go through here, so
// the program runs on Qt's event loop and the tests on virtual time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace ta::link {

// A periodic timer in the manner of a window timer: it fires every interval
// while enabled. Enabling an enabled timer does not restart it; changing the
// interval of an enabled timer restarts it from now.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    virtual void setCallback(std::function<void()> onTimeout) = 0;
};

// Calls its callback while the descriptor is readable. Destroying it stops it.
class ReadWatch {
public:
    virtual ~ReadWatch() = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    // Milliseconds since some fixed start; wraps like a tick count.
    virtual uint32_t tickMs() const = 0;
    // Runs fn once, soon, from the event loop (never from inside the caller).
    virtual void post(std::function<void()> fn) = 0;
    // Watches a file descriptor for readability; nullptr when the clock has
    // no descriptors to watch (virtual time).
    virtual std::unique_ptr<ReadWatch> watchReadable(int fd, std::function<void()> onReadable) = 0;
};

// A device's ready handler over its descriptor: watched while a handler is
// set. The handler may close the port and so destroy the device; it runs
// from a copy.
class ReadyWatch {
public:
    void set(Clock& clock, int fd, std::function<void()> onReady)
    {
        onReady_ = std::move(onReady);
        if (!onReady_) {
            stop();
            return;
        }
        if (!watch_)
            watch_ = clock.watchReadable(fd, [this] {
                const auto handler = onReady_;
                if (handler)
                    handler();
            });
    }
    void stop() { watch_.reset(); }

private:
    std::function<void()> onReady_;
    std::unique_ptr<ReadWatch> watch_;
};

} // namespace ta::link
