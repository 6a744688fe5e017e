// The receive handler: every byte from the TA lands in the reply buffer, and
// the transaction state decides what a complete reply means.
#include "TaLink.h"

#include "atcmd/ReplyDecoder.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace ta::link {

namespace {

// Old text is dropped so that a chatty line cannot grow the buffer without
// end, also while a command waits; the tail keeps any reply or result word.
constexpr std::size_t kReplyLimit = 4096;
constexpr std::size_t kReplyKeep = 1024;
constexpr char kOk[] = "OK\n";
// A received line that never ends (a flood) goes to the debug log in
// pieces of this size instead of being held whole.
constexpr std::size_t kDebugLineLimit = 4096;

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

bool isEchoLine(std::string_view line)
{
    return line.size() >= 2 && std::toupper(static_cast<unsigned char>(line[0])) == 'A' &&
           std::toupper(static_cast<unsigned char>(line[1])) == 'T';
}

// The reply that the first "OK" of the buffer ends: where its echo line
// starts (npos without one), the echo, whether "ERROR" came after it, how
// many lines of text stand between the echo (or the start) and the OK, and
// how many lines come after the value line (the one right after the echo).
// The echo is the last command line before the OK: what comes before it (a
// refusal of an earlier command, chatter) belongs to no answer.
struct ReplyShape {
    std::size_t echoAt = std::string::npos;
    std::string_view echo;
    bool refused = false;
    int textLines = 0;
    int linesAfterValue = 0;
    std::size_t end = 0;
};

// Lines the TA sends unprompted, which answer nothing.
bool isUnsolicited(std::string_view line) { return line == "RING"; }

// Why an answer with these lines cannot be the step's; nullptr when it can.
// A value is the one line right after the echo, and only the blank line that
// opens the result follows it: anything more is noise on the line, and which
// line is the value nobody can tell.
const char* textMisfit(TextLines wanted, const ReplyShape& reply)
{
    if (wanted == TextLines::AtLeastOne && reply.textLines == 0)
        return "[OK without an answer to ";
    if (wanted == TextLines::OneValue && reply.linesAfterValue > 1)
        return "[noise beside the value from ";
    return nullptr;
}

ReplyShape shapeOfFirstReply(const std::string& buffer)
{
    ReplyShape shape;
    const std::size_t ok = buffer.find(kOk);
    shape.end = ok + 3;
    int lineAfterEcho = 0;
    for (std::size_t at = 0; at < ok;) {
        const std::size_t lineEnd = buffer.find('\n', at);
        const std::string_view line(buffer.data() + at, lineEnd - at);
        at = lineEnd + 1;
        if (isEchoLine(line)) {
            shape = ReplyShape{at - line.size() - 1, line, false, 0, 0, shape.end};
            lineAfterEcho = 0;
            continue;
        }
        if (isUnsolicited(line))
            continue;
        const int text = line.empty() ? 0 : 1;
        shape.refused = shape.refused || (shape.echoAt != std::string::npos && line == "ERROR");
        shape.textLines += text;
        if (++lineAfterEcho > 1)
            ++shape.linesAfterValue;
    }
    return shape;
}

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
        // NUL is line noise in a reply; the firmware transfer takes its bytes as they are.
        if (c == '\r' || (c == '\0' && ex_.transactionState != tsUpgrading))
            continue;
        ex_.replyBuffer.push_back(c);
        if (!ctx_.switches.debugLog)
            continue;
        if (c != '\n')
            ex_.debugLine.push_back(c);
        if (c == '\n' || ex_.debugLine.size() >= kDebugLineLimit) {
            screen_.logLine(ex_.debugLine);
            ex_.debugLine.clear();
        }
    }
}

bool TaLink::commandPending() const
{
    return tmVerTimer_->enabled() || tmInitTimer_->enabled() || tmQryTimer_->enabled() ||
           tmSmtTimer_->enabled() || ex_.transactionState == tsDialing ||
           ex_.transactionState == tsUpgrading;
}

