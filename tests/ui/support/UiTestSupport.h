// Helpers for the UI tests: a window to put fields in and give the focus.
#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace ta::ui::testing {

// Shows a top-level window and waits until it is the active one, so that
// focus changes behave as for a user.
inline bool showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace ta::ui::testing
