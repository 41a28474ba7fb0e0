#pragma once
// A full disk without privileges: while an object lives, a write that would
// make any file of this process longer than the limit fails with EFBIG
// (the signal that would end the process is ignored meanwhile).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &Old), 0);
        OldHandler = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, Old.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Old);
        ::signal(SIGXFSZ, OldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit Old{};
    sighandler_t OldHandler{};
};
