// The temporary files that an output file is written to before it takes
// the file's place, and the sweep of those that a killed save left behind.
#pragma once

#include <string>

namespace ta {

// A new, empty temporary file in folder, open for writing; its name goes to
// temp. -1 with errno when none can be made.
int createTemp(const std::string& folder, std::string& temp);

// Removes the temporary files in folder whose writer is gone.
void removeStaleTemps(const std::string& folder);

} // namespace ta
