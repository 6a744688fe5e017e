// The receive handler: every byte from the TA lands in the reply buffer, and
// the transaction state decides what a complete reply means.
#include "TaLink.h"

#include "atcmd/ReplyDecoder.h"

#include <algorithm>
#include <cctype>

namespace ta::link {

namespace {

// Without a command pending, old text is dropped so that a chatty line
// cannot grow the buffer without end; the tail keeps any result word.
constexpr std::size_t kIdleReplyLimit = 4096;
constexpr std::size_t kIdleReplyKeep = 1024;

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

std::string upperCopy(const std::string& text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return upper;
}

} // namespace

void TaLink::collectReceived(const uint8_t* data, uint32_t size)
{
    for (uint32_t i = 0; i < size; ++i) {
        const char c = char(data[i]);
        if (c == '\r')
            continue;
        ctx_.replyBuffer.push_back(c);
        if (!ctx_.switches.debugLog)
            continue;
        if (c == '\n') {
            screen_.logLine(ctx_.debugLine);
            ctx_.debugLine.clear();
        } else {
            ctx_.debugLine.push_back(c);
        }
    }
}

bool TaLink::commandPending() const
{
    return tmVerTimer_->enabled() || tmInitTimer_->enabled() || tmQryTimer_->enabled() ||
           tmSmtTimer_->enabled() || ctx_.transactionState == tsDialing ||
           ctx_.transactionState == tsUpgrading;
}

bool TaLink::busy() const
{
    return commandPending() || ctx_.transactionState == tsRebooting;
}

void TaLink::boundReplyBuffer()
{
    if (ctx_.replyBuffer.size() > kIdleReplyLimit && !commandPending())
        ctx_.replyBuffer.erase(0, ctx_.replyBuffer.size() - kIdleReplyKeep);
}

void TaLink::cComReceiveData(const uint8_t* dataPtr, uint32_t dataSize)
{
    collectReceived(dataPtr, dataSize);

    if (ctx_.transactionState == tsDiscard) {
        cCom_->PurgeBuffers(true, true);
        ctx_.transactionState = ctx_.nextState;
        ctx_.replyBuffer.clear();
        return;
    }
    if (contains(ctx_.replyBuffer, "OK\n")) {
        runOkAction();
        // An OK that belongs to no step (after a finished query or submit)
        // leaves its text behind like any other idle chatter.
        boundReplyBuffer();
        return;
    }
    const std::string upper = upperCopy(ctx_.replyBuffer);
    if (contains(upper, "NO CARRIER\n")) {
        handleNoCarrier();
        return;
    }
    if (ctx_.transactionState == tsDialing) {
        handleDialOutcome(upper);
        return;
    }
    if (ctx_.transactionState == tsUpgrading) {
        passToUpgrade();
        return;
    }
    boundReplyBuffer();
}

void TaLink::runOkAction()
{
    switch (ctx_.transactionState) {
    case tsIdentify:
        onTaIdentified();
        break;
    case tsRemoteEcho:
        stepDone();
        sendQueryC0();
        break;
    case tsRemoteQueryC0:
        if (takeReplyNumber(ctx_.savedC0)) {
            stepDone();
            sendQueryP5();
        }
        break;
    case tsRemoteQueryP5:
        if (takeReplyNumber(ctx_.savedP5)) {
            stepDone();
            sendRemoteSetup();
        }
        break;
    case tsRemoteSetup:
        stepDone();
        sendDial();
        break;
    case tsSessionEcho:
        stepDone();
        if (sessionReadyHook_) {
            sessionReadyHook_();
        } else if (screen_.editorVisible()) {
            startSubmit();
            sendSubmitCommand();
        } else {
            startQuery();
            sendQuery();
        }
        break;
    case tsQuerying:
        onQueryReply();
        break;
    case tsSubmitting:
        onSubmitReply();
        break;
    case tsEscape:
        stepDone();
        sendHangUp();
        break;
    case tsHangUp:
        stepDone();
        // Nothing more is awaited: the TA's answer to the restore line must
        // not run this step again while the program ends.
        ctx_.transactionState = tsIdle;
        sendRestore();
        screen_.terminate();
        break;
    case tsInfo:
        stepDone();
        classifyTa();
        sendSessionEcho();
        break;
    case tsPortProbe:
        stepDone();
        ctx_.noPortPrefix = false;
        sendInfoQuery();
        break;
    default:
        boundReplyBuffer();
        break;
    }
}

// A number the TA sent that is not a number counts as no answer: the step's
// timer stays armed and re-sends it.
bool TaLink::takeReplyNumber(uint8_t& target)
{
    const auto number = atcmd::replyNumber(ctx_.replyBuffer);
    if (!number)
        return false;
    target = uint8_t(*number & 0xFF);
    return true;
}

void TaLink::handleNoCarrier()
{
    switch (ctx_.transactionState) {
    case tsRebooting:
        // A remote TA's call drops when it restarts.
        return;
    case tsDialing:
        callEnded("TA respones (No Carrier)", true);
        return;
    default:
        break;
    }
    // The line is gone: nothing may go on re-sending into the closed port.
    stopSequenceTimers();
    screen_.showProgress(false);
    ctx_.retryCount = 0;
    ctx_.transactionState = tsIdle;
    cCom_->ClosePort();
    screen_.showMessage("TA respones (No Carrier)");
    enableCallerWindow();
}

void TaLink::handleDialOutcome(const std::string& upper)
{
    if (contains(upper, "CONNECT") && contains(upper, "\n"))
        callConnected();
    else if (contains(upper, "NO DIAL TONE\n"))
        callEnded("TA respones (No Dial Tone)", false);
    else if (contains(upper, "BUSY\n"))
        callEnded("TA respones (Busy)", false);
}

void TaLink::passToUpgrade()
{
    const std::string received = std::move(ctx_.replyBuffer);
    ctx_.replyBuffer.clear();
    for (char c : received)
        OnUpgradeByte(uint8_t(c));
    if (ctx_.switches.debugLog) {
        screen_.logLine(ctx_.debugLine);
        ctx_.debugLine.clear();
    }
}

} // namespace ta::link
