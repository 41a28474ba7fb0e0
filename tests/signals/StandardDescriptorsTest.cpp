// Descriptors 0 to 2 filled at start, each case in a child process that
// closes some of them first, as a launcher may.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/StandardDescriptors.h"
#include "tests/signals/ChildProcess.h"

namespace {

bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

// The closed ones become the null device, readable and writable; the open ones
// keep what they lead to; the next descriptor opened (a serial port) gets none
// of the three numbers.
TEST(StandardDescriptors, EachClosedOneBecomesTheNullDeviceAndTheOpenOnesStay) {
    const std::vector<std::vector<int>> closedSets = {{0, 1, 2}, {2}, {0, 2}, {1}, {}};
    for (const auto &closed : closedSets) {
        SCOPED_TRACE(::testing::PrintToString(closed));
        const int status = InChild([&] {
            // Each open one leads to a pipe of its own, to tell them apart.
            for (int fd = 0; fd <= 2; ++fd) {
                int p[2];
                if (pipe(p) != 0 || dup2(p[fd == 0 ? 0 : 1], fd) != fd)
                    return 10;
            }
            struct stat before[3], null;
            for (int fd = 0; fd <= 2; ++fd)
                fstat(fd, &before[fd]);
            for (int fd : closed)
                close(fd);
            if (!FillClosedStandardDescriptors())
                return 11;
            if (stat("/dev/null", &null) != 0)
                return 12;
            for (int fd = 0; fd <= 2; ++fd) {
                struct stat now;
                if (fstat(fd, &now) != 0)
                    return 20 + fd;
                const bool wasClosed = std::find(closed.begin(), closed.end(), fd) != closed.end();
                if (wasClosed && (!S_ISCHR(now.st_mode) || now.st_rdev != null.st_rdev ||
                                  (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDWR))
                    return 30 + fd;
                if (!wasClosed && !SameFile(now, before[fd]))
                    return 40 + fd;
            }
            const int next = open("/dev/null", O_RDONLY);
            return next > 2 ? 0 : 50;
        });
        EXPECT_TRUE(ExitedZero(status));
    }
}

// No null device (a bare chroot): the numbers are still taken, by descriptors
// that fail every read and write as a closed one would.
TEST(StandardDescriptors, WithoutTheNullDeviceTheNumbersAreTakenAllTheSame) {
    const int status = InChild([&] {
        for (int fd = 0; fd <= 2; ++fd)
            close(fd);
        if (!FillClosedStandardDescriptors("/nonexistent/null"))
            return 10;
        for (int fd = 0; fd <= 2; ++fd) {
            char c = 'x';
            errno = 0;
            if (fcntl(fd, F_GETFD) == -1 || write(fd, "text\n", 5) != -1 || errno != EBADF)
                return 20 + fd;
            errno = 0;
            if (read(fd, &c, 1) != -1 || errno != EBADF)
                return 30 + fd;
        }
        const int next = open("/dev/null", O_RDONLY);
        return next > 2 ? 0 : 40;
    });
    EXPECT_TRUE(ExitedZero(status));
}
