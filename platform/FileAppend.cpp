// The bytes after a regular file's end, all or none, under the file's lock so
// that of two writers neither takes back what the other added.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/FileWriteWays.h"

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
        if (wait.Now() - start >= kNoProgressLimit)
            return ETIMEDOUT;
        wait.Pause(kLockRetry);
    }
}

bool CutBack(int fd, off_t before, size_t added) {
    if (added == 0)
        return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size != before + static_cast<off_t>(added))
        return false;
    return ::ftruncate(fd, before) == 0 && ::fsync(fd) == 0;
}

TAttempt AppendToFile(const TLocation &at, const TFileWriteJob &job) {
    TFd fd;
    struct stat st {};
    if (TAttempt opened = OpenLocated(at, O_WRONLY | O_APPEND, fd, st); opened.Retry || opened.Result)
        return opened;
    if (const int err = LockFile(fd.Get(), job.Wait))
        return Finish(Fail(TFileWriteStep::Write, err));
    // The length and whether the header is due are taken under the lock.
    if (::fstat(fd.Get(), &st) != 0)
        return Finish(Fail(TFileWriteStep::Write, errno));
    size_t added = 0, more = 0;
    int err = st.st_size == 0 ? WriteAll(fd.Get(), job.Header, -1, &added) : 0;
    if (err == 0)
        err = WriteAll(fd.Get(), job.Bytes, -1, &more);
    added += more;
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    auto failed = [&](int with, int error) {
        const bool back = CutBack(with, st.st_size, added);
        return Finish(
            Fail(TFileWriteStep::Write, error, back ? TFileWriteNote::None : TFileWriteNote::NotPutBack));
    };
    if (err != 0)
        return failed(fd.Get(), err);
    // A second descriptor cuts the tail back if the close reports a failure;
    // it holds the lock until then.
    TFd spare(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0));
    if ((err = fd.Close())) {
        if (spare.Get() < 0)
            return Finish(Fail(TFileWriteStep::Write, err, TFileWriteNote::NotPutBack));
        return failed(spare.Get(), err);
    }
    return Finish(std::nullopt);
}