bool TaLink::busy() const
{
    return commandPending() || ex_.transactionState == tsRebooting;
}

void TaLink::boundReplyBuffer()
{
    if (ex_.replyBuffer.size() > kReplyLimit)
        ex_.replyBuffer.erase(0, ex_.replyBuffer.size() - kReplyKeep);
}

void TaLink::cComReceiveData(const uint8_t* dataPtr, uint32_t dataSize)
{
    restartWatch_.received += dataSize;
    collectReceived(dataPtr, dataSize);
    if (ex_.transactionState == tsIdentify && dataSize > 0)
        noteProbe(ProbeOutcome::NotATa); // until it says what it is

    if (ex_.transactionState == tsDiscard) {
        cCom_->PurgeBuffers(true, true);
        ex_.transactionState = ex_.nextState;
        ex_.replyBuffer.clear();
        return;
    }
    const bool upgrading = ex_.transactionState == tsUpgrading;
    if (!upgrading && takeRefusal())
        return;
    // A TA that says OK to the download command still starts it: during the
    // transfer every byte goes to the transfer.
    if (!upgrading && answerOks())
        return;
    const std::string upper = upperCopy(ex_.replyBuffer);
    if (contains(upper, "NO CARRIER\n")) {
        handleNoCarrier();
        return;
    }
    if (ex_.transactionState == tsDialing) {
        handleDialOutcome(upper);
        return;
    }
    if (upgrading) {
        passToUpgrade();
        return;
    }
    boundReplyBuffer();
}

// Runs the OK action for each complete reply in the buffer. True when a step
// took one over; an OK no step took is consumed, so that it can neither
// answer again at the next byte nor hide what follows it.
bool TaLink::answerOks()
{
    while (contains(ex_.replyBuffer, kOk)) {
        const ReplyCheck check = checkFirstReply();
        if (check == ReplyCheck::Dropped)
            continue;
        if (check == ReplyCheck::CarrierLost)
            return false;
        const uint64_t sends = sendCount_;
        const std::size_t okEnd = ex_.replyBuffer.find(kOk) + 3;
        const bool carrierLostAfter = contains(upperCopy(ex_.replyBuffer.substr(okEnd)), "NO CARRIER\n");
        runOkAction();
        if (sendCount_ != sends) {
            // The next command's send clears the buffer; a lost call that
            // came with the answer must not go with it.
            if (carrierLostAfter)
                handleNoCarrier();
            return true;
        }
        const std::size_t ok = ex_.replyBuffer.find(kOk);
        if (ok == std::string::npos)
            return true;
        ex_.replyBuffer.erase(0, ok + 3);
    }
    return false;
}

// Every reply opens with the echo of its command once the session's ATE1V1
// is answered. Text before the echo is chatter and goes, unless it tells
// that the call was lost; a reply whose echo names another command is a late
// answer to an earlier one (one that names no command sent at all is a
// command the line garbled), and one that was refused before an OK came
// answers nothing; a reply without the echo (a TA that restarted and lost
// it, or an "OK" on a noisy line) answers nothing either, and neither does
// one whose lines of text do not fit the step (a bare OK to ATI10I30, a line
// of noise beside a value). All of these go whole, without
// counting as an answer, and the step waits on. Before the session's echo is
// on, a reply without an echo line is taken as it is.
TaLink::ReplyCheck TaLink::checkFirstReply()
{
    const ReplyShape reply = shapeOfFirstReply(ex_.replyBuffer);
    const OkRule* rule = okRuleFor(ex_.transactionState);
    // The answer to an ATE1V1 sent again takes the place of the step's own.
    const char* misfit = rule && !echoRestoring() ? textMisfit(rule->text, reply) : nullptr;
    if (reply.echoAt == std::string::npos) {
        if (ex_.echoOn && rule && rule->echoed && !echoRestoring()) {
            ex_.echoLost = true;
            return dropReply(reply.end, "[answer without the echo of " + lastCommand_ + " ignored]");
        }
        if (misfit)
            return dropReply(reply.end, misfit + lastCommand_ + " ignored]");
        return ReplyCheck::Kept;
    }
    if (contains(upperCopy(ex_.replyBuffer.substr(0, reply.echoAt)), "NO CARRIER\n"))
        return ReplyCheck::CarrierLost;
    const bool ours = reply.echo == lastCommand_;
    if (ours && !reply.refused) {
        if (misfit)
            return dropReply(reply.end, misfit + lastCommand_ + " ignored]");
        ex_.replyBuffer.erase(0, reply.echoAt);
        ex_.echoLost = false;
        return ReplyCheck::Kept;
    }
    if (ours)
        logLine("[OK after ERROR to " + lastCommand_ + " ignored]");
    else if (wasSent(reply.echo))
        logLine("[stale reply to " + std::string(reply.echo) + " dropped]");
    else
        noteLineError(reply.echo);
    ex_.replyBuffer.erase(0, reply.end);
    return ReplyCheck::Dropped;
}

