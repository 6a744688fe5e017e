// tautil: the configuration utility's GUI. Creates the program-wide state,
// the six windows, the clock and the serial ports, and the link between them.
#include "app/tautil/Arguments.h"
#include "app/tautil/Help.h"
#include "app/tautil/ScreenshotTour.h"
#include "app/tautil/TautilApplication.h"

#include "link/port/PosixSerial.h"
#include "link/StopSignals.h"
#include "link/TaLink.h"
#include "link/qt/QtClock.h"
#include "ta/Version.h"
#include "ui/GuiScreen.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>

namespace {

std::vector<std::string> switchArguments(const QStringList& arguments)
{
    std::vector<std::string> result;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        result.push_back(arguments[i].toLocal8Bit().toStdString());
    return result;
}

int run(ta::app::TautilApplication& app, const std::string& profileFile)
{
    ta::link::AppContext ctx;
    ta::ui::GuiWindows windows(ctx, switchArguments(QCoreApplication::arguments()));
    ta::link::QtClock clock;
    ta::link::PosixSerialBackend backend(clock);
    ta::ui::GuiScreen screen(windows);
    ta::link::TaLink link(ctx, clock, backend, screen);
    screen.connectLink(link);
    // Ended from outside (logout, kill, a closed terminal): a call still up
    // is hung up and the local TA restored before the program goes.
    int stoppedBy = 0;
    ta::link::StopSignals stopSignals(clock, [&](int signal) {
        stoppedBy = stoppedBy != 0 ? stoppedBy : signal;
        link.endSession();
    });
    windows.show();
    if (!profileFile.empty())
        windows.fMain.openProfile(profileFile);

    std::unique_ptr<ta::app::ScreenshotTour> tour;
    if (qEnvironmentVariableIsSet(ta::app::kScreenshotVariable)) {
        tour = std::make_unique<ta::app::ScreenshotTour>(windows, qEnvironmentVariable(ta::app::kScreenshotVariable));
        tour->start();
    }
    const int status = app.exec();
    return stoppedBy != 0 ? 128 + stoppedBy : status;
}

std::string environmentVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

QtMessageHandler qtMessages = nullptr;

// Qt aborts when the display named cannot be opened; the user learns what
// happened and where to turn instead, and the exit code says failure, not crash.
void endWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && message.contains(QLatin1String("no Qt platform plugin could be initialized"))) {
        const std::string display = environmentVariable("DISPLAY");
        std::cerr << ta::app::noDisplayText(display.empty() ? "cannot open the display"
                                                             : "cannot open the display '" + display + "'")
                  << std::flush;
        std::_Exit(1);
    }
    qtMessages(type, context, message);
}

} // namespace

// --help, --version and refused arguments are answered before the GUI
// starts, so they need no display.
int main(int argc, char** argv)
{
    using ta::app::TautilArguments;
    const auto arguments = ta::app::readTautilArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!arguments) {
        std::cerr << "tautil: " << arguments.error() << '\n' << ta::app::kUsageLine << "\nTry 'tautil --help'.\n";
        return 2;
    }
    switch (arguments->action) {
    case TautilArguments::Action::Help:
        std::cout << ta::app::helpText();
        return 0;
    case TautilArguments::Action::Version:
        std::cout << "tautil " << ta::kProgramVersion << '\n';
        return 0;
    case TautilArguments::Action::Run:
        break;
    }
    if (!ta::app::displayExpected(*arguments, environmentVariable)) {
        std::cerr << ta::app::noDisplayText("no display found (DISPLAY and WAYLAND_DISPLAY are not set)");
        return 1;
    }
    qtMessages = qInstallMessageHandler(endWithoutDisplay);
    ta::app::TautilApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    try {
        return run(app, arguments->profileFile);
    } catch (const std::exception& error) {
        ta::app::reportFatal(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ta::app::reportFatal(QStringLiteral("Unknown error"));
    }
    return 1;
}
