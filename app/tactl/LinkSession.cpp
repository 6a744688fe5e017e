#include "LinkSession.h"
#include "TlsCliOptions.h"

#include "link/port/PortList.h"

#include <QCoreApplication>
#include <QTimer>

#include <charconv>
#include <cstdlib>
#include <ostream>

namespace ta::tactl {

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "tactl";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Tests run tactl against a simulated TA that restarts at once; this spares
// them the real TA's restart wait. Not for use with a real TA.
constexpr const char* kRebootWaitVariable = "TA_REBOOT_WAIT_MS";

// A whole number of milliseconds no longer than the program's own wait.
std::optional<int> rebootWaitFrom(const std::string& text)
{
    int ms = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (error != std::errc{} || end != text.data() + text.size() || ms < 0 || ms > link::kTimerMs.rebootWait)
        return std::nullopt;
    return ms;
}

} // namespace

LinkCliOptions linkOptionsFrom(const CommandLine& line)
{
    LinkCliOptions o;
    o.switches.x25OnD = line.has("x25");
    o.switches.sysDateTime = !line.has("no-datetime");
    o.switches.countryOption = !line.has("no-country");
    o.switches.forceRemoteConfig = !line.has("no-force");
    o.debug = line.has("debug");
    o.switches.debugLog = o.debug;
    o.pollOnly = line.has("poll-only");
    o.stats = line.has("stats");
    o.clearLastCharge = line.has("clear-last-charge");
    o.clearAccCharge = line.has("clear-acc-charge");
    o.remoteNumber = line.value("remote");
    o.output = line.value("output");
    o.profile = line.value("profile");
    o.port = line.value("port");
    o.tls = tlsOptionsFrom(line);
    o.backup = line.value("backup");
    o.verify = !line.has("no-verify"); // --verify, the default, is taken as well
    o.timeoutSeconds = line.has("timeout") ? std::stoi(line.value("timeout")) : 0;
    return o;
}

link::AppContext LinkSession::makeContext(const LinkCliOptions& options)
{
    application();
    link::AppContext ctx;
    ctx.switches = options.switches;
    ctx.chosenPort = options.port;
    ctx.clearLastCharge = options.clearLastCharge;
    ctx.clearAccCharge = options.clearAccCharge;
    ctx.verifyAfterSubmit = options.verify;
    if (const char* wait = std::getenv(kRebootWaitVariable))
        ctx.rebootWaitMs = rebootWaitFrom(wait).value_or(link::kTimerMs.rebootWait);
    return ctx;
}

LinkSession::LinkSession(const LinkCliOptions& options, std::ostream& err)
    : ctx_(makeContext(options)), backend_(clock_), counting_(backend_),
      screen_(ctx_, err, options.debug, TerminalScreen::stderrIsTerminal()), link_(ctx_, clock_, counting_, screen_),
      stats_(options.stats), err_(err), stopSignals_(clock_, [this](int signal) { stopSignalled(signal); })
{
    if (const char* wait = std::getenv(kRebootWaitVariable); wait != nullptr && !rebootWaitFrom(wait))
        err << "tactl: " << kRebootWaitVariable << " ignored: not a whole number of milliseconds from 0 to "
            << link::kTimerMs.rebootWait << '\n';
    backend_.network().tls() = options.tls;
    link_.setReadinessWakeups(!options.pollOnly);
    if (options.timeoutSeconds > 0) {
        const int seconds = options.timeoutSeconds;
        timeLimit_ = clock_.createTimer();
        timeLimit_->setInterval(seconds * 1000);
        timeLimit_->setCallback([this, seconds] { timeLimitReached(seconds); });
        timeLimit_->setEnabled(true);
    }
    if (!options.remoteNumber.empty())
        link_.chooseRemote(options.remoteNumber);
    screen_.watchBytes(&counting_.counts());
}

std::string LinkSession::comName() const
{
    const int number = link::comNumberOf(link_.portName());
    return number == 0 ? "" : "COM" + std::to_string(number);
}

link::PortCandidate LinkSession::port() const { return link::describePort(backend_.resolve(link_.portName())); }

std::string LinkSession::portText() const
{
    const std::string com = comName();
    return (com.empty() ? "" : com + " ") + port().label();
}

std::chrono::milliseconds LinkSession::elapsed() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
}

void LinkSession::runLoop(const std::function<bool()>& done)
{
    QCoreApplication& app = application();
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            app.quit();
    });
    check.start();
    if (!done())
        app.exec();
}

bool LinkSession::runUntil(const std::function<bool()>& done)
{
    runLoop([&] { return done() || screen_.failed() || screen_.terminated(); });
    screen_.finishLine();
    // Past the time limit nothing more is asked of the TA.
    return done() && !screen_.failed() && !timedOut_;
}

// Whatever happened before (a failure, a signal), the program ends with its
// call down and the local TA as it was; the hang-up is bounded by its retries.
void LinkSession::hangUpIfRemote()
{
    link_.endSession();
    runLoop([this] { return screen_.terminated(); });
    screen_.finishLine();
}

void LinkSession::stopSignalled(int signal)
{
    if (signal_ == 0)
        signal_ = signal;
    link_.interrupt();
}

void LinkSession::timeLimitReached(int seconds)
{
    timeLimit_->setEnabled(false);
    if (signal_ != 0 || link_.ending())
        return;
    timedOut_ = true;
    screen_.finishLine();
    err_ << "tactl: the time limit of " << seconds << " s (--timeout) ran out; the exchange is stopped\n";
    link_.interrupt(link::kTimeLimitText);
}

link::FailureClass LinkSession::failureClass() const
{
    if (signal_ != 0)
        return link::FailureClass::Interrupted;
    if (timedOut_)
        return link::FailureClass::Timeout;
    const link::FailureClass told = link_.failureClass();
    // A failure told without a class of its own (a cancel's message) is no success.
    return told == link::FailureClass::None ? link::FailureClass::Other : told;
}

int LinkSession::failureCode() const { return exitCodeFor(failureClass(), signal_); }

} // namespace ta::tactl

namespace ta::tactl {

void LinkSession::printStats(std::ostream& err) const
{
    if (!stats_)
        return;
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto& counts = counting_.counts();
    err << "elapsedMs = " << elapsed().count() << '\n'
        << "bytesSent = " << counts.sent << '\n'
        << "bytesReceived = " << counts.received << '\n';
    const auto& transfer = screen_.transfer();
    if (transfer.finished)
        err << "transferMs = " << duration_cast<milliseconds>(transfer.end - transfer.start).count() << '\n'
            << "transferBytesSent = " << transfer.sentAtEnd - transfer.sentAtStart << '\n'
            << "transferBytesReceived = " << transfer.receivedAtEnd - transfer.receivedAtStart << '\n';
}

} // namespace ta::tactl
