#include "serial/WriteThread.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "serial/PortLink.h"
#include "serial/PosixPort.h"

namespace {

// Writes the whole block, continuing after partial writes; false when the
// close event ended it (silently) or the device failed (hang-up request).
bool WriteAll(TPortLink &L, const uint8_t *block, size_t count) {
    size_t offset = 0;
    while (offset < count) {
        ssize_t k = ::write(L.Fd, block + offset, count - offset);
        if (k > 0) {
            offset += static_cast<size_t>(k);
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p[2] = {{L.CloseEvent, POLLIN, 0}, {L.Fd, POLLOUT, 0}};
            int r = ::poll(p, 2, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0) {
                L.RequestHangup();
                return false;
            }
            if (p[0].revents)
                return false;
            if ((p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p[1].revents & POLLOUT)) {
                L.RequestHangup();
                return false;
            }
            continue;
        }
        L.RequestHangup();
        return false;
    }
    return true;
}

void Execute(TPortLink &L) {
    bool announce = true;
    for (;;) {
        std::vector<uint8_t> block;
        if (!L.TakeSend(block)) {
            if (announce && !L.Post(PortMsgSendEmpty, 0)) {
                L.RequestHangup();
                break;
            }
            announce = false;
            pollfd p[2] = {{L.CloseEvent, POLLIN, 0}, {L.WriteWake, POLLIN, 0}};
            int r = ::poll(p, 2, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0) {
                L.RequestHangup();
                break;
            }
            if (p[0].revents)
                break;
            DrainPollEvent(L.WriteWake);
            continue;
        }
        if (L.Closing())
            break;
        // The block carries one spare zero byte after the data.
        if (!WriteAll(L, block.data(), block.size() - 1))
            break;
        announce = true;
    }
    ::tcflush(L.Fd, TCOFLUSH);
    L.SendEmpty.store(true);
}

} // namespace

std::function<void()> TWriteThread::Body() {
    return [link = Link] { Execute(*link); };
}
