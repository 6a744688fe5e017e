#include "app/tautil/TautilApplication.h"

#include "ui/Messages.h"

#include <exception>
#include <iostream>

namespace ta::app {

TautilApplication::TautilApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The program ends through Cancel, Exit or the hang-up of a remote TA,
    // never because its last visible window went away.
    setQuitOnLastWindowClosed(false);
}

bool TautilApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        fail(QStringLiteral("Unknown error"));
    }
    return false;
}

void TautilApplication::fail(const QString& what)
{
    if (failed_)
        return;
    failed_ = true;
    reportFatal(what);
    exit(1);
}

void reportFatal(const QString& what)
{
    std::cerr << "tautil: " << what.toLocal8Bit().constData() << std::endl;
    ta::ui::showMessageBox(nullptr, what, ta::ui::MessageKind::Error);
}

} // namespace ta::app
