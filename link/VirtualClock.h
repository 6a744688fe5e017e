// Virtual time for the tests: nothing happens until the test advances the
// clock, and then every timer fires at its exact virtual moment, in order.
#pragma once

#include "Clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace ta::link {

class VirtualClock : public Clock {
public:
    VirtualClock();
    ~VirtualClock() override;

    std::unique_ptr<Timer> createTimer() override;
    uint32_t tickMs() const override { return uint32_t(now_); }
    void post(std::function<void()> fn) override;
    std::unique_ptr<ReadWatch> watchReadable(int, std::function<void()>) override { return nullptr; }

    uint64_t now() const { return now_; }
    // Runs everything due up to now + ms, in time order, then sets the time.
    void advance(uint64_t ms);
    // Runs what is due now (posted calls and timers at the current time).
    void runDue();
    // Advances until pred() holds or limitMs have passed; true if it held.
    // An exchange that keeps scheduling work at one moment, so that time
    // never moves on, throws std::runtime_error instead of spinning for ever.
    bool runUntil(const std::function<bool()>& pred, uint64_t limitMs);
    // Time of the next scheduled event, or UINT64_MAX when nothing is pending.
    uint64_t nextDue() const;

private:
    class VTimer;
    struct Event {
        std::function<void()> fn;
        VTimer* timer = nullptr; // set for timer firings
    };
    using Key = std::pair<uint64_t, uint64_t>; // (due time, sequence)

    Key schedule(uint64_t due, Event ev);
    void cancel(const Key& key);
    bool runOne(uint64_t limit);

    uint64_t now_ = 0;
    uint64_t seq_ = 0;
    uint64_t runsAtThisMoment_ = 0;
    std::map<Key, Event> events_;
    std::shared_ptr<bool> alive_;
};

} // namespace ta::link
