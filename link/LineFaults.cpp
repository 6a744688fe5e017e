// A TA that restarts and a line that garbles commands. Neither can be told
// from one answer, only from signs: silence through a re-send, an answer
// without the echo the session switched on, an echo of a command that was
// never sent. A read that meets one starts again from its first entry, so
// that it never gives half the settings from before the fault and half from
// after; a write is read back and what the TA lacks is written once more.
#include "TaLink.h"

#include <utility>

namespace ta::link {

namespace {

// The times a read starts again before a further fault fails it.
constexpr int kReadStartsAgain = 1;
// Timeouts in a row without a byte from the TA: a restart is about as long.
constexpr int kQuietTimeoutsOfARestart = 2;

} // namespace

// The lines of an earlier request are no longer answers of this one.
void TaLink::beginRequest() { sentLines_.clear(); }

bool TaLink::wasSent(std::string_view line) const { return sentLines_.find(line) != sentLines_.end(); }

// A sign of a fault while a read runs. The signs of one fault come one
// after the other (silence, then the answer without echo once the TA is
// back), so until an entry has been answered again they count as one.
void TaLink::noteReadFault()
{
    if (!queryUnderWay())
        return;
    ReadWatch& watch = readWatch_;
    if (watch.pending != ReadFault::None || (watch.startedAgain > 0 && !watch.answeredSince))
        return;
    watch.pending = watch.startedAgain < kReadStartsAgain ? ReadFault::StartAgain : ReadFault::Fail;
}

// Before an entry goes out: a read that met a fault goes back to its first
// entry with the record as it was at the start and the re-sends of a new
// read; a second fault ends it. True when it ended.
bool TaLink::startReadAgainIfDue()
{
    ReadWatch& watch = readWatch_;
    const ReadFault pending = std::exchange(watch.pending, ReadFault::None);
    if (pending == ReadFault::Fail) {
        logLine("[the read met a restart or a garbled line again: it ends]");
        watch.endedByFaults = true;
        failQuery();
        return true;
    }
    if (pending != ReadFault::StartAgain)
        return false;
    ++watch.startedAgain;
    watch.answeredSince = false;
    watch.silenceSeen = false;
    logLine("[the TA may have restarted, or the line garbled a command: the read starts again]");
    (readBack_ ? readBack_->ta : queried_) = ctx_.workingProfile;
    ex_.queryIndex = 0;
    ex_.retryCount = 0;
    restartWatch_.quietTimeouts = 0;
    read_ = 0;
    screen_.setProgress(0);
    return false;
}

// The entries a TA may leave unanswered for good (no X.25, no clock, no
// port selection) are silent by nature: their silence is no sign.
bool TaLink::isOptionalEntry(const std::string& entry) const
{
    return (ctx_.switches.sysDateTime && isDateTimeEntry(entry)) || isPortEndEntry(entry) || isX25Entry(entry);
}

// A restart during a read-back may have cost the TA what the write gave it.
void TaLink::noteRestartSign()
{
    if (ex_.transactionState == tsSubmitting || readBack_)
        restartWatch_.suspected = true;
    if (ex_.transactionState == tsQuerying)
        noteReadFault();
}

// Silence through a re-send lasts as long as a restart of the TA, which
// loses what it had not stored. A read starts again only once the TA
// answers: one that stays silent for good fails at the entry it went
// silent on, as it always did.
void TaLink::noteQuietTimeout(bool optional)
{
    RestartWatch& watch = restartWatch_;
    const bool quiet = watch.received == watch.atSend && watch.sentWhole;
    watch.quietTimeouts = quiet ? watch.quietTimeouts + 1 : 0;
    if (watch.quietTimeouts < kQuietTimeoutsOfARestart || optional)
        return;
    if (ex_.transactionState == tsSubmitting || readBack_)
        watch.suspected = true;
    if (ex_.transactionState == tsQuerying)
        readWatch_.silenceSeen = true;
}

// The first answer after a silence as long as a restart.
void TaLink::noteAnswerAfterSilence()
{
    if (std::exchange(readWatch_.silenceSeen, false))
        noteReadFault();
}

// An echo of a line that was never sent: the TA took a garbled command and
// may have acted on it. A read starts again; a write is read back after its
// batch and what differs is written again.
void TaLink::noteLineError(std::string_view echo)
{
    logLine("[echo of " + std::string(echo) + ", which was never sent: the line garbled " + lastCommand_ + "]");
    if (ex_.transactionState == tsSubmitting && submitUnderWay())
        writeWatch_.lineError = true;
    else if (ex_.transactionState == tsQuerying) {
        if (readBack_)
            writeWatch_.lineError = true;
        noteReadFault();
    }
}

bool TaLink::faultDuringWrite() const { return restartWatch_.suspected || writeWatch_.lineError; }

std::vector<std::string> TaLink::writeNotes() const
{
    std::vector<std::string> notes;
    if (restartWatch_.suspected)
        notes.push_back(kRestartSuspectedText);
    if (writeWatch_.lineError)
        notes.push_back(kLineErrorText);
    if (writeWatch_.writtenAgain)
        notes.push_back(writtenAgainText(writeWatch_.settingsWrittenAgain));
    return notes;
}

} // namespace ta::link
