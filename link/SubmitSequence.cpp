// Writing the editor's settings to the TA: one assignment per line, each
// sent only after the previous one was answered with "OK".
#include "TaLink.h"

#include "atcmd/SubmitBatch.h"

namespace ta::link {

namespace {

constexpr int kSubmitSends = 7; // per command
constexpr int kX25GroupSize = 9;

} // namespace

void TaLink::startSubmit()
{
    screen_.enableEditor(false);
    ctx_.submitIndex = 0;
    ctx_.retryCount = 0;
    screen_.setProgress(0);
    ctx_.transactionState = tsSubmitting;
    screen_.collectProfile();
    ctx_.commandList = atcmd::buildSubmitBatch(ctx_.workingProfile, commandOptions(ctx_));
    ctx_.commandIds.clear();
    batchCount_ = int(ctx_.commandList.size());
    screen_.setProgressMax(batchCount_);
    screen_.showProgress(true);
}

bool TaLink::submitUnderWay() const
{
    return ctx_.submitIndex >= 0 && ctx_.submitIndex < batchCount_ &&
           ctx_.submitIndex < int(ctx_.commandList.size());
}

void TaLink::sendSubmitCommand()
{
    if (!submitUnderWay())
        return;
    const std::string command = "AT" + ctx_.commandList[std::size_t(ctx_.submitIndex)];
    sendRaw(command + "\r", command);
    tmSmtTimer_->setEnabled(true);
}

bool TaLink::advanceSubmit()
{
    tmSmtTimer_->setEnabled(false);
    ++ctx_.submitIndex;
    ctx_.retryCount = 0;
    screen_.setProgress(ctx_.submitIndex);
    return ctx_.submitIndex != batchCount_;
}

bool TaLink::skipSubmitX25Group()
{
    tmSmtTimer_->setEnabled(false);
    ctx_.submitIndex += kX25GroupSize;
    ctx_.retryCount = 0;
    if (ctx_.submitIndex >= batchCount_) {
        ctx_.submitIndex = batchCount_;
        screen_.setProgress(batchCount_);
        return false;
    }
    screen_.setProgress(ctx_.submitIndex);
    return true;
}

void TaLink::onSubmitReply()
{
    // An "OK" after the batch has ended belongs to no command; consumed as
    // after a query.
    if (!submitUnderWay()) {
        ctx_.replyBuffer.clear();
        return;
    }
    if (advanceSubmit())
        sendSubmitCommand();
    else
        finishSubmit(true);
}

void TaLink::finishSubmit(bool clearReply)
{
    screen_.enableEditor(true);
    screen_.focusEditor();
    screen_.showProgress(false);
    if (clearReply)
        ctx_.replyBuffer.clear();
    screen_.submitDone();
}

void TaLink::failSubmit()
{
    ctx_.transactionState = tsDiscard;
    ctx_.nextState = tsIdentify;
    screen_.showProgress(false);
    screen_.showMessage("Submit Setting failed, please check the TA!");
    screen_.enableEditor(true);
    screen_.focusEditor();
}

void TaLink::tmSmtTimerTimer()
{
    tmSmtTimer_->setEnabled(false);
    ++ctx_.retryCount;
    if (!submitUnderWay())
        return;
    if (ctx_.retryCount < kSubmitSends) {
        sendSubmitCommand();
        return;
    }
    const std::string command = ctx_.commandList[std::size_t(ctx_.submitIndex)];
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
