// The two profile file dialogs of the main wizard, used by the editor too:
// "Open TA Profile" remembers the last file chosen, "Save TA Profile" starts
// with an empty name and asks before overwriting.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ta::ui {

class ProfileDialogs {
public:
    enum class Kind { Open, Save };

    // The chosen file, or an empty text when the user cancelled.
    QString chooseOpen(QWidget* parent);
    QString chooseSave(QWidget* parent);

    // For tests: choose without showing a dialog.
    using Chooser = std::function<QString(Kind)>;
    static void setChooser(Chooser chooser);

private:
    QString lastOpened_ = QStringLiteral("*.CFG");
};

} // namespace ta::ui
