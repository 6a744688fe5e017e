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
    // Changed from now on: even a set-up whose OK is lost may have taken effect.
    ctx_.localSettingsChanged = true;
    send(remoteSetupCommand(ctx_.switches.forceRemoteConfig), tsRemoteSetup, *tmInitTimer_);
}

void TaLink::sendDial()
{
    const std::string command = "ATD" + ctx_.remoteNumber + dialSuffix(ctx_.switches.forceRemoteConfig);
    sendRaw(command + "\r", command);
    ctx_.transactionState = tsDialing;
    callingText_.clear();
    screen_.setCallingText(callingText_);
    screen_.showConnecting(true);
    ctx_.callTicks = 0;
    ctx_.callDialled = true;
    tmCallTimer_->setEnabled(true);
}

// The connecting window's dots: one more each second, back to one every ten.
void TaLink::tmCallTimerTimer()
{
    ++ctx_.callTicks;
    if (ctx_.callTicks % 10 == 0)
        callingText_ = ".";
    else
        callingText_ += ".";
    screen_.setCallingText(callingText_);
}

void TaLink::callConnected()
{
    tmCallTimer_->setEnabled(false);
    ctx_.retryCount = 0;
    screen_.showConnecting(false);
    enableAndFocusCallerWindow();
    if (ctx_.pendingOperation == poUpgrade)
        StartUpgrade();
    else
        sendPortProbe();
}

// The call attempt failed: there is no call to hang up, but the local TA
// keeps the set-up for it until it is restored.
void TaLink::callEnded(const std::string& message, bool closePort)
{
    tmCallTimer_->setEnabled(false);
    ctx_.retryCount = 0;
    ctx_.callDialled = false;
    screen_.showConnecting(false);
    enableAndFocusCallerWindow();
    ctx_.transactionState = tsIdle;
    restoreLocalTa();
    if (closePort)
        cCom_->ClosePort();
    screen_.showMessage(message);
    enableCallerWindow();
}

void TaLink::cancelCall()
{
    tmCallTimer_->setEnabled(false);
    screen_.showConnecting(false);
    if (ctx_.transactionState == tsDialing && ctx_.callDialled) {
        releaseCall(CallEnd::ClosePort);
        return;
    }
    cCom_->ClosePort();
    ctx_.retryCount = 0;
    ctx_.transactionState = tsIdle;
    enableAndFocusCallerWindow();
}

void TaLink::sendEscape()
{
    // The escape has no carriage return: the TA watches for "+++" alone.
    sendRaw("+++", "+++");
    ctx_.transactionState = tsEscape;
    tmInitTimer_->setEnabled(true);
}

void TaLink::sendHangUp()
{
    sendRaw("ATH\r", "ATH");
    ctx_.transactionState = tsHangUp;
    tmInitTimer_->setEnabled(true);
}

void TaLink::sendRestore()
{
    cCom_->ClosePort();
    if (!cCom_->OpenPort())
        return;
    const std::string command =
        "ATC0=" + std::to_string(ctx_.savedC0) + "%P5=" + std::to_string(ctx_.savedP5);
    cCom_->WriteString(command + "\r");
    logLine("(" + command + ")");
}

// Only values that were read go back, and only once for each set-up.
void TaLink::restoreLocalTa()
{
    if (!ctx_.localSettingsChanged || !ctx_.localSettingsRead)
        return;
    ctx_.localSettingsChanged = false;
    sendRestore();
}

void TaLink::releaseCall(CallEnd then)
{
    callEnd_ = then;
    if (!ctx_.callDialled) {
        finishRelease();
        return;
    }
    ctx_.retryCount = 0;
    if (ctx_.transactionState == tsDialing) {
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
    ctx_.callDialled = false;
    ctx_.transactionState = tsIdle;
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
    ctx_.transactionState = tsIdle;
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
