// Firmware upload: "AT$D99" puts the TA in download mode, the image goes out
// in XMODEM-1K blocks, the TA reboots and is found again, and the editor's
// settings are written back to it.
#include "link/port/PortReport.h"
#include "TaLink.h"
#include "LocalChecks.h"
#include "TimerIntervals.h"

#include <algorithm>

namespace ta::link {

namespace {

// The end of the transfer waits kTimerMs.endAnswer for its ACK and goes out
// this often in all; after that the blocks, all acknowledged, count as delivered.
constexpr int kEndSends = 5;

} // namespace

void TaLink::requestUpgrade(const std::string& path)
{
    beginRequest();
    identifyOnly_ = false;
    failureClass_ = FailureClass::None;
    apply_.reset();
    upg_.firmwarePath = path;
    // The file is checked before any TA contact: "Can not open file!", and
    // why in the details.
    if (const auto loaded = LoadFirmwareImage(path); !loaded) {
        failureClass_ = FailureClass::Local;
        screen_.showDetailedMessage(kCannotOpenFileText, loaded.error());
        return;
    }
    // The upgrade ends in a submit of the settings: what the rules refuse is
    // told before the firmware goes.
    if (refusedByFieldRules(ex_.transactionState != tsIdle))
        return;
    ex_.pendingOperation = poUpgrade;
    if (ex_.transactionState != tsIdle) {
        StartUpgrade();
        return;
    }
    // Handshake and retry counter stay as they are, unlike after a reboot.
    startDiscovery(Caller::Editor);
}

// An empty file is not firmware: refusing it keeps the TA out of download
// mode with nothing to send.
Result<> TaLink::LoadFirmwareImage(const std::string& path)
{
    upg_.firmwareImage.clear();
    upg_.imageLength = 0;
    auto bytes = readFirmwareFile(path);
    if (!bytes)
        return unexpected(bytes.error());
    upg_.firmwareImage = xmodem::padImage(std::move(*bytes));
    upg_.imageLength = int(upg_.firmwareImage.size());
    return {};
}

void TaLink::StartUpgrade()
{
    const auto plan = xmodem::planFor(std::size_t(upg_.imageLength));
    upg_.imageCursor = 0;
    upg_.bigBlocksLeft = plan.bigBlocks;
    upg_.blocksLeft = plan.total();
    upg_.totalBlocks = plan.total();
    upg_.watchBlocksLeft = -1;
    upg_.blockNumber = 1;
    upg_.watchdogRecycled = false;
    upg_.lastBlock.clear();
    upg_.endSends = 0;

    screen_.setProgressCaption("Firmware upgrade progress status");
    screen_.setProgressMax(upg_.blocksLeft);
    screen_.setProgress(0);
    screen_.setProgressCancellable(false);
    screen_.showProgress(true);

    cCom_->PurgeBuffers(true, true);
    sendRaw("AT$D99\r", "AT$D99");
    ex_.transactionState = tsUpgrading;
    upg_.upgradeStep = usWaitStart;
    tmUpgTimer_->setEnabled(false);
    tmUpgTimer_->setInterval(kTimerMs.transferWatchdog);
    tmUpgTimer_->setEnabled(true);
}

void TaLink::SendBlock()
{
    const std::size_t size = upg_.bigBlocksLeft != 0 ? xmodem::kBigBlock : xmodem::kSmallBlock;
    const std::size_t cursor = std::size_t(upg_.imageCursor);
    if (cursor + size > upg_.firmwareImage.size())
        return; // the plan never asks for this; never read past the image
    upg_.lastBlock = xmodem::buildBlock(upg_.firmwareImage.data() + cursor, size, upg_.blockNumber);
    upg_.imageCursor += int(size);
    resendBlock();
}

// A block cut short is not completed later: the receiver drops a block that
// stalls and asks for it again with NAK, and the watchdog covers silence.
void TaLink::resendBlock()
{
    writeOut(upg_.lastBlock.data(), upg_.lastBlock.size(), "block " + std::to_string(upg_.blockNumber));
    screen_.setProgress(upg_.blockNumber - 1);
}

// Each end of transfer waits a short while for its answer, as XMODEM
// senders do, instead of the watchdog's long period.
void TaLink::SendEnd()
{
    const uint8_t eot = xmodem::EOT;
    ++upg_.endSends;
    writeOut(&eot, 1, "end of transfer"); // unanswered, it goes out again
    armEndWait();
}

void TaLink::armEndWait()
{
    tmUpgTimer_->setEnabled(false);
    tmUpgTimer_->setInterval(kTimerMs.endAnswer);
    tmUpgTimer_->setEnabled(true);
}

// Every block was acknowledged, so a lost answer to the end does not make a
// good image bad: after a few tries the TA restarts as after the answer, and
// finding it again tells whether it took the firmware.
void TaLink::endUnanswered()
{
    if (upg_.endSends < kEndSends) {
        SendEnd();
        return;
    }
    logLine("[no answer to the end of the transfer; every block was acknowledged]");
    upg_.upgradeStep = usFinished;
    screen_.setProgress(upg_.totalBlocks);
    FinishUpgrade();
}

// Two or more CAN bytes end a transfer at the receiving side.
void TaLink::cancelTransfer()
{
    const uint8_t cancel[] = {xmodem::CAN, xmodem::CAN, xmodem::CAN};
    if (upg_.upgradeStep == usWaitStart || upg_.upgradeStep == usSendBlocks || upg_.upgradeStep == usEndSent)
        writeOut(cancel, sizeof cancel, "cancel of the transfer");
    upg_.upgradeStep = usAborted;
}

void TaLink::OnUpgradeByte(uint8_t byte)
{
    switch (upg_.upgradeStep) {
    case usWaitStart:
        if (byte == xmodem::START && upg_.blocksLeft == 0) {
            // Nothing to send: the transfer is only its end.
            SendEnd();
            upg_.upgradeStep = usEndSent;
        } else if (byte == xmodem::START) {
            SendBlock();
            upg_.upgradeStep = usSendBlocks;
        }
        break;
    case usSendBlocks:
        if (byte == xmodem::ACK) {
            ++upg_.blockNumber;
            if (upg_.bigBlocksLeft != 0)
                --upg_.bigBlocksLeft;
            --upg_.blocksLeft;
            if (upg_.blocksLeft > 0) {
                SendBlock();
            } else {
                SendEnd();
                upg_.upgradeStep = usEndSent;
            }
        } else if (byte == xmodem::NAK) {
            resendBlock();
        } else if (byte == xmodem::CAN) {
            upg_.upgradeStep = usAborted;
            AbortUpgrade();
        }
        break;
    case usEndSent:
        if (byte == xmodem::ACK) {
            upg_.upgradeStep = usFinished;
            screen_.setProgress(upg_.totalBlocks);
            FinishUpgrade();
        } else if (byte == xmodem::NAK) {
            SendEnd();
        } else if (byte == xmodem::CAN) {
            upg_.upgradeStep = usAborted;
            screen_.setProgress(upg_.totalBlocks);
            AbortUpgrade();
        }
        break;
    case usFinished:
    case usAborted:
        break;
    }
}

void TaLink::FinishUpgrade()
{
    screen_.showProgress(false);
    if (ctx_.remoteChosen)
        sendRaw("AT$REBOOT\r", "AT$REBOOT");
    ex_.transactionState = tsRebooting;
    // The countdown shows the seconds of the wait, rounded up.
    tick_ = (std::max(ctx_.rebootWaitMs, 0) + kTimerMs.countdownTick - 1) / kTimerMs.countdownTick;
    screen_.setTickText(std::to_string(tick_));
    tmTickTimer_->setInterval(kTimerMs.countdownTick);
    tmTickTimer_->setEnabled(true);
    screen_.showRebooting(true);
    tmUpgTimer_->setEnabled(false);
    tmUpgTimer_->setInterval(ctx_.rebootWaitMs);
    tmUpgTimer_->setEnabled(true);
}

void TaLink::AbortUpgrade()
{
    tmUpgTimer_->setEnabled(false);
    screen_.showProgress(false);
    screen_.setProgress(0);
    ex_.pendingOperation = poNone;
    ex_.transactionState = tsIdle;
    recyclePort();
    // A remote TA's call is not needed any more.
    if (ctx_.remoteChosen && ex_.callDialled)
        releaseCall(CallEnd::StayIdle);
    screen_.showMessage(failureMessage(Failure::UpgradeAborted));
    // An upload that began with discovery left the editor disabled.
    if (callEnd_ == CallEnd::None && !sessionEnded_) {
        screen_.enableEditor(true);
        screen_.focusEditor();
    }
}

// A port that does not open again stays closed: the watchdog's next period
// ends the transfer, and the next request or the rescan after a restart
// looks for the TA anew.
void TaLink::recyclePort()
{
    cCom_->ClosePort();
    cCom_->PurgeBuffers(true, true);
    if (!cCom_->OpenPort())
        logLine("[" + cCom_->PortName() + " did not open again: " + portStatusText(cCom_->openFailure()) + "]");
}

void TaLink::tmUpgTimerTimer()
{
    tmUpgTimer_->setEnabled(false);
    const bool transferring = ex_.transactionState == tsUpgrading;
    if (transferring && upg_.upgradeStep == usEndSent) {
        endUnanswered();
        return;
    }
    if (transferring && upg_.upgradeStep == usSendBlocks && upg_.blocksLeft != upg_.watchBlocksLeft) {
        upg_.watchBlocksLeft = upg_.blocksLeft;
        upg_.watchdogRecycled = false;
        tmUpgTimer_->setEnabled(true);
        return;
    }
    if (transferring && upg_.watchdogRecycled) {
        // A second watchdog period without progress: the TA is not coming back.
        upg_.upgradeStep = usAborted;
        AbortUpgrade();
        return;
    }
    recyclePort();
    if (transferring) {
        // Give the TA one more period to resume after the port was recycled.
        upg_.watchdogRecycled = true;
        tmUpgTimer_->setEnabled(true);
        return;
    }
    if (ex_.transactionState == tsRebooting && upg_.upgradeStep == usFinished)
        AfterReboot();
}

void TaLink::tmTickTimerTimer()
{
    tmTickTimer_->setEnabled(false);
    if (ex_.transactionState != tsRebooting)
        return;
    if (tick_ > 0) {
        tmTickTimer_->setEnabled(true);
        --tick_;
        screen_.setTickText(std::to_string(tick_));
    } else {
        screen_.setTickText(".");
    }
}

void TaLink::AfterReboot()
{
    screen_.showRebooting(false);
    screen_.setProgressCaption("Query setting progress status");
    screen_.setProgress(0);
    ex_.pendingOperation = poNone;
    ex_.transactionState = tsIdle;
    ex_.callDialled = false; // a remote TA's call dropped when it restarted
    startDiscovery(Caller::Reboot);
}

} // namespace ta::link
