#include "serial/LineSettings.h"

#include <cstdint>

#include "serial/Comm.h"
#include "serial/LineSpeed.h"

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
    // Standard rates also travel in the termios; the others are set through
    // the line speed request when the port is opened.
    if (const speed_t code = StandardSpeedCode(c.BaudRate())) {
        ::cfsetispeed(&t, code);
        ::cfsetospeed(&t, code);
    }
}
