// Construction, the sender pattern and the small helpers every sequence uses.
#include "TaLink.h"
#include "TimerIntervals.h"

namespace ta::link {

namespace {

// Far more distinct lines than any request sends; a bound all the same.
constexpr std::size_t kSentLinesKept = 4096;

std::unique_ptr<Timer> makeTimer(Clock& clock, int intervalMs, std::function<void()> onTimeout)
{
    auto timer = clock.createTimer();
    timer->setEnabled(false);
    timer->setInterval(intervalMs);
    timer->setCallback(std::move(onTimeout));
    return timer;
}

} // namespace

TaLink::TaLink(AppContext& ctx, Clock& clock, SerialBackend& backend, Screen& screen)
    : ctx_(ctx), clock_(clock), screen_(screen),
      cCom_(std::make_unique<TCommPortDriver>(clock, backend))
{
    cCom_->setPortName(TCommPortDriver::comName(2));
    cCom_->setBaudRateValue(115200);
    cCom_->setOnReceiveData([this](TCommPortDriver&, const uint8_t* data, uint32_t size) {
        cComReceiveData(data, size);
        afterEvent();
    });
    cCom_->setOnHangUp([this] {
        portLost();
        afterEvent();
    });
    cCom_->setOnNote([this](const std::string& note) { logLine("[" + note + "]"); });

    const auto handler = [this](void (TaLink::*onTimeout)()) {
        return [this, onTimeout] {
            (this->*onTimeout)();
            afterEvent();
        };
    };
    tmVerTimer_ = makeTimer(clock, kTimerMs.identify, handler(&TaLink::tmVerTimerTimer));
    tmInitTimer_ = makeTimer(clock, kTimerMs.step, handler(&TaLink::tmInitTimerTimer));
    tmQryTimer_ = makeTimer(clock, kTimerMs.queryEntry, handler(&TaLink::tmQryTimerTimer));
    tmSmtTimer_ = makeTimer(clock, kTimerMs.submitCommand, handler(&TaLink::tmSmtTimerTimer));
    tmCallTimer_ = makeTimer(clock, kTimerMs.dialTick, handler(&TaLink::tmCallTimerTimer));
    tmUpgTimer_ = makeTimer(clock, kTimerMs.transferWatchdog, handler(&TaLink::tmUpgTimerTimer));
    // The rebooting window's countdown timer starts enabled with its window;
    // its first tick finds no reboot under way and stops.
    tmTickTimer_ = makeTimer(clock, kTimerMs.countdownTick, handler(&TaLink::tmTickTimerTimer));
    tmTickTimer_->setEnabled(true);

    ctx_.taVariant = variantFromCountryOption(ctx_.switches);
    ctx_.noPortPrefix = false;
}

TaLink::~TaLink()
{
    // The driver's events call back into this object: stop them first.
    cCom_->setOnReceiveData(nullptr);
    cCom_->setOnNote(nullptr);
    cCom_->ClosePort();
}

void TaLink::logLine(const std::string& line)
{
    if (ctx_.switches.debugLog)
        screen_.logLine(line);
}

// A command that did not go out whole is never answered: the step's timer
// sends it again or gives up, as for a TA that stayed silent.
void TaLink::sendRaw(const std::string& line, const std::string& logText)
{
    ex_.replyBuffer.clear();
    lastCommand_ = logText;
    if (sentLines_.size() >= kSentLinesKept)
        sentLines_.clear();
    sentLines_.insert(logText);
    ++sendCount_;
    logLine("(" + logText + ")");
    restartWatch_.sentWhole = writeOut(reinterpret_cast<const uint8_t*>(line.data()), line.size(), logText);
}

// The driver writes on as long as the port takes bytes; what is left when it
// stalls past the driver's limit, or goes away, is told here.
bool TaLink::writeOut(const uint8_t* data, std::size_t size, const std::string& what)
{
    const uint32_t written = cCom_->WriteData(data, uint32_t(size));
    if (written == size)
        return true;
    logLine("[" + what + ": only " + std::to_string(written) + " of " + std::to_string(size) +
            " bytes went out]");
    return false;
}

bool TaLink::send(const std::string& command, TransactionState state, Timer& timer)
{
    if (stopIfCancelled())
        return false;
    sendRaw(command + "\r", command);
    ex_.transactionState = state;
    timer.setEnabled(true);
    return true;
}

void TaLink::stepDone()
{
    tmInitTimer_->setEnabled(false);
    ex_.retryCount = 0;
}

void TaLink::enableCallerWindow()
{
    if (screen_.wizardVisible())
        screen_.enableWizard(true);
    else
        screen_.enableEditor(true);
}

void TaLink::enableAndFocusCallerWindow()
{
    if (screen_.wizardVisible()) {
        screen_.enableWizard(true);
        screen_.focusWizard();
    } else {
        screen_.enableEditor(true);
        screen_.focusEditor();
    }
}

// The message, with details below it when there are any.
void TaLink::tell(const std::string& message, const std::string& details)
{
    if (details.empty())
        screen_.showMessage(message);
    else
        screen_.showDetailedMessage(message, details);
}

// A remote sequence that gives up takes its call down and puts the local TA
// back as it was; the caller window comes back once that is done.
void TaLink::giveUp(Failure failure, const std::string& details)
{
    const std::string message = failureMessage(failure);
    ex_.transactionState = tsIdle;
    if (ctx_.remoteChosen && ex_.callDialled)
        releaseCall(CallEnd::StayIdle);
    else
        restoreLocalTa();
    tell(message, details);
    if (callEnd_ == CallEnd::None && !sessionEnded_)
        enableCallerWindow();
}

void TaLink::selectPort(int index)
{
    if (ctx_.chosenPort.empty())
        cCom_->setPort(TPortNumber(pnCOM1 + index));
    else
        cCom_->setPortName(ctx_.chosenPort);
}

void TaLink::stopSequenceTimers()
{
    tmVerTimer_->setEnabled(false);
    tmInitTimer_->setEnabled(false);
    tmQryTimer_->setEnabled(false);
    tmSmtTimer_->setEnabled(false);
    tmCallTimer_->setEnabled(false);
    tmUpgTimer_->setEnabled(false);
}

atcmd::Options commandOptions(const AppContext& ctx)
{
    atcmd::Options options;
    options.noPortPrefix = ctx.noPortPrefix;
    options.taVariant = ctx.taVariant;
    options.remote = ctx.remoteChosen;
    options.countryOption = ctx.switches.countryOption;
    options.x25OnD = ctx.switches.x25OnD;
    options.sysDateTime = ctx.switches.sysDateTime;
    options.clearLastCharge = ctx.clearLastCharge;
    options.clearAccCharge = ctx.clearAccCharge;
    return options;
}

// --- What the windows and the command line ask for ---

void TaLink::chooseLocal()
{
    ctx_.remoteChosen = false;
    ex_.transactionState = tsIdle;
}

void TaLink::chooseRemote(const std::string& number)
{
    ctx_.remoteChosen = true;
    ctx_.remoteNumber = number;
    ex_.transactionState = tsIdle;
}

// A TA identified before is not searched again.
void TaLink::requestIdentify()
{
    beginRequest();
    failureClass_ = FailureClass::None;
    apply_.reset();
    identifyOnly_ = true;
    if (ex_.transactionState != tsIdle)
        screen_.identifyDone();
    else
        startDiscovery(Caller::Wizard);
}

void TaLink::requestQuery()
{
    beginRequest();
    failureClass_ = FailureClass::None;
    apply_.reset();
    identifyOnly_ = false;
    if (ex_.transactionState != tsIdle) {
        startQuery();
        sendQuery();
    } else {
        startDiscovery(Caller::Wizard);
    }
}

void TaLink::requestSubmit()
{
    beginRequest();
    failureClass_ = FailureClass::None;
    apply_.reset();
    identifyOnly_ = false;
    ex_.pendingOperation = poSubmit;
    if (refusedByFieldRules(ex_.transactionState != tsIdle))
        return;
    if (ex_.transactionState != tsIdle) {
        startSubmit();
        sendSubmitCommand();
    } else {
        startDiscovery(Caller::Editor);
    }
}

void TaLink::setReadinessWakeups(bool on) { cCom_->setReadinessWakeups(on); }

// Only an identified TA counts; the ports tried during discovery do not.
bool TaLink::identified() const
{
    if (!cCom_->IsOpen())
        return false;
    switch (ex_.transactionState) {
    case tsSessionEcho:
    case tsQuerying:
    case tsSubmitting:
    case tsUpgrading:
        return true;
    default:
        return false;
    }
}

const std::string& TaLink::portName() const { return cCom_->PortName(); }

void TaLink::endSession(bool tellUser)
{
    if (ending())
        return;
    if (callEnd_ != CallEnd::None) {
        callEnd_ = CallEnd::Terminate; // the hang-up under way now ends the program
        return;
    }
    stopExchange(tellUser);
    releaseCall(CallEnd::Terminate);
}

void TaLink::interrupt(const char* why)
{
    if (ending() || interruptPending_)
        return;
    stopWhy_ = why;
    if (callEnd_ == CallEnd::None && (tmQryTimer_->enabled() || tmSmtTimer_->enabled())) {
        interruptPending_ = true;
        return;
    }
    endSession(true);
}

// The command before was answered, or its timer gave up on it (unanswered).
void TaLink::finishInterrupt(bool unanswered)
{
    interruptPending_ = false;
    stopExchange(true, true, unanswered);
    releaseCall(CallEnd::Terminate);
}

// Whatever was under way stops where it is: no timer runs on, a transfer is
// cancelled on the line, and the status windows go. At a command boundary
// the sequence is still under way though no command waits.
void TaLink::stopExchange(bool tellUser, bool atBoundary, bool unanswered)
{
    const TransactionState state = ex_.transactionState;
    const bool underWay = commandPending() || state == tsRebooting || atBoundary;
    cancelPending_ = false;
    exitPending_ = false;
    interruptPending_ = false;
    if (state == tsUpgrading)
        cancelTransfer();
    stopSequenceTimers();
    tmTickTimer_->setEnabled(false);
    if (!underWay)
        return; // nothing is shown that would have to go
    screen_.showProgress(false);
    if (state == tsRebooting)
        screen_.showRebooting(false);
    if (tellUser)
        tell(failureMessage(interruptedFailure(state)), interruptedDetails(state, unanswered));
}

std::string TaLink::failureMessage(Failure failure)
{
    if (failure != Failure::None)
        failureClass_ = classOf(failure);
    switch (failure) {
    case Failure::None: return {};
    case Failure::NoFreePort: return kNoFreePortText;
    case Failure::NoTa: return kNoTaText;
    case Failure::NoRemoteTa: return kNoRemoteTaText;
    case Failure::Sequence: return screen_.editorVisible() ? kSubmitFailedText : kQueryFailedText;
    case Failure::Query: return kQueryFailedText;
    case Failure::Submit: return kSubmitFailedText;
    case Failure::NoCarrier: return kNoCarrierText;
    case Failure::NoDialTone: return kNoDialToneText;
    case Failure::Busy: return kBusyText;
    case Failure::UpgradeAborted: return kUpgradeAbortedText;
    case Failure::UpgradePortLost: return kUpgradePortLostText;
    case Failure::Thresholds: return kThresholdsText;
    case Failure::FieldRules: return kFieldRulesText;
    }
    return {};
}

// What the user was doing when the program was told to end.
Failure TaLink::interruptedFailure(TransactionState state) const
{
    if (state == tsRebooting) // the firmware is in; the settings were not written back
        return Failure::Submit;
    if (ex_.pendingOperation == poUpgrade)
        return Failure::UpgradeAborted;
    if (readBack_) // the settings are written; reading them back failed
        return Failure::Query;
    return Failure::Sequence;
}

// What the user must know besides the message: a write that had finished
// before its read-back, a transfer that stopped half way.
std::string TaLink::lostDetails(TransactionState state) const
{
    if (state == tsUpgrading)
        return transferLostDetails(true);
    return carrierLostDetails(state);
}

// A write cut off by the line: how far it came, or that it had finished.
std::string TaLink::carrierLostDetails(TransactionState state) const
{
    if (readBack_)
        return kReadBackFailedText;
    if (state == tsSubmitting)
        return settingsWrittenText(written_, settingsInBatch());
    return {};
}

// What the device took with it when it went away.
Failure TaLink::lostFailure(TransactionState state)
{
    switch (state) {
    case tsQuerying: return Failure::Query;
    case tsSessionEcho: return Failure::Sequence;
    case tsSubmitting: return Failure::Submit;
    case tsUpgrading: return Failure::UpgradePortLost;
    case tsDialing: return Failure::NoCarrier;
    default: return Failure::NoTa;
    }
}

} // namespace ta::link

