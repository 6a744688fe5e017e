// Reading every setting of the TA into the working profile, one query per
// entry of the query list, paced by "OK" and guarded by tmQryTimer.
#include "TaLink.h"

#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "profile/DefaultProfile.h"

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
    queried_ = ctx_.workingProfile;
    read_ = 0;
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
    if (!queryUnderWay() || stopIfCancelled())
        return;
    const std::string& entry = ex_.commandList[std::size_t(ex_.queryIndex)];
    const int id = ex_.commandIds[std::size_t(ex_.queryIndex)];
    const std::string command = atcmd::isPlainCommandId(id) ? "AT" + entry : "AT" + entry + "?";
    sendRaw(command + "\r", command);
    tmQryTimer_->setEnabled(true);
}

bool TaLink::advanceQuery()
{
    ++ex_.queryIndex;
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
    if (!atcmd::decodeReply(id, ex_.replyBuffer, targets)) {
        // Not a number: the entry counts as unanswered. Its timer keeps
        // running from the send, so that later chatter cannot put it off.
        return;
    }
    tmQryTimer_->setEnabled(false);
    ++read_;
    if (id == 131 || id == 132)
        screen_.chargeTextsChanged();
    if (advanceQuery())
        sendQuery();
    else
        finishQuery(true);
}

void TaLink::finishQuery(bool clearReply)
{
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
    screen_.showDetailedMessage(failureMessage(Failure::Query), unansweredQueryDetails());
    screen_.enableWizard(true);
    screen_.focusWizard();
}

void TaLink::tmQryTimerTimer()
{
    tmQryTimer_->setEnabled(false);
    ++ex_.retryCount;
    if (!queryUnderWay())
        return;
    if (ex_.retryCount < kQuerySends) {
        if (!sendEchoFirst(*tmQryTimer_))
            sendQuery();
        return;
    }
    const std::string entry = ex_.commandList[std::size_t(ex_.queryIndex)];
    if (ctx_.switches.sysDateTime && isDateTimeEntry(entry)) {
        // A TA without a clock: the date/time entries are the last ones.
        ctx_.switches.sysDateTime = false;
        screen_.hideSysDateTime();
        finishQuery(false);
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
