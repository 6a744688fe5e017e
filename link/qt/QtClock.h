// The link's clock on Qt's event loop: timers, the millisecond tick, posted
// calls and descriptor watches all run on the thread that owns the clock.
#pragma once

#include "link/Clock.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

namespace ta::link {

class QtClock : public Clock {
public:
    QtClock();
    ~QtClock() override;
    QtClock(const QtClock&) = delete;
    QtClock& operator=(const QtClock&) = delete;

    std::unique_ptr<Timer> createTimer() override;
    uint32_t tickMs() const override;
    void post(std::function<void()> fn) override;
    std::unique_ptr<ReadWatch> watchReadable(int fd, std::function<void()> onReadable) override;

private:
    QElapsedTimer started_;
    // Receiver of posted calls: those still pending die with the clock.
    std::unique_ptr<QObject> postTarget_;
};

} // namespace ta::link
