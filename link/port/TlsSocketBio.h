// The TLS library's bytes on a non-blocking socket, sent with MSG_NOSIGNAL:
// its own socket BIO writes with write(2), and a console server that has
// gone would end the program with SIGPIPE.
#pragma once

#include <openssl/types.h>

namespace ta::link {

// A BIO on `fd`, which it does not close; nullptr when none can be made.
BIO* newSocketBio(int fd);

} // namespace ta::link
