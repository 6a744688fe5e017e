// Finding the TA on one of the ports and learning what kind of TA it is.
#include "TaLink.h"

#include "PortReport.h"

namespace ta::link {

namespace {

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

constexpr int kIdentifyTries = 3;

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

// Why each port of the last scan was passed over, one line per port.
std::string TaLink::passedOverPorts() const
{
    const auto& failures = ex_.portFailures;
    const bool chosen = !ctx_.chosenPort.empty();
    return passedOverReport({failures.begin(), chosen ? failures.begin() + 1 : failures.end()}, !chosen);
}

// A port passed over for a reason the user can do something about.
bool TaLink::portsPassedOver() const
{
    for (const OpenFailure& failure : ex_.portFailures)
        if (failure.problem != PortProblem::None && failure.problem != PortProblem::NoDevice)
            return true;
    return false;
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
        screen_.showDetailedMessage("There is no free COM port!", passedOverPorts());
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
    cCom_->OpenPort();
    sendIdentify();
}

void TaLink::sendIdentify() { send("ATI0", tsIdentify, *tmVerTimer_); }
void TaLink::sendPortProbe() { send("AT1S0?", tsPortProbe, *tmInitTimer_); }
void TaLink::sendInfoQuery() { send("ATI10I30", tsInfo, *tmInitTimer_); }
void TaLink::sendSessionEcho() { send("ATE1V1", tsSessionEcho, *tmInitTimer_); }

void TaLink::onTaIdentified()
{
    const std::string& reply = ex_.replyBuffer;
    if (!contains(reply, "128000") && !contains(reply, "Pelagrin10") && !contains(reply, "Vela.Net Davo"))
        return;
    tmVerTimer_->setEnabled(false);
    cCom_->ClosePort();
    cCom_->setHwFlow(hfRTSCTS);
    cCom_->OpenPort();
    ex_.retryCount = 0;
    if (ctx_.remoteChosen)
        sendRemoteEcho();
    else if (ex_.pendingOperation == poUpgrade)
        StartUpgrade();
    else
        sendPortProbe();
}

void TaLink::tmVerTimerTimer()
{
    tmVerTimer_->setEnabled(false);
    if (ex_.transactionState != tsIdentify)
        return;
    ++ex_.retryCount;
    if (ex_.retryCount < kIdentifyTries) {
        sendIdentify();
        return;
    }
    cCom_->ClosePort();
    for (++ex_.portIndex; ex_.portIndex < kPortCandidates; ++ex_.portIndex) {
        if (!ex_.portPresent[std::size_t(ex_.portIndex)])
            continue;
        cCom_->ClosePort();
        selectPort(ex_.portIndex);
        cCom_->setHwFlow(hfNONE);
        cCom_->OpenPort();
        ex_.retryCount = 0;
        sendIdentify();
        return;
    }
    giveUp("Cannot find a TA to config!", portsPassedOver() ? passedOverPorts() : std::string());
}

void TaLink::classifyTa()
{
    const std::string& reply = ex_.replyBuffer;
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

// Re-send limits of the steps guarded by tmInitTimer, and what giving up means.
void TaLink::tmInitTimerTimer()
{
    tmInitTimer_->setEnabled(false);
    ++ex_.retryCount;
    const int tries = ex_.retryCount;
    switch (ex_.transactionState) {
    case tsRemoteEcho:
        if (tries < 5)
            sendRemoteEcho();
        else
            giveUp("Cannot find a TA to config!");
        break;
    case tsSessionEcho:
        if (tries < 5)
            sendSessionEcho();
        else
            giveUp(screen_.editorVisible() ? "Submit Setting failed, please check the TA!"
                                           : "Query Setting failed, please check the TA!");
        break;
    case tsPortProbe:
        if (tries < 5) {
            sendPortProbe();
        } else {
            ctx_.noPortPrefix = true;
            sendInfoQuery();
        }
        break;
    case tsInfo:
        if (tries < 7)
            sendInfoQuery();
        else
            giveUp("Cannot find a TA to make a remote call!");
        break;
    case tsRemoteQueryC0:
        if (tries < 7)
            sendQueryC0();
        else
            giveUp("Cannot find a TA to make a remote call!");
        break;
    case tsRemoteQueryP5:
        if (tries < 7)
            sendQueryP5();
        else
            giveUp("Cannot find a TA to make a remote call!");
        break;
    case tsRemoteSetup:
        if (tries < 5)
            sendRemoteSetup();
        else
            giveUp("Cannot find a TA to make a remote call!");
        break;
    case tsEscape:
        if (tries < 5)
            sendEscape();
        else
            hangUpFailed();
        break;
    case tsHangUp:
        if (tries < 5)
            sendHangUp();
        else
            hangUpFailed();
        break;
    default:
        break;
    }
}

} // namespace ta::link
