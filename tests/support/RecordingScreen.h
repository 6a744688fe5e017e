// A Screen for the link's tests: every call that tells or changes something
// is recorded in order as one line of text, e.g. "message: Cannot find a TA
// to config!", "progressMax 135", "enableWizard 1". The two questions
// (wizardVisible, editorVisible) are answered from flags the
// test sets and are not recorded.
//
// Line forms: "message: TEXT", "log: LINE", "progressCaption: TEXT",
// "callingText: DOTS", "tickText: TEXT"; "enableWizard 0|1",
// "enableEditor 0|1", "showProgress 0|1", "showConnecting 0|1",
// "showRebooting 0|1", "progressMax N", "progress N"; and the bare names
// "focusWizard", "showWizardProfilePage", "hideWizard", "focusEditor",
// "showProfile", "collectProfile", "presentEditor", "removeX25Support",
// "hideSysDateTime", "chargeTextsChanged", "terminate", "identifyDone",
// "queryDone", "submitDone"; "readBackDone N" (N: the settings the TA lacks).
#pragma once

#include "link/Screen.h"

#include <string>
#include <string_view>
#include <vector>

namespace ta::testsupport {

class RecordingScreen : public link::Screen {
public:
    // --- What the test sets ---
    bool wizardShown = true;  // the wizard is the window the program starts with
    bool editorShown = false; // presentEditor shows it, hideWizard hides the wizard

    // --- What the test reads ---
    const std::vector<std::string>& calls() const { return calls_; }
    std::vector<std::string> messages() const;
    std::string lastMessage() const; // empty when none
    const std::string& lastDetails() const { return lastDetails_; } // of the last message
    int count(std::string_view call) const; // exact matches
    bool contains(std::string_view call) const { return count(call) > 0; }
    std::string lastWith(std::string_view prefix) const; // latest line with the prefix
    std::string text() const; // every line, LF after each
    void clear() { calls_.clear(); }

    bool wizardEnabled = true;
    bool editorEnabled = true;
    bool progressShown = false;
    bool connectingShown = false;
    bool rebootingShown = false;
    bool terminated = false;
    int progressMax = 0;
    int progress = 0;

    // --- Screen ---
    void showMessage(const std::string& text) override;
    void showDetailedMessage(const std::string& text, const std::string& details) override;
    void logLine(const std::string& line) override { record("log: " + line); }
    bool wizardVisible() override { return wizardShown; }
    void enableWizard(bool on) override { record("enableWizard", wizardEnabled = on); }
    void focusWizard() override { record("focusWizard"); }
    void showWizardProfilePage() override { record("showWizardProfilePage"); }
    void hideWizard() override;
    bool editorVisible() override { return editorShown; }
    void enableEditor(bool on) override { record("enableEditor", editorEnabled = on); }
    void focusEditor() override { record("focusEditor"); }
    void showProfile() override { record("showProfile"); }
    void collectProfile() override { record("collectProfile"); }
    void presentEditor() override;
    void removeX25Support() override { record("removeX25Support"); }
    void hideSysDateTime() override { record("hideSysDateTime"); }
    void chargeTextsChanged() override { record("chargeTextsChanged"); }
    void setProgressCaption(const std::string& caption) override { record("progressCaption: " + caption); }
    void setProgressMax(int max) override { record("progressMax " + std::to_string(progressMax = max)); }
    void setProgress(int position) override { record("progress " + std::to_string(progress = position)); }
    void showProgress(bool visible) override { record("showProgress", progressShown = visible); }
    void showConnecting(bool visible) override { record("showConnecting", connectingShown = visible); }
    void setCallingText(const std::string& dots) override { record("callingText: " + dots); }
    void showRebooting(bool visible) override { record("showRebooting", rebootingShown = visible); }
    void setTickText(const std::string& text) override { record("tickText: " + text); }
    void terminate() override
    {
        terminated = true;
        record("terminate");
    }
    void identifyDone() override { record("identifyDone"); }
    void queryDone() override { record("queryDone"); }
    void submitDone() override { record("submitDone"); }
    void readBackDone(const std::vector<atcmd::Difference>& differences) override
    {
        record("readBackDone " + std::to_string(differences.size()));
    }

private:
    void record(std::string call) { calls_.push_back(std::move(call)); }
    void record(std::string_view name, bool on) { record(std::string(name) + (on ? " 1" : " 0")); }

    std::vector<std::string> calls_;
    std::string lastDetails_;
};

} // namespace ta::testsupport
