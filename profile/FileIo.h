// Whole reads and writes on a descriptor, patient with short counts and
// interrupted calls.
#pragma once

#include <cstddef>
#include <sys/types.h>

namespace ta {

// Reads until size bytes are in or the file ends. The count read; -1 on a
// read error (errno tells which).
ssize_t readFully(int fd, void* buffer, std::size_t size);

// Writes all size bytes; false on a write error.
bool writeFully(int fd, const void* data, std::size_t size);

} // namespace ta
