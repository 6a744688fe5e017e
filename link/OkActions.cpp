// What each step does with the "OK" that ends its answer, the identification
// of the model from the answer to ATI10I30, and the echo found again after
// the TA lost it.
#include "TaLink.h"

#include "profile/Printable.h"

#include <utility>

namespace ta::link {

namespace {

constexpr char kEchoCommand[] = "ATE1V1";

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

bool namesKnownModel(const std::string& text) { return contains(text, "QM7B2-HXN") || contains(text, "QM7A1-HXN"); }

// The lines of the answer to ATI10I30 up to its OK, on one line: the echo,
// blank lines and RING are left out.
std::string infoText(const std::string& reply, const std::string& command)
{
    std::string text;
    const std::size_t ok = reply.find("OK\n");
    for (std::size_t at = 0; at < ok;) {
        const std::size_t lineEnd = reply.find('\n', at);
        const std::string line = reply.substr(at, lineEnd - at);
        if (!line.empty() && line != command && line != "RING")
            text += (text.empty() ? "" : " ") + line;
        at = lineEnd + 1;
    }
    return text;
}

std::string quoted(const std::string& text) { return '"' + printable(text) + '"'; }

} // namespace

// Before the session's ATE1V1 is answered (and for ATE1V1 itself) replies
// come as the TA sends them; "+++" has no echo, and the hang-up speaks to
// the local TA again, behind the remote one whose echo the session knows.
const TaLink::OkRule* TaLink::okRuleFor(TransactionState state)
{
    using enum TextLines;
    static constexpr OkRule kRules[] = {
        {tsIdentify, &TaLink::onTaIdentified, false, Any},
        {tsPortProbe, &TaLink::onPortProbeOk, false, Any},
        {tsInfo, &TaLink::onInfoReply, false, AtLeastOne},
        {tsSessionEcho, &TaLink::onSessionEchoOk, false, Any},
        {tsQuerying, &TaLink::onQueryReply, true, OneValue},
        {tsSubmitting, &TaLink::onSubmitReply, true, Any},
        {tsRemoteEcho, &TaLink::onRemoteEchoOk, false, Any},
        {tsRemoteQueryC0, &TaLink::onLocalC0Read, true, OneValue},
        {tsRemoteQueryP5, &TaLink::onLocalP5Read, true, OneValue},
        {tsRemoteSetup, &TaLink::onRemoteSetupOk, true, Any},
        {tsEscape, &TaLink::onEscapeOk, false, Any},
        {tsHangUp, &TaLink::onHangUpOk, false, Any},
    };
    for (const OkRule& rule : kRules)
        if (rule.state == state)
            return &rule;
    return nullptr;
}

void TaLink::onPortProbeOk()
{
    stepDone();
    ctx_.noPortPrefix = false;
    sendInfoQuery();
}

// The model decides which settings exist, so a line error must not make the
// TA another model. A known model's name is taken at once: no single wrong
// byte turns one name into the other. An answer that names neither is asked
// for again and taken when the second answer is the same; two that differ
// end the discovery.
void TaLink::onInfoReply()
{
    const std::string text = infoText(ex_.replyBuffer, lastCommand_);
    if (namesKnownModel(text) || unknownModelReply_ == text) {
        stepDone();
        takeModel(text);
        sendSessionEcho();
        return;
    }
    if (unknownModelReply_) {
        const std::string first = *std::exchange(unknownModelReply_, std::nullopt);
        stepDone();
        giveUp(Failure::NoRemoteTa, "The TA named its model differently in two answers to ATI10I30: " +
                                        quoted(first) + ", then " + quoted(text) + ".");
        return;
    }
    unknownModelReply_ = text;
    logLine("[the answer to ATI10I30 names no known model: " + quoted(text) + "; asked again]");
    tmInitTimer_->setEnabled(false);
    sendInfoQuery();
}

void TaLink::takeModel(const std::string& text)
{
    unknownModelReply_.reset();
    ctx_.taModelReply = printable(text);
    classifyTa();
    logLine("[model " + (ctx_.taModel.empty() ? std::string("of neither kind") : ctx_.taModel) + " from \"" +
            ctx_.taModelReply + "\"]");
}

void TaLink::onSessionEchoOk()
{
    stepDone();
    ex_.echoOn = true;
    ex_.echoLost = false;
    if (stopIfCancelled())
        return; // before the batch or the list is begun
    if (identifyOnly_) {
        screen_.identifyDone();
    } else if (screen_.editorVisible()) {
        if (refusedByFieldRules(true)) {
            settleRefusedSubmit();
            return;
        }
        startSubmit();
        sendSubmitCommand();
    } else {
        startQuery();
        sendQuery();
    }
}

void TaLink::onRemoteEchoOk()
{
    stepDone();
    ex_.echoOn = true;
    ex_.echoLost = false;
    // Read once a run: after a restart the TA holds what we wrote.
    if (ex_.localSettingsRead)
        sendRemoteSetup();
    else
        sendQueryC0();
}

void TaLink::onLocalC0Read()
{
    if (!takeReplyNumber(ex_.savedC0))
        return;
    stepDone();
    sendQueryP5();
}

void TaLink::onLocalP5Read()
{
    if (!takeReplyNumber(ex_.savedP5))
        return;
    stepDone();
    ex_.localSettingsRead = true;
    sendRemoteSetup();
}

void TaLink::onRemoteSetupOk()
{
    stepDone();
    sendDial();
}

void TaLink::onEscapeOk()
{
    stepDone();
    sendHangUp();
}

void TaLink::onHangUpOk()
{
    stepDone();
    finishRelease();
}

// ATE1V1 went out in place of a re-send of the step's command.
bool TaLink::echoRestoring() const
{
    const OkRule* rule = okRuleFor(ex_.transactionState);
    return rule && rule->echoed && lastCommand_ == kEchoCommand;
}

// At a re-send: a TA that answered without echo since the command went out
// has lost the session's echo (it restarted). It gets ATE1V1 first, and the
// OK to that repeats the command. True when ATE1V1 went out in place of the
// command, or a cancel stopped the sequence there.
bool TaLink::sendEchoFirst(Timer& timer)
{
    const OkRule* rule = okRuleFor(ex_.transactionState);
    if (!rule || !rule->echoed || !ex_.echoOn || !ex_.echoLost)
        return false;
    if (stopIfCancelled())
        return true;
    noteRestartSign();
    restartWatch_.atSend = restartWatch_.received;
    sendRaw(std::string(kEchoCommand) + "\r", kEchoCommand);
    timer.setEnabled(true);
    return true;
}

void TaLink::onEchoRestored()
{
    ex_.echoLost = false;
    switch (ex_.transactionState) {
    case tsQuerying:
        tmQryTimer_->setEnabled(false);
        sendQuery();
        break;
    case tsSubmitting:
        tmSmtTimer_->setEnabled(false);
        sendSubmitCommand();
        break;
    default:
        tmInitTimer_->setEnabled(false);
        if (const RetryRule* rule = retryRuleFor(ex_.transactionState))
            (this->*rule->resend)();
        break;
    }
}

} // namespace ta::link
