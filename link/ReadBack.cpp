// Reading the TA's settings back after a submit: the query sequence runs
// into a record of its own and its end compares that record with what the
// batch wrote.
#include "TaLink.h"

#include "atcmd/ChangeBatch.h"
#include "atcmd/WriteCheck.h"

#include <algorithm>

namespace ta::link {

void TaLink::requestReadBack()
{
    ReadBack readBack{ctx_.workingProfile, commandOptions(ctx_), ctx_.workingProfile};
    screen_.enableEditor(false);
    screen_.setProgressCaption("Query setting progress status");
    ex_.retryCount = 0; // a sequence of its own, with its own re-sends
    startQuery();
    readBack_ = std::move(readBack);
    sendQuery();
}

void TaLink::finishReadBack(bool clearReply)
{
    const ReadBack done = std::move(*readBack_);
    readBack_.reset();
    auto differences = atcmd::differencesAfterWrite(done.written, done.options, done.ta);
    // A TA that restarted or took a garbled command lacks what it lost: that
    // is written once more and read back again.
    if (!differences.empty() && faultDuringWrite() && !writeWatch_.writtenAgain) {
        writeAgain(done);
        return;
    }
    screen_.showProgress(false);
    screen_.setProgressCaption("Submit progress status");
    if (clearReply)
        ex_.replyBuffer.clear();
    screen_.enableEditor(true);
    screen_.focusEditor();
    screen_.readBackDone(differences);
    screen_.submitDone();
}

void TaLink::writeAgain(const ReadBack& done)
{
    std::vector<atcmd::BatchEntry> entries = atcmd::entriesToWriteAgain(done.written, done.options, done.ta);
    writeWatch_.writtenAgain = true;
    writeWatch_.writtenFirst = written_;
    writeWatch_.settingsWrittenAgain =
        int(std::count_if(entries.begin(), entries.end(), [](const auto& entry) { return entry.param != nullptr; }));
    logLine("[the TA lacks " + std::to_string(writeWatch_.settingsWrittenAgain) +
            " settings after the write: they are written again]");
    screen_.setProgressCaption("Submit progress status");
    startBatch(std::move(entries));
    sendSubmitCommand();
}

// The working profile is still the one sent; the connection is dropped as
// after any failed query.
void TaLink::failReadBack()
{
    readBack_.reset();
    ex_.transactionState = tsDiscard;
    ex_.nextState = tsIdentify;
    screen_.showProgress(false);
    screen_.setProgressCaption("Submit progress status");
    screen_.showDetailedMessage(failureMessage(Failure::Query),
                                std::string(kReadBackFailedText) + "\n" + readFailedDetails());
    screen_.enableEditor(true);
    screen_.focusEditor();
}

} // namespace ta::link
