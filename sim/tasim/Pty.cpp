#include "sim/tasim/Pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace ta::sim {
namespace {

std::string failure(const char* step)
{
    return std::string(step) + ": " + std::strerror(errno);
}

} // namespace

std::string openPty(Pty& pty)
{
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.master < 0)
        return failure("posix_openpt");
    if (grantpt(pty.master) != 0)
        return failure("grantpt");
    if (unlockpt(pty.master) != 0)
        return failure("unlockpt");
    const char* name = ptsname(pty.master);
    if (!name)
        return failure("ptsname");
    pty.slavePath = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.slave < 0)
        return failure("open slave");
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0)
        return failure("tcgetattr");
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0)
        return failure("tcsetattr");
    return {};
}

void closePty(Pty& pty)
{
    if (pty.slave >= 0)
        close(pty.slave);
    if (pty.master >= 0)
        close(pty.master);
    pty.slave = pty.master = -1;
}

} // namespace ta::sim
