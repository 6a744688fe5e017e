#include "VirtualClock.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace ta::link {

namespace {
// Far more than any exchange does at one moment; beyond it, time stands still.
constexpr uint64_t kMaxRunsAtOneMoment = 100000;
} // namespace

class VirtualClock::VTimer : public Timer {
public:
    explicit VTimer(VirtualClock& clock) : clock_(clock), alive_(clock.alive_) {}
    ~VTimer() override { unschedule(); }

    void setInterval(int ms) override
    {
        if (ms == interval_)
            return;
        interval_ = ms;
        if (enabled_)
            reschedule();
    }
    int interval() const override { return interval_; }
    void setEnabled(bool on) override
    {
        if (on == enabled_)
            return;
        enabled_ = on;
        if (on)
            reschedule();
        else
            unschedule();
    }
    bool enabled() const override { return enabled_; }
    void setCallback(std::function<void()> cb) override { callback_ = std::move(cb); }

    void fire()
    {
        scheduled_ = false;
        // A periodic timer: the next firing is one interval after this one.
        reschedule();
        if (callback_)
            callback_();
    }

private:
    void reschedule()
    {
        unschedule();
        if (!enabled_ || interval_ <= 0)
            return;
        key_ = clock_.schedule(clock_.now_ + uint64_t(interval_), Event{nullptr, this});
        scheduled_ = true;
    }
    void unschedule()
    {
        if (scheduled_ && *alive_)
            clock_.cancel(key_);
        scheduled_ = false;
    }

    VirtualClock& clock_;
    std::shared_ptr<bool> alive_;
    std::function<void()> callback_;
    int interval_ = 1000;
    bool enabled_ = false;
    bool scheduled_ = false;
    Key key_{};
};

VirtualClock::VirtualClock() : alive_(std::make_shared<bool>(true)) {}

VirtualClock::~VirtualClock() { *alive_ = false; }

std::unique_ptr<Timer> VirtualClock::createTimer() { return std::make_unique<VTimer>(*this); }

void VirtualClock::post(std::function<void()> fn) { schedule(now_, Event{std::move(fn), nullptr}); }

VirtualClock::Key VirtualClock::schedule(uint64_t due, Event ev)
{
    Key key{due, seq_++};
    events_.emplace(key, std::move(ev));
    return key;
}

void VirtualClock::cancel(const Key& key) { events_.erase(key); }

bool VirtualClock::runOne(uint64_t limit)
{
    if (events_.empty() || events_.begin()->first.first > limit)
        return false;
    auto it = events_.begin();
    runsAtThisMoment_ = it->first.first == now_ ? runsAtThisMoment_ + 1 : 0;
    if (runsAtThisMoment_ > kMaxRunsAtOneMoment)
        throw std::runtime_error("virtual time stands still at " + std::to_string(now_) +
                                 " ms: the same moment keeps scheduling work");
    now_ = it->first.first;
    Event ev = std::move(it->second);
    events_.erase(it);
    if (ev.timer)
        ev.timer->fire();
    else if (ev.fn)
        ev.fn();
    return true;
}

void VirtualClock::advance(uint64_t ms)
{
    const uint64_t target = now_ + ms;
    while (runOne(target)) {
    }
    now_ = target;
}

void VirtualClock::runDue()
{
    while (runOne(now_)) {
    }
}

bool VirtualClock::runUntil(const std::function<bool()>& pred, uint64_t limitMs)
{
    const uint64_t target = now_ + limitMs;
    while (!pred()) {
        if (!runOne(target)) {
            now_ = target;
            return pred();
        }
    }
    return true;
}

uint64_t VirtualClock::nextDue() const
{
    return events_.empty() ? std::numeric_limits<uint64_t>::max() : events_.begin()->first.first;
}

} // namespace ta::link
