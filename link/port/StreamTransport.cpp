#include "link/port/StreamTransport.h"

#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace ta::link {

std::string StreamTransport::errorText(int error) const { return std::strerror(error); }

PlainTransport::~PlainTransport() { ::close(fd_); }

ssize_t PlainTransport::receive(uint8_t* buf, std::size_t n) { return ::recv(fd_, buf, n, 0); }

ssize_t PlainTransport::send(const uint8_t* buf, std::size_t n) { return ::send(fd_, buf, n, MSG_NOSIGNAL); }

bool PlainTransport::endOutput() { return ::shutdown(fd_, SHUT_WR) == 0; }

} // namespace ta::link
