#include "link/qt/QtClock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <utility>

namespace ta::link {

namespace {

class QtTimer : public Timer {
public:
    QtTimer()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(interval_);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto callback = callback_; // the callback may replace itself
            if (callback)
                callback();
        });
    }

    void setInterval(int ms) override
    {
        if (ms == interval_)
            return;
        interval_ = ms;
        timer_.setInterval(ms);
        if (enabled_)
            restart();
    }
    int interval() const override { return interval_; }

    void setEnabled(bool on) override
    {
        if (on == enabled_)
            return;
        enabled_ = on;
        if (on)
            restart();
        else
            timer_.stop();
    }
    bool enabled() const override { return enabled_; }
    void setCallback(std::function<void()> onTimeout) override { callback_ = std::move(onTimeout); }

private:
    // A zero interval would make QTimer fire on every pass of the event
    // loop; such a timer stays silent instead.
    void restart()
    {
        timer_.stop();
        if (interval_ > 0)
            timer_.start();
    }

    QTimer timer_;
    std::function<void()> callback_;
    int interval_ = 1000;
    bool enabled_ = false;
};

class QtReadWatch : public ReadWatch {
public:
    QtReadWatch(int fd, std::function<void()> onReadable)
        : notifier_(new QSocketNotifier(fd, QSocketNotifier::Read)), state_(std::make_shared<State>())
    {
        state_->callback = std::move(onReadable);
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [state = state_] {
            if (state->stopped)
                return;
            ++state->depth;
            const auto callback = state->callback;
            callback();
            --state->depth;
        });
    }

    ~QtReadWatch() override
    {
        notifier_->setEnabled(false);
        state_->stopped = true;
        // Stopped from inside its own callback: the notifier is still
        // emitting, so it goes once control is back in the event loop.
        if (state_->depth > 0)
            notifier_->deleteLater();
        else
            delete notifier_;
    }

    QtReadWatch(const QtReadWatch&) = delete;
    QtReadWatch& operator=(const QtReadWatch&) = delete;

private:
    struct State {
        std::function<void()> callback;
        int depth = 0;
        bool stopped = false;
    };

    QSocketNotifier* notifier_;
    std::shared_ptr<State> state_;
};

} // namespace

QtClock::QtClock() : postTarget_(std::make_unique<QObject>()) { started_.start(); }

QtClock::~QtClock() = default;

std::unique_ptr<Timer> QtClock::createTimer() { return std::make_unique<QtTimer>(); }

uint32_t QtClock::tickMs() const { return uint32_t(started_.elapsed()); }

void QtClock::post(std::function<void()> fn) { QTimer::singleShot(0, postTarget_.get(), std::move(fn)); }

std::unique_ptr<ReadWatch> QtClock::watchReadable(int fd, std::function<void()> onReadable)
{
    return std::make_unique<QtReadWatch>(fd, std::move(onReadable));
}

} // namespace ta::link
