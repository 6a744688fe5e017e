// Stopping an exchange on the user's word. A command on the line is never
// cut short: the stop waits for its answer, or for its timer to give up on
// it, so that the user can be told exactly what the TA took.
#include "TaLink.h"

#include <utility>

namespace ta::link {

bool TaLink::cancelExchange()
{
    switch (ex_.transactionState) {
    case tsUpgrading:
        return false; // stopping the transfer half way would leave the TA without firmware
    case tsRebooting:
        stopRebootWait();
        return true;
    case tsDialing:
        cancelCall();
        return true;
    default:
        break;
    }
    if (callEnd_ != CallEnd::None || !busy())
        return false; // nothing runs, or the call is being taken down already
    cancelPending_ = true;
    return true;
}

void TaLink::requestExit()
{
    if (ending() || transferring())
        return;
    if (ex_.transactionState == tsDialing) {
        releaseCall(CallEnd::EditorExit); // the attempt is hung up at once
        return;
    }
    exitPending_ = true;
    cancelExchange();
    afterEvent();
}

void TaLink::afterEvent()
{
    if (sessionEnded_ || busy() || callEnd_ != CallEnd::None)
        return;
    cancelPending_ = false; // a cancel that met no boundary has nothing left to stop
    if (std::exchange(exitPending_, false))
        releaseCall(CallEnd::EditorExit);
}

bool TaLink::stopIfCancelled()
{
    if (interruptPending_) {
        finishInterrupt(false);
        return true;
    }
    if (!std::exchange(cancelPending_, false))
        return false;
    finishCancel();
    return true;
}

// The command before was answered or given up, so a local session is in step
// and stays open for the next request; anything before the session starts
// again with discovery, and a call is taken down.
void TaLink::finishCancel()
{
    const TransactionState state = ex_.transactionState;
    const std::string text = cancelledText(state);
    stopSequenceTimers();
    screen_.showProgress(false);
    if (readBack_) {
        readBack_.reset();
        screen_.setProgressCaption("Submit progress status");
    }
    ex_.retryCount = 0;
    ex_.pendingOperation = poNone;
    const bool session = state == tsQuerying || state == tsSubmitting;
    if (session && !ctx_.remoteChosen) {
        ex_.queryIndex = queryCount_;
        ex_.submitIndex = batchCount_;
    } else {
        ex_.transactionState = tsIdle;
        if (ctx_.remoteChosen && ex_.callDialled) {
            releaseCall(CallEnd::StayIdle);
        } else {
            restoreLocalTa();
            cCom_->ClosePort();
        }
    }
    screen_.showMessage(text);
    if (callEnd_ == CallEnd::None && !sessionEnded_)
        enableAndFocusCallerWindow();
}

std::string TaLink::cancelledText(TransactionState state)
{
    std::string text;
    if (readBack_)
        text = kReadBackCancelledText;
    else if (state == tsSubmitting)
        text = submitCancelledText(written_, settingsInBatch());
    else if (ex_.pendingOperation == poUpgrade)
        text = kUpgradeCancelledEarlyText;
    else if (screen_.editorVisible())
        text = kSubmitCancelledEarlyText;
    else
        text = kQueryCancelledText;
    if (ctx_.remoteChosen && (ex_.callDialled || ex_.localSettingsChanged))
        text += kCallReleasedText;
    return text;
}

// Nothing is on the line while the TA restarts: the wait ends at once, and
// the next request finds the TA again.
void TaLink::stopRebootWait()
{
    tmUpgTimer_->setEnabled(false);
    tmTickTimer_->setEnabled(false);
    screen_.showRebooting(false);
    ex_.pendingOperation = poNone;
    ex_.transactionState = tsIdle;
    ex_.callDialled = false; // a remote TA's call dropped when it restarted
    restoreLocalTa();
    cCom_->ClosePort();
    screen_.showMessage(kRebootStoppedText);
    enableAndFocusCallerWindow();
}

} // namespace ta::link
