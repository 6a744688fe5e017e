// What the commands share besides the option table: the options of the
// query list and the batch, and profiles and texts read from files or from
// standard input ("-") and written to files or standard output ("-").
#pragma once

#include <iosfwd>
#include <string>

#include "OptionTable.h"
#include "atcmd/Options.h"
#include "profile/FileIo.h"
#include "profile/Result.h"
#include "profile/TaProfile.h"

namespace ta::tactl {

// The name that stands for standard input or output.
inline bool isStdio(const std::string& path) { return path == "-"; }

// --variant, --no-prefix, --remote, --x25, --no-datetime, --no-country and
// the two --clear-*-charge flags as the query list and the batch take them.
atcmd::Options listOptionsFrom(const CommandLine& line);

// One "name=value" into the profile, the value checked against its field
// as set checks it: a number in range, a code or its label, a text that fits.
Result<> assign(TaProfile& profile, const std::string& assignment);

// kExitOk, or the reason on err and kExitFailure.
int exitCode(const Result<>& done, std::ostream& err);

// Loads a profile file ("-": standard input) into a zeroed record. A file
// shorter than the record loads, with a warning on warnings when given, and
// so does one with values the field rules refuse, unless rules is false.
Result<TaProfile> readProfile(const std::string& path, std::ostream* warnings = nullptr, bool rules = true);

// The values of a loaded profile that the field rules refuse, as a warning:
// the file is kept as it is, and a submit refuses what it would send of them.
void warnOfRuleBreaks(const std::string& path, const TaProfile& profile, std::ostream& warnings);

// Sets the magic and writes the record to the file, replacing it in one
// step, or to out for "-" (never to a terminal). What -o names may be a
// pipe or a device, written into; a backup or the file that set edits is
// a file of its own (OtherTargets::Refuse).
Result<> writeProfile(const std::string& path, TaProfile& profile, std::ostream& out,
                      OtherTargets others = OtherTargets::WriteInto);

// A text form of a profile to the file, replacing it in one step, or to out for "-".
Result<> writeProfileText(const std::string& path, const std::string& text, std::ostream& out,
                          OtherTargets others = OtherTargets::WriteInto);

// Whether the profile can go to "-" (not on a terminal): asked before a
// long exchange rather than after it, as checkLocalInputs asks of a file.
Result<> checkOutput(const std::string& path);

// The whole of a text file ("-": standard input), at most kMaxTextSize bytes.
constexpr std::size_t kMaxTextSize = 1 << 20;
Result<std::string> readText(const std::string& path);

} // namespace ta::tactl
