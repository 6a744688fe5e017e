// Whole reads and writes on a descriptor, patient with short counts and
// interrupted calls; and the one way every program here writes an output
// file, without ever putting a file where a pipe, a device or a folder was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "profile/Result.h"

namespace ta {

// Reads until size bytes are in or the file ends. The count read; -1 on a
// read error (errno tells which).
ssize_t readFully(int fd, void* buffer, std::size_t size);

// Writes all size bytes; false on a write error.
bool writeFully(int fd, const void* data, std::size_t size);

// What a file that is not a regular one is, for a message: "a pipe".
std::string fileKindOf(mode_t mode);

// What an output does with a name that is no regular file.
enum class OtherTargets {
    Refuse,    // only a file of its own: the editor's Save, a backup
    WriteInto, // -o: a pipe, a character device or an open descriptor
               // (/dev/stdout) takes the bytes and stays what it is
};

// Why path cannot take an output, in the manner of strerror ("Is a pipe,
// not a file"), or empty when it can. Looks only: nothing is opened, so
// it can be asked before a long exchange. A link is followed to what it
// names; a missing file needs a folder that can be written.
std::string outputProblem(const std::string& path, OtherTargets others = OtherTargets::Refuse);

// Writes bytes to path. A regular file, or a missing one, is replaced in
// one step by a temporary file in its folder that takes the old file's
// owner, group and mode, so a failed write leaves the old file intact; a
// link to it stays a link. A file with other names (hard links), or one
// whose owner the new file cannot take but the user may write, is written
// where it is instead, its earlier content copied aside first and put back
// if the write fails. A pipe or a device is written into when others
// allows it, never replaced; a pipe that nobody reads is given 30 seconds
// to find its reader, and a signal ends the wait. The reason of a failure
// is as outputProblem's.
Result<> writeOutputFile(const std::string& path, std::string_view bytes, OtherTargets others = OtherTargets::Refuse);

} // namespace ta
