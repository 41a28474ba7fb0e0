#include "tests/platform/SysCallWatch.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

TSysCallWatch &SysCallWatch() {
    static TSysCallWatch watch;
    return watch;
}

void TSysCallWatch::Reset() {
    std::lock_guard lock(Lock);
    Under.clear();
    Calls.clear();
    Fsync = nullptr;
    PutInPlace = nullptr;
    Fsetxattr = nullptr;
}

std::vector<TSysCall> TSysCallWatch::Taken() {
    std::lock_guard lock(Lock);
    return std::move(Calls);
}

namespace {

std::string FdPath(int fd) {
    char link[64], path[PATH_MAX];
    if (fd == AT_FDCWD)
        return ::getcwd(path, sizeof path) ? path : "";
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : "";
}

std::string AtPath(int dirfd, const char *name) {
    return name[0] == '/' ? name : FdPath(dirfd) + "/" + name;
}

bool Watched(const std::string &path) {
    auto &w = SysCallWatch();
    return !w.Under.empty() && path.compare(0, w.Under.size(), w.Under) == 0;
}

void Record(const char *op, const std::string &path, const struct stat *st, std::string to = {}) {
    auto &w = SysCallWatch();
    std::lock_guard lock(w.Lock);
    if (!Watched(path))
        return;
    w.Calls.push_back({op, path, std::move(to), st ? st->st_mode & 07777 : 0, st ? st->st_uid : 0});
}

void RecordFd(const char *op, int fd) {
    if (SysCallWatch().Under.empty())
        return;
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    Record(op, FdPath(fd), known ? &st : nullptr);
}

// 0, or the errno the test wants the rename or link into `to` to fail with.
int BeforePutInPlace(const char *op, int olddir, const char *from, int newdir, const char *to) {
    const std::string target = AtPath(newdir, to);
    if (!SysCallWatch().Under.empty()) {
        struct stat st {};
        const bool known = ::fstatat(olddir, from, &st, AT_SYMLINK_NOFOLLOW) == 0;
        Record(op, AtPath(olddir, from), known ? &st : nullptr, target);
    }
    return SysCallWatch().PutInPlace ? SysCallWatch().PutInPlace(op, target) : 0;
}

int Failed(int err) {
    errno = err;
    return -1;
}

} // namespace

extern "C" {
int __real_fsync(int fd);
ssize_t __real_write(int fd, const void *buf, size_t n);
ssize_t __real_pwrite(int fd, const void *buf, size_t n, off_t at);
int __real_fchmod(int fd, mode_t mode);
int __real_fchown(int fd, uid_t uid, gid_t gid);
int __real_rename(const char *from, const char *to);
int __real_renameat(int olddir, const char *from, int newdir, const char *to);
int __real_renameat2(int olddir, const char *from, int newdir, const char *to, unsigned flags);
int __real_linkat(int olddir, const char *from, int newdir, const char *to, int flags);
int __real_fsetxattr(int fd, const char *name, const void *value, size_t size, int flags);

int __wrap_fsync(int fd) {
    RecordFd("fsync", fd);
    if (const int err = SysCallWatch().Fsync ? SysCallWatch().Fsync(fd) : 0)
        return Failed(err);
    return __real_fsync(fd);
}

ssize_t __wrap_write(int fd, const void *buf, size_t n) {
    RecordFd("write", fd);
    return __real_write(fd, buf, n);
}

ssize_t __wrap_pwrite(int fd, const void *buf, size_t n, off_t at) {
    RecordFd("write", fd);
    return __real_pwrite(fd, buf, n, at);
}

int __wrap_fchmod(int fd, mode_t mode) {
    RecordFd("fchmod", fd);
    return __real_fchmod(fd, mode);
}

int __wrap_fchown(int fd, uid_t uid, gid_t gid) {
    RecordFd("fchown", fd);
    return __real_fchown(fd, uid, gid);
}

int __wrap_rename(const char *from, const char *to) {
    if (const int err = BeforePutInPlace("rename", AT_FDCWD, from, AT_FDCWD, to))
        return Failed(err);
    return __real_rename(from, to);
}

int __wrap_renameat(int olddir, const char *from, int newdir, const char *to) {
    if (const int err = BeforePutInPlace("renameat", olddir, from, newdir, to))
        return Failed(err);
    return __real_renameat(olddir, from, newdir, to);
}

int __wrap_renameat2(int olddir, const char *from, int newdir, const char *to, unsigned flags) {
    if (const int err = BeforePutInPlace("renameat2", olddir, from, newdir, to))
        return Failed(err);
    return __real_renameat2(olddir, from, newdir, to, flags);
}

int __wrap_linkat(int olddir, const char *from, int newdir, const char *to, int flags) {
    if (const int err = BeforePutInPlace("linkat", olddir, from, newdir, to))
        return Failed(err);
    return __real_linkat(olddir, from, newdir, to, flags);
}

int __wrap_fsetxattr(int fd, const char *name, const void *value, size_t size, int flags) {
    if (const int err = SysCallWatch().Fsetxattr ? SysCallWatch().Fsetxattr(name) : 0)
        return Failed(err);
    return __real_fsetxattr(fd, name, value, size, flags);
}
}
