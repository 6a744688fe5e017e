#include "LocalChecks.h"

#include "profile/FieldValue.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"
#include "profile/TaProfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ta::link {

namespace {

std::string tooLarge(const std::string& name, std::size_t size)
{
    return name + " holds " + std::to_string(size) + " bytes; a firmware file holds at most 8 MiB (" +
           std::to_string(kFirmwareMaxBytes) + " bytes)";
}

Result<std::vector<uint8_t>> readOpenFirmware(int fd, const std::string& name)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return unexpected(name + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return unexpected(name + " is " + fileKindOf(st.st_mode) + ", not a firmware file");
    if (std::size_t(st.st_size) > kFirmwareMaxBytes)
        return unexpected(tooLarge(name, std::size_t(st.st_size)));
    // One byte more than the limit, so that a file that grows shows itself.
    std::vector<uint8_t> bytes(kFirmwareMaxBytes + 1);
    const ssize_t got = readFully(fd, bytes.data(), bytes.size());
    if (got < 0)
        return unexpected(name + ": " + std::strerror(errno));
    bytes.resize(std::size_t(got));
    if (bytes.size() > kFirmwareMaxBytes)
        return unexpected(tooLarge(name, bytes.size())); // it grew while being read
    if (bytes.empty())
        return unexpected(name + " is empty");
    return bytes;
}

bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

} // namespace

Result<std::vector<uint8_t>> readFirmwareFile(const std::string& path)
{
    const std::string name = printable(path);
    if (path.empty())
        return unexpected(std::string("no firmware file given"));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return unexpected(name + ": " + std::strerror(errno));
    auto bytes = readOpenFirmware(fd, name);
    ::close(fd);
    return bytes;
}

Result<> checkDialNumber(std::string_view number)
{
    if (number.empty() || number.size() >= kNumberLen || !isPhoneText(number) ||
        std::none_of(number.begin(), number.end(), isDigitChar))
        return unexpected("takes a telephone number of 1 to 32 digits, '-', '*', '#', blanks, '(', ')', '[' or ']', at least one of them a digit");
    return {};
}

} // namespace ta::link
