#include "Suggestion.h"

#include <algorithm>
#include <cctype>

#include "profile/FieldList.h"

namespace ta::tactl {
namespace {

constexpr std::size_t kMostSuggestions = 3;
// Below this many characters everything is one slip from something.
constexpr std::size_t kShortestGuessed = 3;

char folded(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

// A short name tolerates one slip, a longer one a slip in every four letters.
std::size_t tolerance(std::string_view typed) { return std::max<std::size_t>(1, typed.size() / 4); }

bool startsWith(std::string_view name, std::string_view typed)
{
    return typed.size() < name.size() &&
           std::equal(typed.begin(), typed.end(), name.begin(), [](char a, char b) { return folded(a) == folded(b); });
}

} // namespace

std::size_t editDistance(std::string_view a, std::string_view b)
{
    // Three rows of the optimal string alignment table.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            const bool swapped = i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
                                 folded(a[i - 2]) == folded(b[j - 1]);
            if (swapped)
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& names)
{
    if (typed.size() < kShortestGuessed)
        return {};
    std::vector<std::pair<std::size_t, std::string>> close;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(typed, name);
        // A name begun but not finished counts as one slip.
        const std::size_t counted = startsWith(name, typed) ? std::min<std::size_t>(distance, 1) : distance;
        if (counted <= tolerance(typed))
            close.emplace_back(counted, name);
    }
    std::stable_sort(close.begin(), close.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> best;
    for (const auto& [distance, name] : close)
        if (distance == close.front().first && best.size() < kMostSuggestions &&
            std::find(best.begin(), best.end(), name) == best.end())
            best.push_back(name);
    return best;
}

std::string didYouMean(std::string_view typed, const std::vector<std::string>& names)
{
    const std::vector<std::string> best = closestNames(typed, names);
    if (best.empty())
        return "";
    std::string text = "; did you mean ";
    for (std::size_t i = 0; i < best.size(); ++i)
        text += (i == 0 ? "" : i + 1 == best.size() ? " or " : ", ") + ("'" + best[i] + "'");
    return text + "?";
}

std::string didYouMeanField(std::string_view typed)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const FieldInfo& field : profileFields())
            all.push_back(field.name);
        return all;
    }();
    return didYouMean(typed, names);
}

} // namespace ta::tactl
