#include "platform/StandardDescriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool IsClosed(int fd) {
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

// Puts `opened` on `fd` unless the kernel already gave it that number
// (the lowest free one, which it is while nothing else opens meanwhile).
bool MoveTo(int opened, int fd) {
    if (opened < 0)
        return false;
    if (opened == fd)
        return true;
    const bool moved = ::dup2(opened, fd) == fd;
    ::close(opened);
    return moved;
}

} // namespace

bool FillClosedStandardDescriptors(const char *nullDevice) {
    for (int fd = 0; fd <= 2; ++fd) {
        if (!IsClosed(fd))
            continue;
        if (MoveTo(::open(nullDevice, O_RDWR | O_NOCTTY), fd))
            continue;
        if (!MoveTo(::open("/", O_PATH | O_DIRECTORY), fd))
            return false;
    }
    return true;
}
