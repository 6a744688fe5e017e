// Firmware download and restart of the simulated TA.
#include "sim/SimTa.h"

namespace ta::sim {

void SimTa::startDownload(uint64_t nowMs)
{
    mode_ = Mode::Download;
    xmodem_.start(nowMs, options_.cancelAfterBlocks);
    pumpDownload(nowMs);
}

void SimTa::pumpDownload(uint64_t nowMs)
{
    std::string answer = xmodem_.takeOutput();
    const bool ended = xmodem_.state() == XmodemReceiver::State::Done;
    if (options_.loseEndAck && ended && !answer.empty() && uint8_t(answer.back()) == XmodemReceiver::ACK)
        answer.pop_back(); // the line lost it: the sender never hears the end was taken
    out_ += answer;
    if (mode_ != Mode::Download || xmodem_.active())
        return;
    mode_ = Mode::Command;
    if (xmodem_.state() != XmodemReceiver::State::Done)
        return;
    image_ = xmodem_.image();
    ++downloads_;
    if (onImage_)
        onImage_(image_);
    // Reached through a call, the TA waits for "AT$REBOOT" so that the
    // caller still hears the end of the transfer; locally it restarts at once.
    if (!throughCall_)
        reboot(nowMs);
}

void SimTa::cancelDownloadNow()
{
    if (mode_ != Mode::Download)
        return;
    xmodem_.cancelNow();
    pumpDownload(lastNowMs_);
}

void SimTa::reboot(uint64_t nowMs)
{
    if (callUp_)
        hangUp(); // a restarting TA says nothing; the line just drops
    mode_ = Mode::Rebooting;
    rebootEndMs_ = nowMs + options_.rebootMs;
    line_.clear();
    delayed_.clear(); // what it had still to say is lost with the restart
    ++reboots_;
}

void SimTa::restartNow(uint64_t nowMs)
{
    if (stored_)
        store_ = *stored_;
    reboot(nowMs);
    rebootEndMs_ = nowMs + options_.restartMs;
}

void SimTa::endReboot()
{
    mode_ = Mode::Command;
    resetSession();
}

} // namespace ta::sim
