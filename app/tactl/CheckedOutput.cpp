#include "CheckedOutput.h"

#include <cerrno>
#include <unistd.h>

#include "profile/FileIo.h"

namespace ta::tactl {

CheckedOutput::CheckedOutput(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

bool CheckedOutput::put(const char* data, std::size_t size)
{
    if (error_ != 0)
        return false;
    errno = 0;
    if (writeFully(fd_, data, size))
        return true;
    error_ = errno != 0 ? errno : EIO;
    return false;
}

bool CheckedOutput::drain()
{
    const auto pending = std::size_t(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return put(buffer_.data(), pending);
}

CheckedOutput::int_type CheckedOutput::overflow(int_type c)
{
    if (!drain())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

// A block larger than the buffer goes out in one write.
std::streamsize CheckedOutput::xsputn(const char* data, std::streamsize size)
{
    if (size <= epptr() - pptr())
        return std::streambuf::xsputn(data, size);
    return drain() && put(data, std::size_t(size)) ? size : 0;
}

int CheckedOutput::sync() { return drain() ? 0 : -1; }

int CheckedOutput::finish()
{
    drain();
    // A file system that writes back late (NFS) reports its failure here.
    if (::close(fd_) != 0 && errno != EBADF && errno != EINTR && error_ == 0)
        error_ = errno;
    return error_;
}

} // namespace ta::tactl
