// The ISDN call of the simulated TA: dialling, the data phase with the TA at
// the other end, the "+++" escape and the hang-up.
#include "sim/SimTa.h"

namespace ta::sim {
namespace {

constexpr char kConnect[] = "CONNECT 64000";

} // namespace

SimTa& SimTa::remote()
{
    if (!remote_)
        remote_ = std::make_unique<SimTa>();
    return *remote_;
}

SimTa& SimTa::setRemote(SimTaOptions options)
{
    if (callUp_)
        dropCall();
    remote_ = std::make_unique<SimTa>(std::move(options));
    return *remote_;
}

SimTa::Result SimTa::executeDial(const std::string& number, uint64_t nowMs)
{
    if (callUp_)
        return Result::Error;
    lastDialled_ = number;
    if (options_.dial == DialOutcome::Silent)
        return Result::None; // the call attempt vanishes without a word
    mode_ = Mode::Dialing;
    dialDueMs_ = nowMs + options_.dialDelayMs;
    return Result::None;
}

void SimTa::finishDial()
{
    mode_ = Mode::Command;
    switch (options_.dial) {
    case DialOutcome::Connect:
        if (remote().mode() == Mode::Rebooting)
            emitResult("NO CARRIER"); // nobody answers while the far TA restarts
        else
            connect();
        break;
    case DialOutcome::Busy: emitResult("BUSY"); break;
    case DialOutcome::NoDialTone: emitResult("NO DIAL TONE"); break;
    case DialOutcome::NoCarrier: emitResult("NO CARRIER"); break;
    case DialOutcome::Silent: break;
    }
}

void SimTa::connect()
{
    SimTa& far = remote();
    far.resetSession();
    far.mode_ = Mode::Command;
    far.throughCall_ = true;
    far.takeOutput();
    callUp_ = true;
    mode_ = Mode::Online;
    plusCount_ = 0;
    dataSeen_ = false;
    emitResult(kConnect);
}

void SimTa::hangUp()
{
    callUp_ = false;
    if (mode_ == Mode::Online)
        mode_ = Mode::Command;
    plusCount_ = 0;
    if (remote_) {
        remote_->throughCall_ = false;
        remote_->takeOutput(); // what was still on its way is lost with the line
    }
}

void SimTa::dropCall()
{
    if (!callUp_)
        return;
    hangUp();
    emitResult("NO CARRIER");
}

SimTa::Result SimTa::executeHangUp()
{
    if (callUp_)
        hangUp();
    return Result::Ok;
}

SimTa::Result SimTa::executeOnline()
{
    if (!callUp_)
        return Result::Error;
    mode_ = Mode::Online;
    plusCount_ = 0;
    emitResult(kConnect);
    return Result::None;
}

// Data for the far TA. "+++" is watched for on the way: three plus signs,
// with the guard time of quiet before them (and, in checkEscape, after them).
void SimTa::forwardToRemote(const uint8_t* data, std::size_t size, uint64_t nowMs)
{
    for (std::size_t i = 0; i < size; ++i) {
        bool quietBefore = !dataSeen_ || nowMs >= lastDataMs_ + options_.escapeGuardMs;
        if (data[i] == '+' && (plusCount_ > 0 || quietBefore)) {
            plusCount_ = plusCount_ < 3 ? plusCount_ + 1 : 0;
            plusMs_ = nowMs;
        } else {
            plusCount_ = 0;
        }
        lastDataMs_ = nowMs;
        dataSeen_ = true;
    }
    remote().receive(data, size, nowMs);
}

void SimTa::checkEscape(uint64_t nowMs)
{
    if (mode_ != Mode::Online || plusCount_ != 3 || nowMs < plusMs_ + options_.escapeGuardMs)
        return;
    plusCount_ = 0;
    mode_ = Mode::Command;
    emitResult("OK");
}

void SimTa::pumpRemote(uint64_t nowMs)
{
    if (!remote_)
        return;
    remote_->tick(nowMs);
    if (!callUp_)
        return;
    if (mode_ == Mode::Online)
        out_ += remote_->takeOutput();
    if (remote_->mode() == Mode::Rebooting)
        dropCall();
}

} // namespace ta::sim
