// What a sequence of the link asks of the screen. The GUI implements it with
// windows, the command line with a terminal, the tests with a recorder.
#pragma once

#include "atcmd/WriteCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ta::link {

class Screen {
public:
    virtual ~Screen() = default;

    // The one way to tell the user something (a modal box with caption " ").
    virtual void showMessage(const std::string& text) = 0;
    // The same box with details below the text (why each port was passed
    // over); a screen without room for them shows the text alone.
    virtual void showDetailedMessage(const std::string& text, const std::string& details)
    {
        (void)details;
        showMessage(text);
    }
    // How the user knows the setting at this offset of the profile record,
    // with the value of field (its bytes): "RS232 Port > Advance Setting >
    // Advance options > Auto Answer: 3". Empty when the screen has no form
    // of its own; the link then names the field as tactl does.
    virtual std::string settingText(std::size_t offset, const uint8_t* field)
    {
        (void)offset;
        (void)field;
        return {};
    }
    // One line of the debug log (called only while the debug switch is on).
    virtual void logLine(const std::string& line) = 0;

    // Main wizard.
    virtual bool wizardVisible() = 0;
    virtual void enableWizard(bool on) = 0;
    virtual void focusWizard() = 0;
    virtual void showWizardProfilePage() = 0; // page PG2 becomes active
    virtual void hideWizard() = 0;

    // Detail editor.
    virtual bool editorVisible() = 0;
    virtual void enableEditor(bool on) = 0;
    virtual void focusEditor() = 0;
    virtual void showProfile() = 0;    // workingProfile into the controls
    virtual void collectProfile() = 0; // controls into workingProfile
    virtual void presentEditor() = 0;
    virtual void removeX25Support() = 0;
    virtual void hideSysDateTime() = 0; // the date/time group
    // The controls copied into a record as collectProfile copies them into
    // workingProfile, which stays as it is; a screen without controls leaves
    // the record alone.
    virtual void collectProfileInto(TaProfile& profile) { (void)profile; }
    virtual void chargeTextsChanged() = 0; // chargeLast / chargeAcc of the context

    // Progress window and its gauge.
    virtual void setProgressCaption(const std::string& caption) = 0;
    virtual void setProgressMax(int max) = 0;
    virtual void setProgress(int position) = 0;
    virtual void showProgress(bool visible) = 0;
    // Whether the progress window offers Cancel (not during the firmware
    // transfer, which runs to its end).
    virtual void setProgressCancellable(bool on) { (void)on; }

    // Connecting window (remote call) and rebooting window (after an upgrade).
    virtual void showConnecting(bool visible) = 0;
    virtual void setCallingText(const std::string& dots) = 0;
    virtual void showRebooting(bool visible) = 0;
    virtual void setTickText(const std::string& text) = 0;

    // The application terminates (after the hang-up of a remote TA).
    virtual void terminate() = 0;

    // An identification, a query or a submit has ended well. The windows
    // need nothing more than the calls above; a caller without windows waits
    // for these.
    virtual void identifyDone() {}
    virtual void queryDone() {}
    virtual void submitDone() {}
    // An apply has read the TA and compared it with the wanted settings:
    // what would change (sent: the wanted value, taHas: the TA's). With
    // writing the write follows; else the apply has ended.
    virtual void applyCompared(const std::vector<atcmd::Difference>& differences, bool writing)
    {
        (void)differences;
        (void)writing;
    }
    // The read-back after a submit has ended: what the TA holds other than
    // the batch sent, nothing when it took every value. submitDone follows.
    virtual void readBackDone(const std::vector<atcmd::Difference>& differences) { (void)differences; }
};

} // namespace ta::link
