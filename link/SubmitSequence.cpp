// Writing the editor's settings to the TA: one assignment per line, each
// sent only after the previous one was answered with "OK".
#include "TaLink.h"

#include "atcmd/ChangeBatch.h"
#include "atcmd/SubmitBatch.h"

#include <algorithm>

namespace ta::link {

namespace {

constexpr int kX25GroupSize = 9;
// Timeouts in a row without a byte from the TA: a restart is about as long.
constexpr int kQuietTimeoutsOfARestart = 2;

} // namespace

void TaLink::startSubmit()
{
    readBack_.reset();
    restartWatch_.suspected = false;
    restartWatch_.quietTimeouts = 0;
    screen_.enableEditor(false);
    ex_.submitIndex = 0;
    ex_.retryCount = 0;
    screen_.setProgress(0);
    ex_.transactionState = tsSubmitting;
    screen_.collectProfile();
    batch_ = apply_ ? atcmd::changeBatch(ctx_.workingProfile, commandOptions(ctx_), apply_->differences)
                    : atcmd::buildSubmitEntries(ctx_.workingProfile, commandOptions(ctx_));
    ex_.commandList.clear();
    for (const atcmd::BatchEntry& entry : batch_)
        ex_.commandList.push_back(entry.command);
    ex_.commandIds.clear();
    batchCount_ = int(ex_.commandList.size());
    written_ = 0;
    screen_.setProgressMax(batchCount_);
    screen_.setProgressCancellable(true);
    screen_.showProgress(true);
}

// The commands that assign a setting; port selection, the store commands
// and the charge clearing are no settings of their own.
int TaLink::settingsInBatch() const
{
    return int(std::count_if(batch_.begin(), batch_.end(), [](const auto& entry) { return entry.param != nullptr; }));
}

bool TaLink::submitUnderWay() const
{
    return ex_.submitIndex >= 0 && ex_.submitIndex < batchCount_ &&
           ex_.submitIndex < int(ex_.commandList.size());
}

void TaLink::sendSubmitCommand()
{
    if (!submitUnderWay() || stopIfCancelled())
        return;
    const std::string command = "AT" + ex_.commandList[std::size_t(ex_.submitIndex)];
    restartWatch_.atSend = restartWatch_.received;
    sendRaw(command + "\r", command);
    tmSmtTimer_->setEnabled(true);
}

bool TaLink::advanceSubmit()
{
    tmSmtTimer_->setEnabled(false);
    restartWatch_.quietTimeouts = 0;
    ++ex_.submitIndex;
    ex_.retryCount = 0;
    screen_.setProgress(ex_.submitIndex);
    return ex_.submitIndex != batchCount_;
}

bool TaLink::skipSubmitX25Group()
{
    tmSmtTimer_->setEnabled(false);
    restartWatch_.quietTimeouts = 0;
    ex_.submitIndex += kX25GroupSize;
    ex_.retryCount = 0;
    if (ex_.submitIndex >= batchCount_) {
        ex_.submitIndex = batchCount_;
        screen_.setProgress(batchCount_);
        return false;
    }
    screen_.setProgress(ex_.submitIndex);
    return true;
}

void TaLink::onSubmitReply()
{
    // An "OK" after the batch has ended belongs to no command; consumed as
    // after a query.
    if (!submitUnderWay()) {
        ex_.replyBuffer.clear();
        return;
    }
    if (std::size_t(ex_.submitIndex) < batch_.size() && batch_[std::size_t(ex_.submitIndex)].param)
        ++written_;
    if (advanceSubmit())
        sendSubmitCommand();
    else
        finishSubmit(true);
}

void TaLink::finishSubmit(bool clearReply)
{
    if (restartWatch_.suspected)
        logLine("[the TA may have restarted during the submit and lost what it had not stored: "
                "its settings are read back]");
    // An apply reads back what it wrote, whatever the switch says.
    if (ctx_.verifyAfterSubmit || restartWatch_.suspected || apply_) {
        requestReadBack();
        return;
    }
    screen_.enableEditor(true);
    screen_.focusEditor();
    screen_.showProgress(false);
    if (clearReply)
        ex_.replyBuffer.clear();
    screen_.submitDone();
}

void TaLink::failSubmit()
{
    ex_.transactionState = tsDiscard;
    ex_.nextState = tsIdentify;
    screen_.showProgress(false);
    screen_.showDetailedMessage(failureMessage(Failure::Submit), refusedDetails());
    screen_.enableEditor(true);
    screen_.focusEditor();
}

// Silence through a re-send lasts as long as a restart of the TA, which
// loses what it had not stored.
void TaLink::noteSubmitTimeout()
{
    RestartWatch& watch = restartWatch_;
    watch.quietTimeouts = watch.received == watch.atSend ? watch.quietTimeouts + 1 : 0;
    if (watch.quietTimeouts >= kQuietTimeoutsOfARestart)
        watch.suspected = true;
}

void TaLink::tmSmtTimerTimer()
{
    tmSmtTimer_->setEnabled(false);
    ++ex_.retryCount;
    if (!submitUnderWay())
        return;
    noteSubmitTimeout();
    if (ex_.retryCount < kSubmitSends) {
        if (!sendEchoFirst(*tmSmtTimer_))
            sendSubmitCommand();
        return;
    }
    const std::string command = ex_.commandList[std::size_t(ex_.submitIndex)];
    if (ctx_.switches.sysDateTime && isDateTimeEntry(command)) {
        // A TA without a clock: the date/time commands are the last ones.
        finishSubmit(false);
    } else if (isPortEndEntry(command)) {
        if (advanceSubmit())
            sendSubmitCommand();
        else
            finishSubmit(true);
    } else if (isX25Entry(command)) {
        screen_.removeX25Support();
        if (skipSubmitX25Group())
            sendSubmitCommand();
        else
            finishSubmit(true);
    } else {
        failSubmit();
    }
}

} // namespace ta::link
