// The two profile file dialogs of the main wizard, used by the editor too:
// "Open TA Profile" remembers the last file chosen, "Save TA Profile" starts
// with an empty name and asks before overwriting. They also keep the file
// the profile being edited was last read from or written to.
#pragma once

#include "profile/TaProfile.h"

#include <QString>

#include <functional>

class QWidget;

namespace ta::ui {

// After a profile file was loaded: the values the field rules refuse, in a
// warning. The file loads all the same; Submit to TA refuses what it would
// send of them.
void warnOfRuleBreaks(QWidget* parent, const QString& path, const TaProfile& profile);

class ProfileDialogs {
public:
    enum class Kind { Open, Save };

    // The chosen file, or an empty text when the user cancelled.
    QString chooseOpen(QWidget* parent);
    QString chooseSave(QWidget* parent);

    // The profile file being worked on; empty for the TA's or the default
    // settings.
    const QString& currentFile() const { return currentFile_; }
    void setCurrentFile(const QString& path) { currentFile_ = path; }

    // For tests: choose without showing a dialog.
    using Chooser = std::function<QString(Kind)>;
    static void setChooser(Chooser chooser);

private:
    QString lastOpened_ = QStringLiteral("*.CFG");
    QString currentFile_;
};

} // namespace ta::ui
