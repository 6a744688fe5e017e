// An ERROR right after the exact echo of the command on the line: the TA
// received that command whole and refused it. Where the sends that are left
// could only end in the same conclusion (the TA lacks what the command asks
// about, and the sequence goes on without it), the refusal is taken at once
// rather than after the re-sends. Silence, and an ERROR without the echo
// (which may answer a command the line garbled), keep the re-sends.
#include "TaLink.h"

#include <string_view>

namespace ta::link {

namespace {

// After an echo of `command`, the first line of text is ERROR; only lines
// whose LF has arrived count.
bool errorAfterEcho(const std::string& buffer, const std::string& command)
{
    bool afterEcho = false;
    for (std::size_t at = 0, end; (end = buffer.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string_view line(buffer.data() + at, end - at);
        if (line == command) {
            afterEcho = true;
        } else if (afterEcho && !line.empty() && line != "RING") {
            if (line == "ERROR")
                return true;
            afterEcho = false;
        }
    }
    return false;
}

} // namespace

// The command on the line is one whose refusal ends its step as its last
// re-send would.
bool TaLink::refusalDecides() const
{
    if (echoRestoring())
        return false; // ATE1V1 is on the line, not the step's command
    switch (ex_.transactionState) {
    case tsPortProbe:
        return tmInitTimer_->enabled();
    case tsQuerying:
        return tmQryTimer_->enabled() && queryUnderWay() && ctx_.switches.sysDateTime &&
               isDateTimeEntry(ex_.commandList[std::size_t(ex_.queryIndex)]);
    case tsSubmitting:
        return tmSmtTimer_->enabled() && submitUnderWay() &&
               optionalSubmitCommand(ex_.commandList[std::size_t(ex_.submitIndex)]);
    default:
        return false;
    }
}

bool TaLink::takeRefusal()
{
    if (!refusalDecides() || !errorAfterEcho(ex_.replyBuffer, lastCommand_))
        return false;
    logLine("[" + lastCommand_ + " refused: taken as the TA's answer]");
    switch (ex_.transactionState) {
    case tsPortProbe:
        stepDone();
        goOnWithoutPrefix();
        break;
    case tsQuerying:
        tmQryTimer_->setEnabled(false);
        queryWithoutClock();
        break;
    default: // tsSubmitting
        tmSmtTimer_->setEnabled(false);
        submitWithoutCommand(ex_.commandList[std::size_t(ex_.submitIndex)]);
        break;
    }
    return true;
}

} // namespace ta::link
