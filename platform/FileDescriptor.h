#pragma once
// A file descriptor that closes itself, for the file writer.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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
