#include "tests/support/RecordingScreen.h"

#include <algorithm>

namespace ta::testsupport {
namespace {

constexpr std::string_view kMessage = "message: ";
constexpr std::string_view kLog = "log: ";

std::vector<std::string> withPrefix(const std::vector<std::string>& calls, std::string_view prefix)
{
    std::vector<std::string> found;
    for (const std::string& call : calls)
        if (call.starts_with(prefix))
            found.push_back(call.substr(prefix.size()));
    return found;
}

} // namespace

void RecordingScreen::showMessage(const std::string& text)
{
    lastDetails_.clear();
    record(std::string(kMessage) + text);
    if (onMessage)
        onMessage(text);
}

void RecordingScreen::showDetailedMessage(const std::string& text, const std::string& details)
{
    showMessage(text);
    lastDetails_ = details;
}

void RecordingScreen::logLine(const std::string& line) { record(std::string(kLog) + line); }

void RecordingScreen::enableWizard(bool on)
{
    wizardEnabled = on;
    record(flag("enableWizard", on));
}

void RecordingScreen::hideWizard()
{
    wizardShown = false;
    record("hideWizard");
}

void RecordingScreen::enableEditor(bool on)
{
    editorEnabled = on;
    record(flag("enableEditor", on));
}

void RecordingScreen::presentEditor()
{
    editorShown = true;
    record("presentEditor");
}

bool RecordingScreen::thresholdsValid()
{
    ++thresholdChecks;
    return thresholdsOk;
}

void RecordingScreen::setProgressMax(int max)
{
    progressMax = max;
    record("progressMax " + std::to_string(max));
}

void RecordingScreen::setProgress(int position)
{
    progress = position;
    record("progress " + std::to_string(position));
}

void RecordingScreen::showProgress(bool visible)
{
    progressShown = visible;
    record(flag("showProgress", visible));
}

void RecordingScreen::showConnecting(bool visible)
{
    connectingShown = visible;
    record(flag("showConnecting", visible));
}

void RecordingScreen::showRebooting(bool visible)
{
    rebootingShown = visible;
    record(flag("showRebooting", visible));
}

void RecordingScreen::terminate()
{
    terminated = true;
    record("terminate");
}

std::vector<std::string> RecordingScreen::messages() const { return withPrefix(calls_, kMessage); }

std::string RecordingScreen::lastMessage() const
{
    std::vector<std::string> all = messages();
    return all.empty() ? std::string() : all.back();
}

std::vector<std::string> RecordingScreen::logLines() const { return withPrefix(calls_, kLog); }

int RecordingScreen::count(std::string_view call) const
{
    int n = 0;
    for (const std::string& c : calls_)
        n += c == call;
    return n;
}

int RecordingScreen::countPrefix(std::string_view prefix) const
{
    int n = 0;
    for (const std::string& c : calls_)
        n += c.starts_with(prefix);
    return n;
}

int RecordingScreen::indexOf(std::string_view call, int from) const
{
    for (int i = std::max(from, 0); i < int(calls_.size()); ++i)
        if (calls_[static_cast<std::size_t>(i)] == call)
            return i;
    return -1;
}

std::string RecordingScreen::lastWith(std::string_view prefix) const
{
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
        if (it->starts_with(prefix))
            return *it;
    return {};
}

std::string RecordingScreen::text() const
{
    std::string all;
    for (const std::string& c : calls_)
        all += c + "\n";
    return all;
}

} // namespace ta::testsupport
