#include "platform/FileDescriptor.h"

#include <sys/file.h>

int WriteAll(int fd, std::string_view bytes, off_t at, size_t *written) {
    size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            at < 0 ? ::write(fd, bytes.data() + done, bytes.size() - done)
                   : ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (written)
        *written = done;
    return err;
}

int LockFile(int fd, TFileWait &wait) {
    const auto start = wait.Now();
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        // A file system without these locks: written as before there were any.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)
            return 0;
        if (errno != EWOULDBLOCK)
            return errno;
        // Held that long, maybe by someone who may only read the file: the
        // write goes on without it, as one of a writer without the lock.
        if (wait.Now() - start >= kNoProgressLimit)
            return 0;
        wait.Pause(kLockRetry);
    }
}
