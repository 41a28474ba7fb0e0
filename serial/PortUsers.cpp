#include "serial/PortUsers.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool AllDigits(const char *s) {
    if (*s == '\0')
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

// One process's descriptors: each link is followed to what it opens.
bool ProcessHasDevice(int procFd, const char *pid, dev_t device) {
    const std::string fdDir = std::string(pid) + "/fd";
    const int dirFd = ::openat(procFd, fdDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false; // gone, or not ours to inspect
    DIR *fds = ::fdopendir(dirFd);
    if (fds == nullptr) {
        ::close(dirFd);
        return false;
    }
    bool found = false;
    while (const dirent *e = ::readdir(fds)) {
        if (!AllDigits(e->d_name))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

} // namespace

bool DeviceOpenElsewhere(dev_t device) {
    const int procFd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0)
        return false;
    DIR *proc = ::fdopendir(procFd);
    if (proc == nullptr) {
        ::close(procFd);
        return false;
    }
    const std::string self = std::to_string(::getpid());
    bool found = false;
    while (const dirent *e = ::readdir(proc)) {
        if (AllDigits(e->d_name) && self != e->d_name && ProcessHasDevice(procFd, e->d_name, device)) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

bool TerminalFreeElsewhere(int fd) {
    struct stat st {};
    return ::isatty(fd) && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && !DeviceOpenElsewhere(st.st_rdev);
}
