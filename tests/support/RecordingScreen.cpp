#include "tests/support/RecordingScreen.h"

#include <algorithm>

namespace ta::testsupport {

namespace {
constexpr std::string_view kMessage = "message: ";
} // namespace

void RecordingScreen::showMessage(const std::string& text)
{
    lastDetails_.clear();
    record(std::string(kMessage) + text);
}

void RecordingScreen::showDetailedMessage(const std::string& text, const std::string& details)
{
    showMessage(text);
    lastDetails_ = details;
}

void RecordingScreen::hideWizard()
{
    wizardShown = false;
    record("hideWizard");
}

void RecordingScreen::presentEditor()
{
    editorShown = true;
    record("presentEditor");
}

std::vector<std::string> RecordingScreen::messages() const
{
    std::vector<std::string> found;
    for (const std::string& call : calls_)
        if (call.starts_with(kMessage))
            found.push_back(call.substr(kMessage.size()));
    return found;
}

std::string RecordingScreen::lastMessage() const
{
    const std::string last = lastWith(kMessage);
    return last.empty() ? last : last.substr(kMessage.size());
}

int RecordingScreen::count(std::string_view call) const
{
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

std::string RecordingScreen::lastWith(std::string_view prefix) const
{
    const auto it = std::find_if(calls_.rbegin(), calls_.rend(), [prefix](const std::string& c) { return c.starts_with(prefix); });
    return it == calls_.rend() ? std::string() : *it;
}

std::string RecordingScreen::text() const
{
    std::string all;
    for (const std::string& c : calls_)
        all += c + "\n";
    return all;
}

} // namespace ta::testsupport
