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

void TaLink::callEnded(const std::string& message, bool closePort)
{
    tmCallTimer_->setEnabled(false);
    ctx_.retryCount = 0;
    screen_.showConnecting(false);
    enableAndFocusCallerWindow();
    ctx_.transactionState = tsIdle;
    if (closePort)
        cCom_->ClosePort();
    screen_.showMessage(message);
    enableCallerWindow();
}

void TaLink::btnCancelClick()
{
    cCom_->ClosePort();
    tmCallTimer_->setEnabled(false);
    ctx_.retryCount = 0;
    ctx_.transactionState = tsIdle;
    screen_.showConnecting(false);
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

void TaLink::hangUpFailed()
{
    ctx_.transactionState = tsIdle;
    if (screen_.wizardVisible()) {
        sendRestore();
        screen_.terminate();
        return;
    }
    screen_.enableEditor(true);
    screen_.focusEditor();
    screen_.showProgress(false);
}

} // namespace ta::link
