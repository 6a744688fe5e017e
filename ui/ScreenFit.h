// Windows that fit the screen they are on: never larger than its available
// area, the window manager's frame counted, and wholly inside it. What does
// not fit scrolls inside the window.
#pragma once

#include <QSize>

class QWidget;

namespace ta::ui {

enum class Placement {
    Centred, // in the middle of its screen
    Kept,    // where it is, moved inside when it sticks out
};

// Keeps a top-level window fitted to its screen from now on: whenever it is
// shown, when the window manager's frame turns out other than assumed, and
// when it moves to another screen. The size it has when first shown is the
// size it wants; a fixed-size window stays fixed, at the fitted size.
void keepOnScreen(QWidget* window, Placement placement);

// The window now wants this size (and gets what the screen allows of it).
void fitOnScreen(QWidget* window, QSize wanted);

} // namespace ta::ui
