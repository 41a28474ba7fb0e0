#include "platform/ProcessUmask.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

std::optional<mode_t> UmaskFromProc() {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char text[8192];
    size_t size = 0;
    while (size < sizeof text - 1) {
        const ssize_t n = ::read(fd, text + size, sizeof text - 1 - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        size += static_cast<size_t>(n);
    }
    ::close(fd);
    text[size] = '\0';
    const char *line = std::strstr(text, "\nUmask:");
    if (!line)
        return std::nullopt;
    char *end = nullptr;
    const unsigned long mask = std::strtoul(line + 7, &end, 8);
    if (end == line + 7 || mask > 0777)
        return std::nullopt;
    return static_cast<mode_t>(mask);
}

// Fixed by the first call: the umask when that call is the one at start,
// else nothing (the umask is then read from /proc each time).
const std::optional<mode_t> &UmaskAtStart(bool atStart) {
    static const std::optional<mode_t> mask = [atStart]() -> std::optional<mode_t> {
        if (!atStart)
            return std::nullopt;
        const mode_t old = ::umask(0);
        ::umask(old);
        return old;
    }();
    return mask;
}

} // namespace

void ReadUmaskAtStart() {
    UmaskAtStart(true);
}

mode_t ProcessUmask() {
    if (const auto &atStart = UmaskAtStart(false))
        return *atStart;
    return UmaskFromProc().value_or(077);
}
