// termios2 lets the kernel take any baud rate; its header must not meet the
// C library's <termios.h>, hence this file of its own.
#include "platform/TerminalCustomBaud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

bool terminalSetCustomBaudRate(int fd, uint32_t baud)
{
    struct termios2 t {
    };
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    t.c_cflag &= ~(CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER << IBSHIFT;
    return ::ioctl(fd, TCSETS2, &t) == 0;
}
