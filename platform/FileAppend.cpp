// The bytes after a regular file's end, all or none, under the file's lock so
// that of two writers only one writes the header; neither takes back what the
// other added, with the lock or without it.
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileWriteWays.h"

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
    // The length and whether the header is due are taken under the lock
    // (where it came within its wait).
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
