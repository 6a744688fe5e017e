// Helpers for the UI tests: a window to put fields in and give the focus.
#pragma once

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <initializer_list>
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

// Puts the widgets in one column of window, which takes them over, and shows
// it as the active window.
inline bool showInColumn(QWidget& window, std::initializer_list<QWidget*> widgets)
{
    auto* column = new QVBoxLayout(&window);
    for (QWidget* widget : widgets)
        column->addWidget(widget);
    return showActive(window);
}

// Moves the focus as the Tab key does and lets the reactions queued by the
// move run.
inline void tabTo(QWidget* widget)
{
    widget->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
}

} // namespace ta::ui::testing
