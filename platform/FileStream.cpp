// A pipe, a device or a folder as the target: written as a stream, never
// waiting for a reader to open it, and given up kStreamWriteLimit after it
// began, however slowly the reader takes it.
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileWriteWays.h"

namespace {

// 0, or the error of the write; ETIMEDOUT when the bytes were not all taken
// within kStreamWriteLimit of the start. A reader that takes a byte now and
// then must not hold the program longer than one that takes none: a close
// that writes its log to such a stream still ends in time.
int WriteWithinLimit(int fd, std::string_view bytes, TFileWait &wait) {
    using namespace std::chrono;
    size_t done = 0;
    const auto until = wait.Now() + kStreamWriteLimit;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            if (done < bytes.size() && wait.Now() >= until)
                return ETIMEDOUT;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            return n < 0 ? errno : EIO;
        const auto now = wait.Now();
        if (now >= until)
            return ETIMEDOUT;
        if (wait.UntilWritable(fd, ceil<milliseconds>(until - now)) < 0 && errno != EINTR)
            return errno;
        // The whole time waited: no further try, even where the device
        // (a pty) takes bytes it did not say it would.
        if (wait.Now() >= until)
            return ETIMEDOUT;
    }
    return 0;
}

} // namespace

TAttempt WriteStream(const TLocation &at, const TFileWriteJob &job) {
    TFd fd;
    struct stat st {};
    // Opened without waiting: a named pipe nobody reads fails at once (ENXIO)
    // instead of holding the caller until a reader turns up.
    if (TAttempt opened = OpenLocated(at, O_WRONLY, fd, st); opened.Retry || opened.Result)
        return opened;
    if (const int err = WriteWithinLimit(fd.Get(), job.Bytes, job.Wait))
        return Finish(Fail(TFileWriteStep::Write, err));
    if (const int err = fd.Close())
        return Finish(Fail(TFileWriteStep::Write, err));
    return Finish(std::nullopt);
}
