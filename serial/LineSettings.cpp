#include "serial/LineSettings.h"

#include <cstdint>

#include "serial/Comm.h"

namespace {

struct TBaud {
    uint32_t Rate;
    speed_t Code;
};
constexpr TBaud kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool BaudCode(uint32_t rate, speed_t &code) {
    for (const auto &b : kBauds)
        if (b.Rate == rate) {
            code = b.Code;
            return true;
        }
    return false;
}

} // namespace

void ComposeTermios(const TComm &c, termios &t) {
    // Raw binary mode; the flags below are rebuilt from the properties.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;

    if (c.ParityCheck()) {
        t.c_iflag |= INPCK;
        // Without replacement a byte with a parity error is dropped; with it the
        // driver hands a zero byte in its place.
        if (!c.ReplaceWhenParityError())
            t.c_iflag |= IGNPAR;
    }
    if (c.Outx_XonXoffFlow())
        t.c_iflag |= IXON;
    if (c.Inx_XonXoffFlow())
        t.c_iflag |= IXOFF;
    if (c.Outx_CtsFlow() || c.RtsControl() == TRtsControl::RtsHandshake)
        t.c_cflag |= CRTSCTS;

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[static_cast<int>(c.ByteSize()) & 3];
    switch (c.Parity()) {
    case TParity::None:
        break;
    case TParity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case TParity::Even:
        t.c_cflag |= PARENB;
        break;
    case TParity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TParity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (c.StopBits() != TStopBits::_1)
        t.c_cflag |= CSTOPB; // 1.5 stop bits with 5 data bits, else 2
    t.c_cc[VSTART] = static_cast<cc_t>(c.XonChar());
    t.c_cc[VSTOP] = static_cast<cc_t>(c.XoffChar());
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t code;
    if (BaudCode(c.BaudRate(), code)) {
        ::cfsetispeed(&t, code);
        ::cfsetospeed(&t, code);
    }
}
