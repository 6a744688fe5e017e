// Arbitrary bit rates through termios2. This file must not include
// <termios.h>: its struct termios clashes with the kernel's.
#include "link/port/PosixSerial.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace ta::link {

bool setCustomBitRate(int fd, uint32_t bitsPerSecond)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = bitsPerSecond;
    tio.c_ospeed = bitsPerSecond;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

uint32_t currentBitRate(int fd)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace ta::link
