// The GUI program's application object: an error that escapes an event
// handler is shown to the user and ends the program, instead of unwinding
// through the toolkit.
#pragma once

#include <QApplication>

namespace ta::app {

class TautilApplication : public QApplication {
public:
    TautilApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error once and leaves the event loop with exit code 1.
    void fail(const QString& what);
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
};

// The box and the line on standard error that tell of a fatal error.
void reportFatal(const QString& what);

} // namespace ta::app
