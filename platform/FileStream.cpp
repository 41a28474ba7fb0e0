// A pipe, a device or a folder as the target: written as a stream, never
// waiting for a reader to open it, nor longer than kNoProgressLimit for one
// that takes nothing.
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileWriteWays.h"

namespace {

// 0, or the error of the write; ETIMEDOUT when no byte was taken for
// kNoProgressLimit. Any byte taken starts that time again.
int WriteWithoutStall(int fd, std::string_view bytes, TFileWait &wait) {
    using namespace std::chrono;
    size_t done = 0;
    auto progress = wait.Now();
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            progress = wait.Now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            return n < 0 ? errno : EIO;
        const auto waited = wait.Now() - progress;
        if (waited >= kNoProgressLimit)
            return ETIMEDOUT;
        if (wait.UntilWritable(fd, ceil<milliseconds>(kNoProgressLimit - waited)) < 0 && errno != EINTR)
            return errno;
        // The whole time waited: no further try, even where the device
        // (a pty) takes bytes it did not say it would.
        if (wait.Now() - progress >= kNoProgressLimit)
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
    if (const int err = WriteWithoutStall(fd.Get(), job.Bytes, job.Wait))
        return Finish(Fail(TFileWriteStep::Write, err));
    if (const int err = fd.Close())
        return Finish(Fail(TFileWriteStep::Write, err));
    return Finish(std::nullopt);
}
