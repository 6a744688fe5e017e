// Reading every setting of the TA into the working profile, one query per
// entry of the query list, paced by "OK" and guarded by tmQryTimer.
#include "TaLink.h"
#include "atcmd/ParamTable.h"
#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "profile/DefaultProfile.h"

#include <algorithm>

namespace ta::link {

namespace {

constexpr int kQuerySends = 7; // one budget for the whole sequence
constexpr int kX25GroupSize = 9;

// The key part of a list entry or batch command: what comes before "=".
std::string keyPart(const std::string& entry)
{
    const auto eq = entry.find('=');
    return eq == std::string::npos ? entry : entry.substr(0, eq);
}

bool hasKey(const std::string& entry, const char* key) { return keyPart(entry).find(key) != std::string::npos; }

} // namespace

bool TaLink::isDateTimeEntry(const std::string& entry) { return hasKey(entry, "$T0"); }
bool TaLink::isPortEndEntry(const std::string& entry) { return entry == "$P3=0"; }
bool TaLink::isX25Entry(const std::string& entry) { return hasKey(entry, "-X"); }

// Why a read ended badly: the entry it gave up on, or the faults it met.
std::string TaLink::readFailedDetails()
{
    return readWatch_.endedByFaults ? std::string(kReadFaultsText) : unansweredQueryDetails();
}

void TaLink::startQuery()
{
    readBack_.reset();
    screen_.enableWizard(false);
    ex_.queryIndex = 0;
    ex_.transactionState = tsQuerying;
    const auto entries = atcmd::buildQueryList(commandOptions(ctx_));
    ex_.commandList.clear();
    ex_.commandIds.clear();
    for (const auto& entry : entries) {
        ex_.commandList.push_back(entry.key);
        ex_.commandIds.push_back(entry.id);
    }
    queryCount_ = int(entries.size());
    settingsInQuery_ = int(std::count_if(entries.begin(), entries.end(), [](const atcmd::QueryEntry& entry) {
        const atcmd::Param* param = atcmd::paramById(entry.id);
        return param != nullptr && param->isSetting();
    }));
    queried_ = ctx_.workingProfile;
    read_ = 0;
    wrongReply_ = {};
    readWatch_ = ReadWatch{};
    restartWatch_.quietTimeouts = 0;
    screen_.setProgressMax(queryCount_);
    screen_.setProgress(0);
    screen_.setProgressCancellable(true);
    screen_.showProgress(true);
}

bool TaLink::queryUnderWay() const
{
    return ex_.queryIndex >= 0 && ex_.queryIndex < queryCount_ &&
           ex_.queryIndex < int(ex_.commandList.size());
}

void TaLink::sendQuery()
{
    if (!queryUnderWay() || stopIfCancelled() || startReadAgainIfDue())
        return;
    const std::string& entry = ex_.commandList[std::size_t(ex_.queryIndex)];
    const int id = ex_.commandIds[std::size_t(ex_.queryIndex)];
    const std::string command = atcmd::isPlainCommandId(id) ? "AT" + entry : "AT" + entry + "?";
    restartWatch_.atSend = restartWatch_.received;
    sendRaw(command + "\r", command);
    tmQryTimer_->setEnabled(true);
}

bool TaLink::advanceQuery()
{
    ++ex_.queryIndex;
    restartWatch_.quietTimeouts = 0;
    screen_.setProgress(ex_.queryIndex);
    return ex_.queryIndex != queryCount_;
}

bool TaLink::skipX25Group()
{
    ex_.queryIndex += kX25GroupSize;
    if (ex_.queryIndex >= queryCount_) {
        ex_.queryIndex = queryCount_;
        screen_.setProgress(queryCount_);
        return false;
    }
    screen_.setProgress(ex_.queryIndex);
    return true;
}

void TaLink::onQueryReply()
{
    // An "OK" after the list has ended (the connection stays open in this
    // state) belongs to no entry. It is consumed, so that it cannot hide a
    // later "NO CARRIER" from the dispatcher.
    if (!queryUnderWay()) {
        ex_.replyBuffer.clear();
        return;
    }
    TaProfile& into = readBack_ ? readBack_->ta : queried_;
    atcmd::DecodeTargets targets{into, ctx_.firmwareVersion, ctx_.chargeLast, ctx_.chargeAcc};
    const int id = ex_.commandIds[std::size_t(ex_.queryIndex)];
    // A read-back compares what the TA holds with what was sent: a value no
    // rule takes differs from it and is written again, not asked for again.
    if (const auto broken = readBack_ ? std::nullopt : atcmd::replyRuleBreak(id, ex_.replyBuffer)) {
        if (!askAgainAfter(*broken)) {
            tmQryTimer_->setEnabled(false);
            failQuery();
        }
        return;
    }
    if (!atcmd::decodeReply(id, ex_.replyBuffer, targets)) {
        // Not a number: the entry counts as unanswered. Its timer keeps
        // running from the send, so that later chatter cannot put it off.
        return;
    }
    tmQryTimer_->setEnabled(false);
    if (const atcmd::Param* param = atcmd::paramById(id); param && param->isSetting())
        ++read_;
    noteAnswerAfterSilence();
    readWatch_.answeredSince = true;
    if (id == 131 || id == 132)
        screen_.chargeTextsChanged();
    if (advanceQuery())
        sendQuery();
    else
        finishQuery(true);
}

// A value no setting takes may be noise on the line: the entry's timer,
// running from the send, asks again. The TA that gives it twice holds it.
bool TaLink::askAgainAfter(const RuleBreak& broken)
{
    if (wrongReply_.index != ex_.queryIndex)
        wrongReply_ = {ex_.queryIndex, 0, {}};
    wrongReply_.broken = broken;
    if (++wrongReply_.times > 1)
        return false;
    logLine("[" + lastCommand_ + " answered with a value its setting does not take: " + ruleBreakLine(broken) +
            "; asked again]");
    return true;
}

void TaLink::finishQuery(bool clearReply)
{
    if (interruptPending_) {
        finishInterrupt(false); // the last answer came: the read is whole, but the user asked to stop
        return;
    }
    if (readBack_) {
        finishReadBack(clearReply);
        return;
    }
    screen_.showProgress(false);
    screen_.showWizardProfilePage();
    screen_.enableWizard(true);
    screen_.focusWizard();
    ctx_.workingProfile = queried_;
    deriveFixedMp(ctx_.workingProfile);
    screen_.showProfile();
    screen_.presentEditor();
    screen_.hideWizard();
    screen_.setProgressCaption("Submit progress status");
    if (clearReply)
        ex_.replyBuffer.clear();
    if (apply_)
        compareForApply();
    else
        screen_.queryDone();
}

void TaLink::failQuery()
{
    if (readBack_) {
        failReadBack();
        return;
    }
    ex_.transactionState = tsDiscard;
    ex_.nextState = tsIdentify;
    screen_.showProgress(false);
    buildDefaultProfile(ctx_.workingProfile, ctx_.switches.x25OnD, ctx_.switches.sysDateTime);
    screen_.showDetailedMessage(failureMessage(Failure::Query), readFailedDetails());
    screen_.enableWizard(true);
    screen_.focusWizard();
}

// A TA without a clock: the date/time entries are the last ones.
void TaLink::queryWithoutClock()
{
    ctx_.switches.sysDateTime = false;
    screen_.hideSysDateTime();
    finishQuery(false);
}

void TaLink::tmQryTimerTimer()
{
    tmQryTimer_->setEnabled(false);
    if (interruptPending_) {
        finishInterrupt(true);
        return;
    }
    ++ex_.retryCount;
    if (!queryUnderWay())
        return;
    const std::string entry = ex_.commandList[std::size_t(ex_.queryIndex)];
    noteQuietTimeout(isOptionalEntry(entry));
    // A read that starts again has re-sends of its own.
    if (ex_.retryCount < kQuerySends || readWatch_.pending != ReadFault::None) {
        if (!sendEchoFirst(*tmQryTimer_))
            sendQuery();
        return;
    }
    if (ctx_.switches.sysDateTime && isDateTimeEntry(entry)) {
        queryWithoutClock();
    } else if (isPortEndEntry(entry)) {
        if (advanceQuery())
            sendQuery();
        else
            finishQuery(true);
    } else if (isX25Entry(entry)) {
        screen_.removeX25Support();
        if (apply_)
            apply_->x25Unanswered = true;
        if (skipX25Group())
            sendQuery();
        else
            finishQuery(true);
    } else {
        failQuery();
    }
}

} // namespace ta::link
