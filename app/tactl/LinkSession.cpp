#include "LinkSession.h"

#include "link/PortList.h"

#include <QCoreApplication>
#include <QTimer>

#include <ostream>

namespace ta::tactl {

const char* const kLinkCliUsage =
    "[--port PATH] [--remote NUMBER] [--no-force] [--x25] [--no-datetime] [--no-country] [--debug] [--poll-only] [--stats]";

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "tactl";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

bool takeValue(Args args, std::size_t& i, std::string& value, std::string& error)
{
    if (i + 1 >= args.size()) {
        error = "option " + args[i] + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

} // namespace

std::optional<LinkCliOptions> parseLinkCli(Args args, std::string& error)
{
    LinkCliOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--x25")
            o.switches.x25OnD = true;
        else if (a == "--no-datetime")
            o.switches.sysDateTime = false;
        else if (a == "--no-country")
            o.switches.countryOption = false;
        else if (a == "--no-force")
            o.switches.forceRemoteConfig = false;
        else if (a == "--debug")
            o.debug = true;
        else if (a == "--poll-only")
            o.pollOnly = true;
        else if (a == "--stats")
            o.stats = true;
        else if (a == "--clear-last-charge")
            o.clearLastCharge = true;
        else if (a == "--clear-acc-charge")
            o.clearAccCharge = true;
        else if (a == "--remote") {
            if (!takeValue(args, i, o.remoteNumber, error))
                return std::nullopt;
        } else if (a == "-o" || a == "--output") {
            if (!takeValue(args, i, o.output, error))
                return std::nullopt;
        } else if (a == "--profile") {
            if (!takeValue(args, i, o.profile, error))
                return std::nullopt;
        } else if (a == "--port") {
            if (!takeValue(args, i, o.port, error))
                return std::nullopt;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            o.positional.push_back(a);
        }
    }
    o.switches.debugLog = o.debug;
    return o;
}

link::AppContext LinkSession::makeContext(const LinkCliOptions& options)
{
    application();
    link::AppContext ctx;
    ctx.switches = options.switches;
    ctx.remoteChosen = !options.remoteNumber.empty();
    ctx.remoteNumber = options.remoteNumber;
    ctx.chosenPort = options.port;
    ctx.clearLastCharge = options.clearLastCharge;
    ctx.clearAccCharge = options.clearAccCharge;
    return ctx;
}

LinkSession::LinkSession(const LinkCliOptions& options, std::ostream& err)
    : ctx_(makeContext(options)), backend_(clock_), counting_(backend_), screen_(ctx_, err, options.debug),
      link_(ctx_, clock_, counting_, screen_), stats_(options.stats)
{
    link_.cCom().setReadinessWakeups(!options.pollOnly);
    screen_.watchBytes(&counting_.counts());
}

std::string LinkSession::portText() const
{
    const std::string& name = const_cast<link::TaLink&>(link_).cCom().PortName();
    const int number = link::comNumberOf(name);
    const std::string label = link::describePort(backend_.resolve(name)).label();
    return number == 0 ? label : "COM" + std::to_string(number) + " " + label;
}

bool LinkSession::runUntil(const std::function<bool()>& done)
{
    QCoreApplication& app = application();
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || screen_.failed())
            app.quit();
    });
    check.start();
    if (!done() && !screen_.failed())
        app.exec();
    return done() && !screen_.failed();
}

void LinkSession::hangUpIfRemote()
{
    if (!ctx_.remoteChosen || !link_.cCom().IsOpen())
        return;
    link_.tbExitClick();
    runUntil([this] { return screen_.terminated() || !link_.busy(); });
}

} // namespace ta::tactl

namespace ta::tactl {

void LinkSession::printStats(std::ostream& err) const
{
    if (!stats_)
        return;
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto& counts = counting_.counts();
    err << "elapsedMs = " << duration_cast<milliseconds>(std::chrono::steady_clock::now() - started_).count() << '\n'
        << "bytesSent = " << counts.sent << '\n'
        << "bytesReceived = " << counts.received << '\n';
    const auto& transfer = screen_.transfer();
    if (transfer.finished)
        err << "transferMs = " << duration_cast<milliseconds>(transfer.end - transfer.start).count() << '\n'
            << "transferBytesSent = " << transfer.sentAtEnd - transfer.sentAtStart << '\n'
            << "transferBytesReceived = " << transfer.receivedAtEnd - transfer.receivedAtStart << '\n';
}

} // namespace ta::tactl
