// Runs Qt's event loop for a bounded time, or until a condition holds (looked
// at every few milliseconds); true when it holds, or when there is none.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace ta::testsupport {

inline bool runEventLoop(int maxMs, const std::function<bool()>& done = {})
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer check;
    if (done) {
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        check.start(2);
    }
    deadline.start(maxMs);
    if (!done || !done())
        loop.exec();
    return !done || done();
}

} // namespace ta::testsupport
