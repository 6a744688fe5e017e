// The link's screen on a terminal: messages and the debug log on stderr, a
// progress bar when stderr is a terminal, and the ends of a sequence told to
// whoever waits for them.
#pragma once

#include "link/Context.h"
#include "link/Screen.h"

#include "CountingBackend.h"

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

namespace ta::tactl {

// When the firmware transfer began and ended, and the line's byte counts then.
struct TransferTimes {
    bool started = false;
    bool finished = false;
    std::chrono::steady_clock::time_point start, end;
    uint64_t sentAtStart = 0, receivedAtStart = 0, sentAtEnd = 0, receivedAtEnd = 0;
};

class TerminalScreen : public link::Screen {
public:
    // terminal: err is a terminal, so a progress bar and the reboot count
    // are redrawn in place on one line.
    TerminalScreen(link::AppContext& ctx, std::ostream& err, bool debug, bool terminal);
    static bool stderrIsTerminal();

    // Ends a line the bar or the reboot count left open, so that whatever
    // is printed next starts on a line of its own.
    void finishLine();

    // Which window the program would be in: the wizard before a query, the
    // editor before a submit or an upgrade.
    void actAsEditor(bool editor);

    bool failed() const { return failed_; }
    const std::string& failure() const { return failure_; }
    const std::string& failureDetails() const { return failureDetails_; }
    bool identifyFinished() const { return identifyFinished_; }
    bool queryFinished() const { return queryFinished_; }
    bool submitFinished() const { return submitFinished_; }
    bool terminated() const { return terminated_; }
    void resetOutcome();
    void watchBytes(const ByteCounts* counts) { counts_ = counts; }
    const TransferTimes& transfer() const { return transfer_; }

    void showMessage(const std::string& text) override;
    void showDetailedMessage(const std::string& text, const std::string& details) override;
    void logLine(const std::string& line) override;
    bool wizardVisible() override { return wizardShown_; }
    void enableWizard(bool) override {}
    void focusWizard() override {}
    void showWizardProfilePage() override {}
    void hideWizard() override { wizardShown_ = false; }
    bool editorVisible() override { return editorShown_; }
    void enableEditor(bool) override {}
    void focusEditor() override {}
    void showProfile() override {}
    void collectProfile() override {} // the profile is the file's, as loaded
    void presentEditor() override { editorShown_ = true; }
    void removeX25Support() override {}
    void hideSysDateTime() override {}
    void chargeTextsChanged() override {}
    void setProgressCaption(const std::string& caption) override;
    void setProgressMax(int max) override;
    void setProgress(int position) override;
    void showProgress(bool visible) override;
    void showConnecting(bool visible) override;
    void setCallingText(const std::string&) override {}
    void showRebooting(bool visible) override;
    void setTickText(const std::string& text) override;
    void terminate() override { terminated_ = true; }
    void identifyDone() override { identifyFinished_ = true; }
    void queryDone() override { queryFinished_ = true; }
    void submitDone() override { submitFinished_ = true; }
    void readBackDone(const std::vector<atcmd::Difference>& differences) override { differences_ = differences; }
    void applyCompared(const std::vector<atcmd::Difference>& differences, bool writing) override;
    // An apply has ended well: compared, and written and read back when it wrote.
    bool applyFinished() const { return applyCompared_ && (!applyWriting_ || submitFinished_); }
    bool applyWriting() const { return applyWriting_; }
    // What the apply found different before it wrote.
    const std::vector<atcmd::Difference>& applyDifferences() const { return applyDifferences_; }
    // What the read-back after the last submit found.
    const std::vector<atcmd::Difference>& differences() const { return differences_; }

private:
    void drawBar();

    link::AppContext& ctx_;
    std::ostream& err_;
    bool debug_;
    bool tty_;
    bool wizardShown_ = true;
    bool editorShown_ = false;
    bool failed_ = false;
    std::string failure_;
    std::string failureDetails_;
    bool identifyFinished_ = false;
    bool queryFinished_ = false;
    bool submitFinished_ = false;
    bool terminated_ = false;
    std::string caption_;
    int max_ = 100;
    int position_ = 0;
    bool barShown_ = false;
    bool lineOpen_ = false; // the bar or the reboot count ends the last line
    const ByteCounts* counts_ = nullptr;
    TransferTimes transfer_;
    std::vector<atcmd::Difference> differences_;
    bool applyCompared_ = false;
    bool applyWriting_ = false;
    std::vector<atcmd::Difference> applyDifferences_;
};

} // namespace ta::tactl