namespace ta::link {

// The device went away (USB cable pulled): end what was under way with its
// own message, and go back to idle so that the next request rediscovers.
void TaLink::portLost()
{
    const TransactionState state = ex_.transactionState;
    const bool pending = commandPending();
    switch (state) {
    case tsIdentify:
        return; // the probe moves on to the next port by itself
    case tsRebooting:
        return; // a USB TA leaves while it restarts; the rescan finds it again
    default:
        break;
    }
    stopSequenceTimers();
    ex_.retryCount = 0;
    ex_.transactionState = tsIdle;
    ex_.callDialled = false; // nothing can reach it now
    if (callEnd_ != CallEnd::None) {
        finishRelease(); // a hang-up under way ends as if it had been answered
        return;
    }
    screen_.showProgress(false);
    screen_.showConnecting(false);
    if (!pending) {
        // Nothing was under way: the user is editing; the next request rediscovers.
        return;
    }
    const std::string message = failureMessage(lostFailure(state));
    const std::string& reason = cCom_->lostReason();
    const std::string details = reason.empty() ? lostDetails(state) : reason + "\n" + lostDetails(state);
    readBack_.reset();
    if (state == tsUpgrading)
        ex_.pendingOperation = poNone; // no later discovery may take this upload up again
    tell(message, details);
    enableAndFocusCallerWindow();
}

} // namespace ta::link
