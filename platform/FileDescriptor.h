#pragma once
// A file descriptor for the file writer: closed when its scope ends, written
// whole, locked without waiting past the writer's bound.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/FileWait.h"

class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(TFd &&other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
    TFd &operator=(TFd &&other) noexcept {
        if (this != &other) {
            if (Fd >= 0)
                ::close(Fd);
            Fd = std::exchange(other.Fd, -1);
        }
        return *this;
    }

    int Get() const { return Fd; }
    // 0, or the error of close (a full disk may only show there).
    int Close() {
        const int fd = std::exchange(Fd, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int Fd = -1;
};

inline bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// 0, or the error of the write that failed; at < 0 writes at the file's
// position, else from that offset. `written` counts what the file took.
int WriteAll(int fd, std::string_view bytes, off_t at = -1, size_t *written = nullptr);

// Takes the file's advisory lock for writing, waiting for another's no longer
// than kNoProgressLimit. The lock only orders this system's own writers, and
// anyone who may read the file can take it: after that wait, and where the
// file system has no such locks, the caller goes on without it. 0, or the
// error of flock.
int LockFile(int fd, TFileWait &wait);
