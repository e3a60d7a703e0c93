// Line rates without a B-constant, through termios2 and BOTHER (TCGETS2/TCSETS2).
// In a file of its own because <asm/termbits.h> clashes with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace r7730::linux_speed {

// Sets both directions of the open tty fd to rate bit/s. Returns 0 or the error number; on
// success appliedRate holds the output rate the driver reports afterwards.
int SetArbitraryRate(int fd, int rate, int& appliedRate)
{
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return errno;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(rate);
    settings.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &settings) != 0)
        return errno;
    struct termios2 readBack {};
    if (ioctl(fd, TCGETS2, &readBack) != 0)
        return errno;
    appliedRate = static_cast<int>(readBack.c_ospeed);
    return 0;
}

// The output rate in bit/s the driver reports for the open tty fd. Returns 0 or the error number.
int ReadOutputRate(int fd, int& rate)
{
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return errno;
    rate = static_cast<int>(settings.c_ospeed);
    return 0;
}

} // namespace r7730::linux_speed
