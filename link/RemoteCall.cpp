// Configuring a TA at a remote site through an ISDN call of the local TA,
// and taking the call down again at the end of the program.
#include "TaLink.h"

namespace ta::link {

namespace {

const char* dialSuffix(bool force) { return force ? "/53027146" : "/40718825"; }
const char* remoteSetupCommand(bool force) { return force ? "ATC0=1%P5=95" : "ATC0=1%P5=94"; }

} // namespace

void TaLink::sendRemoteEcho() { send("ATE1V1", tsRemoteEcho, *tmInitTimer_); }
void TaLink::sendQueryC0() { send("ATC0?", tsRemoteQueryC0, *tmInitTimer_); }
void TaLink::sendQueryP5() { send("AT%P5?", tsRemoteQueryP5, *tmInitTimer_); }
void TaLink::sendRemoteSetup()
{
    // Changed from the send on: even a set-up whose OK is lost may have taken effect.
    if (send(remoteSetupCommand(ctx_.switches.forceRemoteConfig), tsRemoteSetup, *tmInitTimer_))
        ex_.localSettingsChanged = true;
}

void TaLink::sendDial()
{
    if (stopIfCancelled())
        return;
    const std::string command = "ATD" + ctx_.remoteNumber + dialSuffix(ctx_.switches.forceRemoteConfig);
    sendRaw(command + "\r", command);
    ex_.transactionState = tsDialing;
    callingText_.clear();
    screen_.setCallingText(callingText_);
    screen_.showConnecting(true);
    ex_.callTicks = 0;
    ex_.callDialled = true;
    tmCallTimer_->setEnabled(true);
}

// The connecting window's dots: one more each second, back to one every ten.
void TaLink::tmCallTimerTimer()
{
    ++ex_.callTicks;
    if (ex_.callTicks % 10 == 0)
        callingText_ = ".";
    else
        callingText_ += ".";
    screen_.setCallingText(callingText_);
}

void TaLink::callConnected()
{
    tmCallTimer_->setEnabled(false);
    ex_.retryCount = 0;
    // From here on the remote TA answers, with its echo as it left it.
    ex_.echoOn = false;
    unknownModelReply_.reset();
    screen_.showConnecting(false);
    enableAndFocusCallerWindow();
    if (ex_.pendingOperation == poUpgrade)
        StartUpgrade();
    else
        sendPortProbe();
}

// The call attempt failed: there is no call to hang up, but the local TA
// keeps the set-up for it until it is restored.
void TaLink::callEnded(Failure failure, bool closePort)
{
    tmCallTimer_->setEnabled(false);
    ex_.retryCount = 0;
    ex_.callDialled = false;
    screen_.showConnecting(false);
    enableAndFocusCallerWindow();
    ex_.transactionState = tsIdle;
    restoreLocalTa();
    if (closePort)
        cCom_->ClosePort();
    screen_.showMessage(failureMessage(failure));
    enableCallerWindow();
}

void TaLink::cancelCall()
{
    tmCallTimer_->setEnabled(false);
    screen_.showConnecting(false);
    if (ex_.transactionState == tsDialing && ex_.callDialled) {
        releaseCall(CallEnd::ClosePort);
        return;
    }
    cCom_->ClosePort();
    ex_.retryCount = 0;
    ex_.transactionState = tsIdle;
    enableAndFocusCallerWindow();
}

void TaLink::sendEscape()
{
    // The escape has no carriage return: the TA watches for "+++" alone.
    sendRaw("+++", "+++");
    ex_.transactionState = tsEscape;
    tmInitTimer_->setEnabled(true);
}

void TaLink::sendHangUp()
{
    sendRaw("ATH\r", "ATH");
    ex_.transactionState = tsHangUp;
    tmInitTimer_->setEnabled(true);
}

bool TaLink::sendRestore()
{
    cCom_->ClosePort();
    if (!cCom_->OpenPort())
        return false;
    const std::string command =
        "ATC0=" + std::to_string(ex_.savedC0) + "%P5=" + std::to_string(ex_.savedP5);
    logLine("(" + command + ")");
    const std::string line = command + "\r";
    return writeOut(reinterpret_cast<const uint8_t*>(line.data()), line.size(), command);
}

// Only values that were read go back, and only once for each set-up.
void TaLink::restoreLocalTa()
{
    if (!ex_.localSettingsChanged || !ex_.localSettingsRead)
        return;
    // Not gone out: the next hang-up or the program's end tries again.
    ex_.localSettingsChanged = !sendRestore();
}

void TaLink::releaseCall(CallEnd then)
{
    callEnd_ = then;
    if (!ex_.callDialled) {
        finishRelease();
        return;
    }
    ex_.retryCount = 0;
    if (ex_.transactionState == tsDialing) {
        // The hang-up's first character already ends the attempt.
        tmCallTimer_->setEnabled(false);
        screen_.showConnecting(false);
        sendHangUp();
    } else {
        sendEscape();
    }
}

void TaLink::finishRelease()
{
    const CallEnd then = callEnd_;
    callEnd_ = CallEnd::None;
    ex_.callDialled = false;
    ex_.transactionState = tsIdle;
    restoreLocalTa();
    switch (then) {
    case CallEnd::EditorExit:
    case CallEnd::Terminate:
        sessionEnded_ = true;
        screen_.terminate();
        break;
    case CallEnd::ClosePort:
        cCom_->ClosePort();
        enableAndFocusCallerWindow();
        break;
    case CallEnd::StayIdle:
        enableCallerWindow();
        break;
    case CallEnd::None:
        break;
    }
}

void TaLink::hangUpFailed()
{
    ex_.transactionState = tsIdle;
    if (callEnd_ == CallEnd::EditorExit && !screen_.wizardVisible()) {
        // A dead line at the editor's Exit: the user keeps the editor, and
        // the local TA its call set-up while the call may still be up.
        callEnd_ = CallEnd::None;
        screen_.enableEditor(true);
        screen_.focusEditor();
        screen_.showProgress(false);
        return;
    }
    finishRelease();
}

} // namespace ta::link
