// Profile files: the raw 2928-byte record, beginning with "TAPRF1.0" and a
// zero byte.
#pragma once

#include <string>
#include <string_view>

#include "profile/FileIo.h"
#include "profile/Result.h"
#include "profile/TaProfile.h"

namespace ta {

// Bytes after the record that a load leaves out with a word, as what a tool
// or an editor may add (a line end, padding); a longer file is something else.
inline constexpr std::size_t kProfileTrailingMargin = 1024;

// Reads the record from the start of the file. Only when the bytes begin
// with the zero-terminated "TAPRF1.0" are they copied over the start of the
// record: a shorter file replaces only its first bytes, and the count of
// bytes taken tells so. Bytes after the record, up to a small margin, are
// left out and counted in trailing (for a warning); a longer file is
// refused. Otherwise the record is left exactly as it was, and the reason
// names the file. Anything but a regular file is refused before it is
// opened, so a pipe or a device cannot block.
Result<std::size_t> loadProfileFile(const std::string& path, TaProfile& profile, std::size_t* trailing = nullptr);

// The warning for a file loaded with bytes after the record:
// "NAME holds 3 bytes after the 2928 of a profile, left out".
std::string trailingBytesWarning(const std::string& name, std::size_t trailing);

// The same from an open descriptor (a pipe, standard input), read from where
// it stands, never past the margin; the descriptor stays open. name is what
// a reason calls it.
Result<std::size_t> loadProfileFrom(int fd, TaProfile& profile, const std::string& name,
                                    std::size_t* trailing = nullptr);

// Sets the record's magic and writes the record to the file as
// writeOutputFile does: a file is replaced only by a finished one, keeping
// its owner and mode; a pipe or a device is written into or refused as
// others says, never replaced.
Result<> saveProfileFile(const std::string& path, TaProfile& profile, OtherTargets others = OtherTargets::Refuse);

// A text form of a profile, written in the same safe way.
Result<> saveProfileText(const std::string& path, std::string_view text, OtherTargets others = OtherTargets::Refuse);

} // namespace ta
