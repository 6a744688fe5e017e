// Profile files: the raw 2928-byte record, beginning with "TAPRF1.0" and a
// zero byte.
#pragma once

#include <string>

#include "profile/TaProfile.h"

namespace ta {

enum class LoadResult {
    Ok,
    NoFile,     // no name given, or no such file
    CannotOpen, // the file exists but cannot be read
    WrongMagic, // not a profile file; also a file too short to hold the magic
};

// Reads at most the record's size from the start of the file. Only when the
// bytes begin with the zero-terminated "TAPRF1.0" are they copied over the
// start of the record: a shorter file replaces only its first bytes. On any
// other result the record is left exactly as it was.
LoadResult loadProfileFile(const std::string& path, TaProfile& profile);

// The same from an open descriptor (a pipe, standard input), read from where
// it stands; the descriptor stays open.
LoadResult loadProfileFrom(int fd, TaProfile& profile);

// A one-line English text for a load result, naming the file.
std::string loadErrorText(LoadResult result, const std::string& path);

// Sets the record's magic and writes the record to the file. The bytes go to
// a temporary file in the same folder that replaces the target only once
// they are all written and flushed, so a failed save leaves an existing file
// intact. Returns an empty text on success, else a one-line error.
std::string saveProfileFile(const std::string& path, TaProfile& profile);

} // namespace ta
