// What the commands that talk to a TA lend to the others.
#pragma once

#include <iosfwd>
#include <vector>

#include "LinkJson.h"
#include "OptionTable.h"

namespace ta::tactl {

// The exit codes of diff, with or without --ta.
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

// diff --ta FILE.CFG: the TA's settings against the file, as diff prints two
// files ("name: TA -> file"); 0 equal, 1 different, 2 trouble.
int runDiffWithTa(const CommandLine& line, std::ostream& out, std::ostream& err);

// "name: before -> after" lines, as both diffs print them.
void printChanges(const std::vector<ChangedField>& changes, std::ostream& out);

} // namespace ta::tactl
