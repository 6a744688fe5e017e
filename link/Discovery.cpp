// Finding the TA on one of the ports and learning what kind of TA it is.
#include "TaLink.h"

#include "link/port/PortReport.h"

#include <algorithm>

namespace ta::link {

namespace {

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

// A port found at the scan that did not open when its turn came.
void notePassedOver(ExchangeState& ex, const OpenFailure& failure)
{
    ex.portFailures[std::size_t(ex.portIndex)] = failure;
    ex.portPresent[std::size_t(ex.portIndex)] = false;
}

} // namespace

bool TaLink::scanPorts()
{
    if (cCom_->IsOpen())
        cCom_->ClosePort();
    // A port the user chose is the one candidate; nothing else is opened.
    const int candidates = ctx_.chosenPort.empty() ? kPortCandidates : 1;
    bool any = false;
    for (int i = 0; i < kPortCandidates; ++i) {
        const auto slot = std::size_t(i);
        ex_.portFailures[slot] = OpenFailure{};
        ex_.portProbes[slot] = ProbeOutcome::NotProbed;
        bool opened = false;
        if (i < candidates) {
            selectPort(i);
            opened = cCom_->OpenPort();
            if (opened)
                cCom_->ClosePort();
            else
                ex_.portFailures[slot] = cCom_->openFailure();
        }
        ex_.portPresent[slot] = opened;
        any = any || opened;
    }
    return any;
}

int TaLink::firstPresentPort() const
{
    for (int i = 0; i < kPortCandidates; ++i)
        if (ex_.portPresent[std::size_t(i)])
            return i;
    return -1;
}

void TaLink::startDiscovery(Caller caller)
{
    if (!scanPorts()) {
        screen_.showDetailedMessage(failureMessage(Failure::NoFreePort), triedPortsReport());
        // After a reboot the editor may still be disabled from the upload.
        if (caller == Caller::Reboot)
            screen_.enableEditor(true);
        return;
    }
    if (caller == Caller::Editor)
        screen_.enableEditor(false);
    else
        screen_.enableWizard(false);
    ex_.portIndex = firstPresentPort();
    selectPort(ex_.portIndex);
    // The editor's Submit and Upgrade leave handshake and counter as they are.
    if (caller != Caller::Editor) {
        cCom_->setHwFlow(hfNONE);
        ex_.retryCount = 0;
    }
    if (!cCom_->OpenPort()) {
        passOverPort();
        return;
    }
    sendIdentify();
}

// The port being probed did not open again (another program took it since
// the scan): it counts as not present, with its reason, and the next one is
// tried; with none left the discovery ends as when no port answers.
void TaLink::passOverPort()
{
    notePassedOver(ex_, cCom_->openFailure());
    if (!probeNextPort())
        giveUp(Failure::NoTa, triedPortsReport());
}

void TaLink::sendIdentify()
{
    // A TA found now starts with its echo as it left it, and is identified anew.
    ex_.echoOn = false;
    unknownModelReply_.reset();
    if (send("ATI0", tsIdentify, *tmVerTimer_))
        noteProbe(ProbeOutcome::NoAnswer);
}

// What the port being probed answered; an answer is never taken back.
void TaLink::noteProbe(ProbeOutcome outcome)
{
    if (ex_.portIndex < 0 || ex_.portIndex >= kPortCandidates)
        return;
    auto& probe = ex_.portProbes[std::size_t(ex_.portIndex)];
    probe = std::max(probe, outcome);
}
void TaLink::sendPortProbe() { send("AT1S0?", tsPortProbe, *tmInitTimer_); }
void TaLink::sendInfoQuery() { send("ATI10I30", tsInfo, *tmInitTimer_); }
void TaLink::sendSessionEcho() { send("ATE1V1", tsSessionEcho, *tmInitTimer_); }

// The TA takes no port prefixes; the sequence goes on.
void TaLink::goOnWithoutPrefix()
{
    ctx_.noPortPrefix = true;
    sendInfoQuery();
}

void TaLink::onTaIdentified()
{
    const std::string& reply = ex_.replyBuffer;
    if (!contains(reply, "128000") && !contains(reply, "Pelagrin10") && !contains(reply, "Vela.Net Davo"))
        return;
    tmVerTimer_->setEnabled(false);
    cCom_->ClosePort();
    cCom_->setHwFlow(hfRTSCTS);
    if (!cCom_->OpenPort()) {
        passOverPort();
        return;
    }
    ex_.retryCount = 0;
    if (ctx_.remoteChosen)
        sendRemoteEcho();
    else if (ex_.pendingOperation == poUpgrade)
        StartUpgrade();
    else
        sendPortProbe();
}

// How often each step of discovery, identification, the call's set-up and
// the hang-up goes out, and what its timer does once the sends are used up.
const TaLink::RetryRule* TaLink::retryRuleFor(TransactionState state)
{
    static constexpr RetryRule kRules[] = {
        {tsIdentify, 3, &TaLink::sendIdentify, GiveUp::NextPort, Failure::NoTa},
        {tsRemoteEcho, 5, &TaLink::sendRemoteEcho, GiveUp::Message, Failure::NoTa},
        {tsSessionEcho, 5, &TaLink::sendSessionEcho, GiveUp::Message, Failure::Sequence},
        {tsPortProbe, 5, &TaLink::sendPortProbe, GiveUp::WithoutPrefix, Failure::None},
        {tsInfo, 7, &TaLink::sendInfoQuery, GiveUp::Message, Failure::NoRemoteTa},
        {tsRemoteQueryC0, 7, &TaLink::sendQueryC0, GiveUp::Message, Failure::NoRemoteTa},
        {tsRemoteQueryP5, 7, &TaLink::sendQueryP5, GiveUp::Message, Failure::NoRemoteTa},
        {tsRemoteSetup, 5, &TaLink::sendRemoteSetup, GiveUp::Message, Failure::NoRemoteTa},
        {tsEscape, 5, &TaLink::sendEscape, GiveUp::HangUpFailed, Failure::None},
        {tsHangUp, 5, &TaLink::sendHangUp, GiveUp::HangUpFailed, Failure::None},
    };
    for (const RetryRule& rule : kRules)
        if (rule.state == state)
            return &rule;
    return nullptr;
}

void TaLink::retryOrGiveUp(const RetryRule& rule)
{
    if (ex_.retryCount < rule.limit) {
        if (!sendEchoFirst(*tmInitTimer_))
            (this->*rule.resend)();
        return;
    }
    switch (rule.then) {
    case GiveUp::Message:
        giveUp(rule.message);
        break;
    case GiveUp::NextPort:
        if (!probeNextPort())
            giveUp(rule.message, triedPortsReport());
        break;
    case GiveUp::WithoutPrefix:
        goOnWithoutPrefix();
        break;
    case GiveUp::HangUpFailed:
        hangUpFailed();
        break;
    }
}

// The identification probes of the current port are used up: the next
// present port is tried, if there is one.
bool TaLink::probeNextPort()
{
    cCom_->ClosePort();
    for (++ex_.portIndex; ex_.portIndex < kPortCandidates; ++ex_.portIndex) {
        if (!ex_.portPresent[std::size_t(ex_.portIndex)])
            continue;
        cCom_->ClosePort();
        selectPort(ex_.portIndex);
        cCom_->setHwFlow(hfNONE);
        if (!cCom_->OpenPort()) {
            notePassedOver(ex_, cCom_->openFailure());
            continue;
        }
        ex_.retryCount = 0;
        sendIdentify();
        return true;
    }
    return false;
}

// Only identification: other states have timers of their own.
void TaLink::tmVerTimerTimer()
{
    tmVerTimer_->setEnabled(false);
    if (ex_.transactionState != tsIdentify)
        return;
    ++ex_.retryCount;
    retryOrGiveUp(*retryRuleFor(tsIdentify));
}

// A state without a rule of this timer is left alone.
void TaLink::tmInitTimerTimer()
{
    tmInitTimer_->setEnabled(false);
    ++ex_.retryCount;
    const RetryRule* rule = retryRuleFor(ex_.transactionState);
    if (rule && rule->state != tsIdentify)
        retryOrGiveUp(*rule);
}

// From the text of the ATI10I30 answer that decided (taModelReply).
void TaLink::classifyTa()
{
    const std::string& reply = ctx_.taModelReply;
    if (contains(reply, "QM7B2-HXN")) {
        ctx_.taModel = "QM7B2-HXN";
        if (!ctx_.noPortPrefix || ctx_.remoteChosen)
            ctx_.taVariant = 3;
        else
            ctx_.taVariant = contains(reply, "USB") ? 2 : 1;
        return;
    }
    ctx_.taVariant = 1;
    if (contains(reply, "QM7A1-HXN")) {
        ctx_.taModel = "QM7A1-HXN";
        return;
    }
    ctx_.taModel.clear();
    dropOptionalGroups();
}

// A TA of neither model has no X.25 and no date and time: the editor must
// stop offering them, not merely stop sending them.
void TaLink::dropOptionalGroups()
{
    if (ctx_.switches.x25OnD) {
        ctx_.switches.x25OnD = false;
        screen_.removeX25Support();
    }
    if (ctx_.switches.sysDateTime) {
        ctx_.switches.sysDateTime = false;
        screen_.hideSysDateTime();
    }
}

} // namespace ta::link
