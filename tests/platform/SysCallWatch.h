#pragma once
// Watches and breaks the system calls the file writer makes. The test binary
// links with --wrap for each call below, so each of them passes through here
// before it reaches the C library.
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TSysCall {
    std::string Op;   // the call's name
    std::string Path; // the file written or renamed
    std::string To;   // where a rename or link puts it
    mode_t Mode = 0;  // the file's mode when the call starts
    uid_t Uid = 0;    // and its owner
};

struct TSysCallWatch {
    std::mutex Lock;
    // Calls on files below this folder are recorded; none when empty.
    std::string Under;
    std::vector<TSysCall> Calls;
    // Each returns the errno to fail the call with, or 0 to let it run.
    std::function<int(int fd)> Fsync;
    // rename, renameat, renameat2 and linkat, before they run.
    std::function<int(const std::string &op, const std::string &to)> PutInPlace;
    std::function<int(const char *name)> Fsetxattr;

    void Reset();
    std::vector<TSysCall> Taken();
};

// The one watch of the test binary: wrapped calls have no other way to it.
TSysCallWatch &SysCallWatch();
