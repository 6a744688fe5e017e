#include "link/port/TlsSocketBio.h"

#include <openssl/bio.h>

#include <cerrno>
#include <cstdint>
#include <sys/socket.h>

namespace ta::link {

namespace {

int fdOf(BIO* bio) { return int(reinterpret_cast<intptr_t>(BIO_get_data(bio))); }

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

int writeSocket(BIO* bio, const char* data, int length)
{
    BIO_clear_retry_flags(bio);
    ssize_t put = 0;
    do {
        put = ::send(fdOf(bio), data, std::size_t(length), MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    if (put < 0 && wouldBlock(errno))
        BIO_set_retry_write(bio);
    return int(put);
}

int readSocket(BIO* bio, char* data, int length)
{
    BIO_clear_retry_flags(bio);
    ssize_t got = 0;
    do {
        got = ::recv(fdOf(bio), data, std::size_t(length), 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && wouldBlock(errno))
        BIO_set_retry_read(bio);
    return int(got);
}

long controlSocket(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int createSocket(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* socketMethod()
{
    // Made once and kept for the program's life, as the library's own are.
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket without SIGPIPE");
        if (made && (BIO_meth_set_write(made, writeSocket) != 1 || BIO_meth_set_read(made, readSocket) != 1
                     || BIO_meth_set_ctrl(made, controlSocket) != 1 || BIO_meth_set_create(made, createSocket) != 1)) {
            BIO_meth_free(made);
            made = nullptr;
        }
        return made;
    }();
    return method;
}

} // namespace

BIO* newSocketBio(int fd)
{
    const BIO_METHOD* method = socketMethod();
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (bio)
        BIO_set_data(bio, reinterpret_cast<void*>(intptr_t(fd)));
    return bio;
}

} // namespace ta::link
