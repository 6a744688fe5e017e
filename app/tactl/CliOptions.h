// Argument parsing shared by the commands that build query lists and batches.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "CommandTable.h"
#include "atcmd/Options.h"
#include "profile/TaProfile.h"

namespace ta::tactl {

struct LinkArgs {
    atcmd::Options options;
    std::string file; // the one positional argument, if any
};

// The usage text of the options parsed by parseLinkArgs.
extern const char* const kLinkOptionsUsage;

// Parses [--no-prefix] [--variant N] [--remote] [--x25] [--no-datetime]
// [--no-country] [--clear-last-charge] [--clear-acc-charge] and, when
// wantFile, one file name. On error returns nullopt with the reason in error.
std::optional<LinkArgs> parseLinkArgs(Args args, bool wantFile, std::string& error);

// Loads a profile file into a zeroed record; on failure returns nullopt with
// a one-line reason in error. A file shorter than the record loads, with a
// warning on warnings when given.
std::optional<TaProfile> loadProfileOrError(const std::string& path, std::string& error,
                                            std::ostream* warnings = nullptr);

} // namespace ta::tactl
