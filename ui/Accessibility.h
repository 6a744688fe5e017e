// What assistive technology is told beyond Qt's defaults: a list is named
// by its label, not by its current item, and a window can be announced as a
// dialog.
#pragma once

class QButtonGroup;
class QWidget;

namespace ta::ui {

// Installs the program's accessible interfaces; needs the QApplication and
// may be called any number of times.
void installAccessibility();

// The window is announced as a dialog. Call before it is first shown.
void exposeAsDialog(QWidget* window);

// Tab into a group of exclusive choices lands on the chosen one (the arrow
// keys then move the choice); with none chosen, on the first. Follows every
// change of choice from now on.
void tabLandsOnChosen(QButtonGroup* group);
// The same once, for a group whose buttons changed.
void moveTabToChosen(QButtonGroup* group);

} // namespace ta::ui
