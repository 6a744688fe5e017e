// What the commands share besides the option table: the options of the
// query list and the batch, and profiles and texts read from files or from
// standard input ("-") and written to files or standard output ("-").
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "OptionTable.h"
#include "atcmd/Options.h"
#include "profile/TaProfile.h"

namespace ta::tactl {

// The name that stands for standard input or output.
inline bool isStdio(const std::string& path) { return path == "-"; }

// --variant, --no-prefix, --remote, --x25, --no-datetime, --no-country and
// the two --clear-*-charge flags as the query list and the batch take them.
atcmd::Options listOptionsFrom(const CommandLine& line);

// Loads a profile file ("-": standard input) into a zeroed record; on
// failure returns nullopt with a one-line reason in error.
std::optional<TaProfile> loadProfileOrError(const std::string& path, std::string& error);

// Sets the magic and writes the record to the file, replacing it in one
// step, or to out for "-" (never to a terminal). "" or a one-line error.
std::string writeProfile(const std::string& path, TaProfile& profile, std::ostream& out);

// Why the profile cannot go to path ("-" on a terminal), or "": asked
// before a long exchange rather than after it.
std::string outputRefusal(const std::string& path);

// The whole of a text file ("-": standard input), at most kMaxTextSize bytes.
constexpr std::size_t kMaxTextSize = 1 << 20;
std::optional<std::string> readTextOrError(const std::string& path, std::string& error);

} // namespace ta::tactl
