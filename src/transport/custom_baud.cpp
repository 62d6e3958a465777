// Kept apart from the termios users: <asm/termbits.h> clashes with <termios.h>.
#include "transport/custom_baud.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace tq50r::transport::detail {

int setArbitrarySpeed(int fd, int speedBps) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    tio.c_ispeed = static_cast<speed_t>(speedBps);
    tio.c_ospeed = static_cast<speed_t>(speedBps);
    if (::ioctl(fd, TCSETS2, &tio) != 0) {
        return errno;
    }
    return 0;
}

} // namespace tq50r::transport::detail
