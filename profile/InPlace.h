// Writing a file where it is, for a file whose identity a replacement would
// lose: one with other names (hard links), or one the user may write whose
// owner a new file of the user's cannot take. Editors do the same.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

#include "profile/Result.h"

namespace ta {

inline constexpr char kReplacedWhileSaving[] = "Was replaced by something else while being saved";

// Writes bytes over the file name (links already followed), which must
// still be the file looked at. Its earlier content is first copied to a
// private temporary file in folder: a write that fails puts it back, and
// should that fail too the copy stays, as name + "~" when that name is
// free, and the reason says where. The copy goes once the write is done.
Result<> writeFileInPlace(const std::string& name, const std::string& folder, const struct stat& looked,
                          std::string_view bytes);

} // namespace ta
