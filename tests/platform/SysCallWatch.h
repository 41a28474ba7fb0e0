#pragma once
// Watches and breaks the system calls the file writer makes. The test binary
// links with --wrap for each call below, so each of them passes through here
// before it reaches the C library.
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TSysCall {
    std::string Op;   // the call's name
    std::string Path; // the file written or renamed ("... (deleted)": one without a name)
    std::string To;   // where a rename or link puts it
    dev_t Dev = 0;    // the file itself
    ino_t Ino = 0;
    bool Named = false; // it has a name in a folder when the call starts
    mode_t Mode = 0;    // its mode then
    uid_t Uid = 0;      // its owner
    gid_t Gid = 0;
    std::optional<std::string> Acl; // its access ACL, if any
};

struct TSysCallWatch {
    std::mutex Lock;
    std::vector<TSysCall> Calls;
    // Each returns the errno to fail the call with, or 0 to let it run.
    std::function<int(int fd)> Fsync;
    std::function<int(int fd)> Write; // write and pwrite
    // rename, renameat, renameat2 and linkat, before they run.
    std::function<int(const std::string &op, const std::string &to)> PutInPlace;
    std::function<int(const char *name)> Fsetxattr;
    // openat, with its flags.
    std::function<int(int flags)> Open;
    // new and new[] of `size` bytes: true refuses them (bad_alloc, or none
    // for the nothrow forms).
    std::function<bool(size_t size)> Allocate;

    // Records the calls on the files in `folder` and below, however the folder
    // is named (it is told by its device and inode).
    void Watch(const std::string &folder);
    void Reset();
    std::vector<TSysCall> Taken();
    // Whether `call` is on `path` (by device and inode).
    static bool On(const TSysCall &call, const std::string &path);

    dev_t FolderDev = 0;
    ino_t FolderIno = 0;
    bool Watching = false;
};

// The one watch of the test binary: wrapped calls have no other way to it.
TSysCallWatch &SysCallWatch();
