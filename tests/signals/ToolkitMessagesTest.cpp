// The toolkit's warnings, with standard error a journal's socket or a pipe
// that nobody reads: they are dropped rather than waited on, and arrive whole
// where there is room.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "forms/qt/ToolkitMessages.h"
#include "platform/ErrorStream.h"
#include "tests/signals/ChildProcess.h"

namespace {

constexpr int kHangMs = 20000;

// Fills a descriptor that does not wait until it takes nothing more.
void Fill(int fd, bool socket) {
    const std::string chunk(4096, 'f');
    while ((socket ? send(fd, chunk.data(), chunk.size(), MSG_DONTWAIT)
                   : write(fd, chunk.data(), chunk.size())) > 0) {
    }
}

} // namespace

TEST(ToolkitMessages, AFullStandardErrorDropsThemAndOneWithRoomGetsThemWhole) {
    // A pseudo-terminal's master side cannot be opened again non-blocking:
    // its raw far side, unread, fills up.
    enum TKind { Socket, Pipe, PtyMaster };
    const char *names[] = {"socket", "pipe", "pty master"};
    for (const TKind kind : {Socket, Pipe, PtyMaster})
        for (const bool full : {true, false}) {
            SCOPED_TRACE(std::string(names[kind]) + (full ? ", full" : ", with room"));
            const int status = InChild(
                [&] {
                    int ends[2];
                    if (kind == PtyMaster) {
                        ends[1] = posix_openpt(O_RDWR | O_NOCTTY);
                        if (ends[1] < 0 || grantpt(ends[1]) != 0 || unlockpt(ends[1]) != 0)
                            return 10;
                        ends[0] = open(ptsname(ends[1]), O_RDWR | O_NOCTTY);
                        termios raw{};
                        if (ends[0] < 0 || tcgetattr(ends[0], &raw) != 0)
                            return 10;
                        cfmakeraw(&raw);
                        if (tcsetattr(ends[0], TCSANOW, &raw) != 0)
                            return 10;
                    } else if (kind == Socket ? socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0
                                              : pipe(ends) != 0) {
                        return 10;
                    }
                    // [0] is read by nobody until the end; [1] becomes stderr.
                    if (dup2(ends[1], STDERR_FILENO) < 0)
                        return 11;
                    NeverBlockOn(STDERR_FILENO);
                    if (full) {
                        // Filled through a description of its own where it stays blocking.
                        const int flags = fcntl(STDERR_FILENO, F_GETFL);
                        fcntl(STDERR_FILENO, F_SETFL, flags | O_NONBLOCK);
                        Fill(STDERR_FILENO, kind == Socket);
                        fcntl(STDERR_FILENO, F_SETFL, flags);
                    }
                    SendToolkitMessagesWithoutWaiting();
                    for (int i = 0; i < (full ? 1000 : 1); ++i)
                        qWarning("toolkit says %d", i);
                    if (full)
                        return 0; // not held: that is the point
                    char got[256] = {};
                    const ssize_t n = read(ends[0], got, sizeof got - 1);
                    return n > 0 && std::string(got) == "toolkit says 0\n" ? 0 : 12;
                },
                kHangMs);
            EXPECT_TRUE(ExitedZero(status));
        }
}
