// "Did you mean" for a mistyped command, option or field name, as git
// offers it: the known names closest to what was typed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ta::tactl {

// Edits that turn one name into the other: a letter added, dropped,
// changed, or two neighbours swapped; case does not count.
std::size_t editDistance(std::string_view a, std::string_view b);

// The names close enough to the typed one to be what was meant, best
// first, at most three; none when nothing is close.
std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& names);

// "; did you mean 'show'?", "; did you mean 'query' or 'querylist'?", or
// "" when nothing is close.
std::string didYouMean(std::string_view typed, const std::vector<std::string>& names);

// The same among the fields of a profile, as show names them.
std::string didYouMeanField(std::string_view typed);

} // namespace ta::tactl
