#include "TerminalScreen.h"

#include "profile/Printable.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>

namespace ta::tactl {

namespace {

constexpr int kBarWidth = 30;

} // namespace

TerminalScreen::TerminalScreen(link::AppContext& ctx, std::ostream& err, bool debug, bool terminal)
    : ctx_(ctx), err_(err), debug_(debug), tty_(terminal)
{
}

bool TerminalScreen::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void TerminalScreen::finishLine()
{
    if (lineOpen_)
        err_ << '\n' << std::flush;
    lineOpen_ = false;
}

void TerminalScreen::actAsEditor(bool editor)
{
    editorShown_ = editor;
    wizardShown_ = !editor;
}

void TerminalScreen::resetOutcome()
{
    failed_ = false;
    failure_.clear();
    identifyFinished_ = false;
    queryFinished_ = false;
    submitFinished_ = false;
}

void TerminalScreen::showMessage(const std::string& text)
{
    finishLine();
    err_ << "tactl: " << printable(text) << '\n';
    failed_ = true;
    failure_ = text;
    failureDetails_.clear();
}

void TerminalScreen::showDetailedMessage(const std::string& text, const std::string& details)
{
    showMessage(text);
    failureDetails_ = details;
    std::size_t start = 0;
    while (start < details.size()) {
        const std::size_t end = std::min(details.find('\n', start), details.size());
        err_ << "  " << printable(details.substr(start, end - start)) << '\n';
        start = end + 1;
    }
}

void TerminalScreen::logLine(const std::string& line)
{
    if (!debug_)
        return;
    finishLine();
    // What the TA sent is shown as it came, its control bytes escaped.
    err_ << printable(line) << '\n';
}

void TerminalScreen::applyCompared(const std::vector<atcmd::Difference>& differences, bool writing)
{
    applyCompared_ = true;
    applyWriting_ = writing;
    applyDifferences_ = differences;
}

void TerminalScreen::setProgressCaption(const std::string& caption)
{
    caption_ = caption;
    if (caption == "Firmware upgrade progress status" && counts_) {
        transfer_ = TransferTimes{};
        transfer_.started = true;
        transfer_.start = std::chrono::steady_clock::now();
        transfer_.sentAtStart = counts_->sent;
        transfer_.receivedAtStart = counts_->received;
    }
}

void TerminalScreen::setProgressMax(int max)
{
    if (max != 0)
        max_ = max;
    position_ = std::min(position_, max_);
    drawBar();
}

void TerminalScreen::setProgress(int position)
{
    position_ = std::clamp(position, 0, max_);
    drawBar();
}

void TerminalScreen::showProgress(bool visible)
{
    barShown_ = visible;
    if (visible)
        drawBar();
    else
        finishLine();
}

void TerminalScreen::drawBar()
{
    if (!tty_ || !barShown_ || debug_)
        return;
    const int filled = max_ > 0 ? position_ * kBarWidth / max_ : 0;
    err_ << '\r' << '[' << std::string(std::size_t(filled), '#') << std::string(std::size_t(kBarWidth - filled), ' ')
         << "] " << position_ << " of " << max_ << ' ' << std::flush;
    lineOpen_ = true;
}

void TerminalScreen::showConnecting(bool visible)
{
    if (!visible)
        return;
    finishLine();
    err_ << "Connecting remote TA ..." << '\n';
}

void TerminalScreen::showRebooting(bool visible)
{
    if (visible && transfer_.started && !transfer_.finished && counts_) {
        transfer_.finished = true;
        transfer_.end = std::chrono::steady_clock::now();
        transfer_.sentAtEnd = counts_->sent;
        transfer_.receivedAtEnd = counts_->received;
    }
    finishLine();
    if (!visible)
        return;
    err_ << "Rebooting TA ..." << (tty_ ? "" : "\n") << std::flush;
    lineOpen_ = tty_;
}

void TerminalScreen::setTickText(const std::string& text)
{
    if (!tty_)
        return;
    err_ << "\rRebooting TA ... " << text << "   " << std::flush;
    lineOpen_ = true;
}

} // namespace ta::tactl
