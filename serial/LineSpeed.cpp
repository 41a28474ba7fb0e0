#include "serial/LineSpeed.h"

// The kernel's own termios: glibc's <termios.h> declares another struct of
// the same name, so this file must not include it.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

struct TSpeedCode {
    uint32_t Rate;
    unsigned Code;
};
// Standard rates keep their codes: drivers without BOTHER still take them.
constexpr TSpeedCode kCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

unsigned SpeedCode(uint32_t rate) {
    const unsigned code = StandardSpeedCode(rate);
    return code ? code : BOTHER;
}

} // namespace

unsigned StandardSpeedCode(uint32_t rate) {
    for (const auto &c : kCodes)
        if (c.Rate == rate)
            return c.Code;
    return 0;
}

bool SpeedMatches(uint32_t asked, uint32_t actual) {
    const uint64_t diff = asked > actual ? asked - actual : actual - asked;
    return asked != 0 && diff * 50 <= asked;
}

bool ReadLineSpeed(int fd, uint32_t &output, uint32_t &input) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    output = t.c_ospeed;
    input = t.c_ispeed != 0 ? t.c_ispeed : t.c_ospeed;
    return true;
}

bool SetLineSpeed(int fd, uint32_t rate) {
    if (rate == 0)
        return false;
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // No input code: the input runs at the output speed.
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
    t.c_cflag |= SpeedCode(rate);
    t.c_ospeed = rate;
    t.c_ispeed = rate;
    if (::ioctl(fd, TCSETS2, &t) != 0)
        return false;
    // A driver that cannot do the rate keeps or rounds to another one.
    uint32_t output = 0, input = 0;
    return ReadLineSpeed(fd, output, input) && SpeedMatches(rate, output) && SpeedMatches(rate, input);
}
