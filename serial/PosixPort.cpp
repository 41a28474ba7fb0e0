#include "serial/PosixPort.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

std::string PortDevicePath(const std::string &name) {
    if (name.find('/') != std::string::npos)
        return name;
    return "/dev/" + name;
}

int OpenPortExclusive(const std::string &name) {
    if (name.empty())
        return -1;
    const std::string path = PortDevicePath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // Root gets past another program's exclusive mode: look for it, and leave
    // it set when it is there.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        ::close(fd);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ClosePortHandle(int fd) {
    if (fd < 0)
        return;
    if (::isatty(fd))
        ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool ReadLineCounters(int fd, TLineCounters &out) {
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return false;
    out.Frame = static_cast<uint32_t>(ic.frame);
    out.Overrun = static_cast<uint32_t>(ic.overrun);
    out.Parity = static_cast<uint32_t>(ic.parity);
    out.Break = static_cast<uint32_t>(ic.brk);
    out.BufOverrun = static_cast<uint32_t>(ic.buf_overrun);
    out.Carrier = static_cast<uint32_t>(ic.dcd);
    out.Ring = static_cast<uint32_t>(ic.rng);
    return true;
}

uint32_t LineErrorBits(const TLineCounters &a, const TLineCounters &b) {
    uint32_t bits = 0;
    if (a.BufOverrun != b.BufOverrun)
        bits |= 0x01;
    if (a.Overrun != b.Overrun)
        bits |= 0x02;
    if (a.Parity != b.Parity)
        bits |= 0x04;
    if (a.Frame != b.Frame)
        bits |= 0x08;
    if (a.Break != b.Break)
        bits |= 0x10;
    return bits;
}

uint32_t ModemBits(const TLineCounters &a, const TLineCounters &b) {
    uint32_t bits = 0;
    if (a.Carrier != b.Carrier)
        bits |= 8;
    if (a.Ring != b.Ring)
        bits |= 4;
    return bits;
}

void SetModemLine(int fd, int line, bool on) {
    // ENOTTY/EINVAL on devices without modem lines: nothing to set.
    ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

int CreatePollEvent() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void SignalPollEvent(int fd) {
    const uint64_t one = 1;
    // Fails only when the counter is saturated, which still leaves it readable.
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool PollEventSignalled(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

void DrainPollEvent(int fd) {
    uint64_t n = 0;
    while (::read(fd, &n, sizeof n) < 0 && errno == EINTR) {
    }
}