// A reply that answers nothing goes, unless it tells that the call was lost.
TaLink::ReplyCheck TaLink::dropReply(std::size_t end, const std::string& why)
{
    if (contains(upperCopy(ex_.replyBuffer.substr(0, end)), "NO CARRIER\n"))
        return ReplyCheck::CarrierLost;
    logLine(why);
    ex_.replyBuffer.erase(0, end);
    return ReplyCheck::Dropped;
}

void TaLink::runOkAction()
{
    if (echoRestoring()) {
        onEchoRestored();
        return;
    }
    if (const OkRule* rule = okRuleFor(ex_.transactionState))
        (this->*rule->onOk)();
}

// A number the TA sent that is not a number counts as no answer: the step's
// timer stays armed and re-sends it.
bool TaLink::takeReplyNumber(uint8_t& target)
{
    const auto number = atcmd::replyNumber(ex_.replyBuffer);
    if (!number)
        return false;
    target = uint8_t(*number & 0xFF);
    return true;
}

void TaLink::handleNoCarrier()
{
    switch (ex_.transactionState) {
    case tsRebooting:
        // A remote TA's call drops when it restarts.
        ex_.callDialled = false;
        return;
    case tsDialing:
        callEnded(Failure::NoCarrier, true);
        return;
    case tsEscape:
    case tsHangUp:
        // The call went down while it was being hung up: that is done.
        stepDone();
        finishRelease();
        return;
    default:
        break;
    }
    // The line is gone: nothing may go on re-sending into the closed port.
    // A write that had begun, or had finished before its read-back, is told
    // beside the message: the TA holds some or all of the new settings.
    const std::string details = carrierLostDetails(ex_.transactionState);
    stopSequenceTimers();
    screen_.showProgress(false);
    ex_.retryCount = 0;
    ex_.transactionState = tsIdle;
    ex_.callDialled = false;
    readBack_.reset();
    restoreLocalTa();
    cCom_->ClosePort();
    tell(failureMessage(Failure::NoCarrier), details);
    enableCallerWindow();
}

void TaLink::handleDialOutcome(const std::string& upper)
{
    if (contains(upper, "CONNECT") && contains(upper, "\n"))
        callConnected();
    else if (contains(upper, "NO DIAL TONE\n"))
        callEnded(Failure::NoDialTone, false);
    else if (contains(upper, "BUSY\n"))
        callEnded(Failure::Busy, false);
}

void TaLink::passToUpgrade()
{
    const std::string received = std::move(ex_.replyBuffer);
    ex_.replyBuffer.clear();
    for (char c : received)
        OnUpgradeByte(uint8_t(c));
    if (ctx_.switches.debugLog) {
        screen_.logLine(ex_.debugLine);
        ex_.debugLine.clear();
    }
}

} // namespace ta::link
