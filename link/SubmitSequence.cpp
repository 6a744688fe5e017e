// Writing the editor's settings to the TA: one assignment per line, each
// sent only after the previous one was answered with "OK".
#include "TaLink.h"

#include "atcmd/ChangeBatch.h"
#include "atcmd/SubmitBatch.h"
#include "atcmd/SubmitRules.h"

#include <algorithm>

namespace ta::link {

namespace {

constexpr int kX25GroupSize = 9;

} // namespace

void TaLink::startSubmit()
{
    restartWatch_.suspected = false;
    writeWatch_ = WriteWatch{};
    screen_.enableEditor(false);
    screen_.collectProfile();
    startBatch(apply_ ? atcmd::changeBatch(ctx_.workingProfile, commandOptions(ctx_), apply_->differences)
                      : atcmd::buildSubmitEntries(ctx_.workingProfile, commandOptions(ctx_)));
}

// The first write of a submit, or what its read-back found lacking.
void TaLink::startBatch(std::vector<atcmd::BatchEntry> entries)
{
    readBack_.reset();
    restartWatch_.quietTimeouts = 0;
    ex_.submitIndex = 0;
    ex_.retryCount = 0;
    screen_.setProgress(0);
    ex_.transactionState = tsSubmitting;
    batch_ = std::move(entries);
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

bool TaLink::refusedByFieldRules(bool taKnown)
{
    TaProfile profile = ctx_.workingProfile;
    screen_.collectProfileInto(profile);
    const atcmd::Options options = commandOptions(ctx_);
    const std::vector<RuleBreak> breaks =
        taKnown ? atcmd::submitRuleBreaks(profile, options) : atcmd::ruleBreaksForAnyTa(profile, options);
    if (breaks.empty())
        return false;
    const auto [failure, details] = ruleRefusal(breaks);
    failureClass_ = FailureClass::Local;
    screen_.showDetailedMessage(failureMessage(failure), details);
    return true;
}

std::pair<Failure, std::string> TaLink::ruleRefusal(const std::vector<RuleBreak>& breaks)
{
    std::string details;
    bool thresholdsOnly = true;
    for (const RuleBreak& broken : breaks) {
        details += (details.empty() ? "" : "\n") + ruleBreakLine(broken);
        thresholdsOnly = thresholdsOnly && broken.pair; // the thresholds' is the one rule between fields
    }
    return {thresholdsOnly ? Failure::Thresholds : Failure::FieldRules, details};
}

void TaLink::settleRefusedSubmit()
{
    batch_.clear();
    batchCount_ = 0;
    ex_.commandList.clear();
    ex_.commandIds.clear();
    ex_.submitIndex = 0;
    ex_.transactionState = tsSubmitting;
    screen_.showProgress(false);
    enableAndFocusCallerWindow();
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
    if (interruptPending_) {
        finishInterrupt(false);
        return;
    }
    if (restartWatch_.suspected)
        logLine("[the TA may have restarted during the submit and lost what it had not stored: "
                "its settings are read back]");
    // An apply reads back what it wrote, whatever the switch says.
    if (ctx_.verifyAfterSubmit || faultDuringWrite() || apply_) {
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

void TaLink::tmSmtTimerTimer()
{
    tmSmtTimer_->setEnabled(false);
    if (interruptPending_) {
        finishInterrupt(true);
        return;
    }
    ++ex_.retryCount;
    if (!submitUnderWay())
        return;
    noteQuietTimeout(false);
    if (ex_.retryCount < kSubmitSends) {
        if (!sendEchoFirst(*tmSmtTimer_))
            sendSubmitCommand();
        return;
    }
    const std::string command = ex_.commandList[std::size_t(ex_.submitIndex)];
    if (optionalSubmitCommand(command))
        submitWithoutCommand(command);
    else
        failSubmit();
}

// Commands a TA may lack: the date and time (while they are handled), the
// end of the port selection, the switch of an X.25 group.
bool TaLink::optionalSubmitCommand(const std::string& command) const
{
    return (ctx_.switches.sysDateTime && isDateTimeEntry(command)) || isPortEndEntry(command) || isX25Entry(command);
}

// The TA lacks what the command sets: the batch goes on without it.
void TaLink::submitWithoutCommand(const std::string& command)
{
    if (ctx_.switches.sysDateTime && isDateTimeEntry(command)) {
        // A TA without a clock: the date/time commands are the last ones.
        finishSubmit(false);
    } else if (isPortEndEntry(command)) {
        if (advanceSubmit())
            sendSubmitCommand();
        else
            finishSubmit(true);
    } else {
        screen_.removeX25Support();
        if (skipSubmitX25Group())
            sendSubmitCommand();
        else
            finishSubmit(true);
    }
}

} // namespace ta::link
