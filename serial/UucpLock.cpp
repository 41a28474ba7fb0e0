#include "serial/UucpLock.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/PosixPort.h"

namespace {

enum class TOwner { None, Unknown, Pid };

// Who a lock file names. Unknown for anything that is not a plain file with
// a PID in it; the file is read without following links or blocking.
TOwner LockOwner(const std::string &path, pid_t &pid) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? TOwner::None : TOwner::Unknown;
    struct stat st {};
    char text[32];
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return TOwner::Unknown;
    text[n] = '\0';
    const char *p = text;
    while (*p == ' ')
        ++p;
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(p, &end, 10);
    if (end == p || errno != 0 || value <= 0 || value > INT_MAX)
        return TOwner::Unknown;
    while (*end == ' ' || *end == '\n')
        ++end;
    if (*end != '\0')
        return TOwner::Unknown;
    pid = static_cast<pid_t>(value);
    return TOwner::Pid;
}

bool ProcessRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string LockPath(const std::string &dir, const std::string &lockName) {
    return dir + "/" + lockName;
}

} // namespace

std::string UucpLockName(const std::string &portName) {
    if (portName.empty())
        return {};
    char *resolved = ::realpath(PortDevicePath(portName).c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string path = resolved;
    std::free(resolved);
    path.erase(0, path.rfind("/dev/", 0) == 0 ? 5 : 1);
    for (char &c : path)
        if (c == '/')
            c = '_';
    std::string name = "LCK.." + path;
    return name.size() <= NAME_MAX ? name : std::string();
}

bool UucpLockHeld(const std::string &dir, const std::string &lockName) {
    if (lockName.empty())
        return false;
    const std::string path = LockPath(dir, lockName);
    pid_t pid = 0;
    switch (LockOwner(path, pid)) {
    case TOwner::None:
        return false;
    case TOwner::Unknown:
        return true;
    case TOwner::Pid:
        break;
    }
    if (pid == ::getpid())
        return false; // this process: its own exclusive open decides
    if (ProcessRuns(pid))
        return true;
    ::unlink(path.c_str());
    return false;
}

TUucpLock::TUucpLock(TUucpLock &&other) noexcept : FPath(std::move(other.FPath)) {
    other.FPath.clear();
}

TUucpLock &TUucpLock::operator=(TUucpLock &&other) noexcept {
    if (this != &other) {
        Release();
        FPath = std::move(other.FPath);
        other.FPath.clear();
    }
    return *this;
}

TUucpLock::TResult TUucpLock::Take(const std::string &dir, const std::string &lockName) {
    Release();
    if (lockName.empty())
        return TResult::NoFolder;
    const std::string path = LockPath(dir, lockName);
    const pid_t self = ::getpid();

    // The whole file is written under a temporary name and linked into
    // place, so no one ever reads a lock without its PID.
    std::string temp = LockPath(dir, "LTMP.XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return TResult::NoFolder;
    char text[16];
    const int len = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(self));
    const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, text, static_cast<size_t>(len)) == len;
    ::close(fd);
    TResult result = written ? TResult::Held : TResult::NoFolder;
    // Two rounds: a stale lock found in the first is removed and replaced.
    for (int round = 0; written && round < 2; ++round) {
        if (::link(temp.c_str(), path.c_str()) == 0) {
            FPath = path;
            result = TResult::Taken;
            break;
        }
        if (errno != EEXIST) {
            result = TResult::NoFolder;
            break;
        }
        pid_t owner = 0;
        const TOwner who = LockOwner(path, owner);
        if (who == TOwner::Unknown || (who == TOwner::Pid && owner != self && ProcessRuns(owner)))
            break;
        // Stale, or a leftover of this process: its exclusive open just
        // succeeded, so nothing here holds the port.
        ::unlink(path.c_str());
    }
    ::unlink(temp.c_str());
    return result;
}

void TUucpLock::Release() {
    if (FPath.empty())
        return;
    pid_t owner = 0;
    if (LockOwner(FPath, owner) == TOwner::Pid && owner == ::getpid())
        ::unlink(FPath.c_str());
    FPath.clear();
}
