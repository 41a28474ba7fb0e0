#include "tests/platform/SysCallWatch.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <new>

TSysCallWatch &SysCallWatch() {
    static TSysCallWatch watch;
    return watch;
}

void TSysCallWatch::Watch(const std::string &folder) {
    struct stat st {};
    std::lock_guard lock(Lock);
    Watching = ::stat(folder.c_str(), &st) == 0;
    FolderDev = st.st_dev;
    FolderIno = st.st_ino;
}

void TSysCallWatch::Reset() {
    std::lock_guard lock(Lock);
    Watching = false;
    Calls.clear();
    Fsync = nullptr;
    Write = nullptr;
    PutInPlace = nullptr;
    Fsetxattr = nullptr;
    Open = nullptr;
    Allocate = nullptr;
}

std::vector<TSysCall> TSysCallWatch::Taken() {
    std::lock_guard lock(Lock);
    return std::move(Calls);
}

bool TSysCallWatch::On(const TSysCall &call, const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == call.Dev && st.st_ino == call.Ino;
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
    if (name[0] == '\0')
        return FdPath(dirfd);
    return name[0] == '/' ? name : FdPath(dirfd) + "/" + name;
}

// Whether `path` is the watched folder or lies below it.
bool Watched(std::string path) {
    auto &w = SysCallWatch();
    if (!w.Watching)
        return false;
    while (!path.empty()) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && st.st_dev == w.FolderDev && st.st_ino == w.FolderIno)
            return true;
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || path == "/")
            break;
        path.resize(slash == 0 ? 1 : slash);
    }
    return false;
}

std::optional<std::string> AclOf(int fd, const char *path) {
    std::string value(4096, '\0');
    const ssize_t n = fd >= 0 ? ::fgetxattr(fd, "system.posix_acl_access", value.data(), value.size())
                              : ::getxattr(path, "system.posix_acl_access", value.data(), value.size());
    if (n < 0)
        return std::nullopt;
    value.resize(static_cast<size_t>(n));
    return value;
}

// `fd` < 0: the file by `path` (not through a link at its end, unless it is
// one of /proc's names for a descriptor).
void Record(const char *op, int fd, const std::string &path, std::string to = {}) {
    auto &w = SysCallWatch();
    if (!w.Watching || !(Watched(path) || (!to.empty() && Watched(to))))
        return;
    struct stat st {};
    TSysCall call;
    call.Op = op;
    call.Path = path;
    call.To = std::move(to);
    const bool proc = path.compare(0, 6, "/proc/") == 0;
    if ((fd >= 0 ? ::fstat(fd, &st) : proc ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0) {
        call.Dev = st.st_dev;
        call.Ino = st.st_ino;
        call.Named = st.st_nlink > 0 || S_ISDIR(st.st_mode);
        call.Mode = st.st_mode & 07777;
        call.Uid = st.st_uid;
        call.Gid = st.st_gid;
        call.Acl = AclOf(fd, path.c_str());
    }
    std::lock_guard lock(w.Lock);
    w.Calls.push_back(std::move(call));
}

void RecordFd(const char *op, int fd) {
    if (SysCallWatch().Watching)
        Record(op, fd, FdPath(fd));
}

// 0, or the errno the test wants the rename or link into `to` to fail with.
int BeforePutInPlace(const char *op, int olddir, const char *from, int newdir, const char *to,
                     int flags = 0) {
    const std::string target = AtPath(newdir, to);
    if (SysCallWatch().Watching)
        Record(op, (flags & AT_EMPTY_PATH) && from[0] == '\0' ? olddir : -1, AtPath(olddir, from), target);
    return SysCallWatch().PutInPlace ? SysCallWatch().PutInPlace(op, target) : 0;
}

int Failed(int err) {
    errno = err;
    return -1;
}

bool Refused(size_t size) {
    const auto &refuse = SysCallWatch().Allocate;
    return refuse && refuse(size);
}

} // namespace

// The operators new, by their mangled names.
extern "C" {
void *__real__Znwm(size_t size);
void *__real__Znam(size_t size);
void *__real__ZnwmRKSt9nothrow_t(size_t size, const std::nothrow_t &tag);
void *__real__ZnamRKSt9nothrow_t(size_t size, const std::nothrow_t &tag);

void *__wrap__Znwm(size_t size) {
    if (Refused(size))
        throw std::bad_alloc();
    return __real__Znwm(size);
}
void *__wrap__Znam(size_t size) {
    if (Refused(size))
        throw std::bad_alloc();
    return __real__Znam(size);
}
void *__wrap__ZnwmRKSt9nothrow_t(size_t size, const std::nothrow_t &tag) {
    return Refused(size) ? nullptr : __real__ZnwmRKSt9nothrow_t(size, tag);
}
void *__wrap__ZnamRKSt9nothrow_t(size_t size, const std::nothrow_t &tag) {
    return Refused(size) ? nullptr : __real__ZnamRKSt9nothrow_t(size, tag);
}
}

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
int __real_fremovexattr(int fd, const char *name);
int __real_openat(int dirfd, const char *path, int flags, ...);

int __wrap_fsync(int fd) {
    RecordFd("fsync", fd);
    if (const int err = SysCallWatch().Fsync ? SysCallWatch().Fsync(fd) : 0)
        return Failed(err);
    return __real_fsync(fd);
}

ssize_t __wrap_write(int fd, const void *buf, size_t n) {
    RecordFd("write", fd);
    if (const int err = SysCallWatch().Write ? SysCallWatch().Write(fd) : 0)
        return Failed(err);
    return __real_write(fd, buf, n);
}

ssize_t __wrap_pwrite(int fd, const void *buf, size_t n, off_t at) {
    RecordFd("write", fd);
    if (const int err = SysCallWatch().Write ? SysCallWatch().Write(fd) : 0)
        return Failed(err);
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
    if (const int err = BeforePutInPlace("linkat", olddir, from, newdir, to, flags))
        return Failed(err);
    return __real_linkat(olddir, from, newdir, to, flags);
}

int __wrap_fsetxattr(int fd, const char *name, const void *value, size_t size, int flags) {
    RecordFd("fsetxattr", fd);
    if (const int err = SysCallWatch().Fsetxattr ? SysCallWatch().Fsetxattr(name) : 0)
        return Failed(err);
    return __real_fsetxattr(fd, name, value, size, flags);
}

int __wrap_fremovexattr(int fd, const char *name) {
    RecordFd("fremovexattr", fd);
    return __real_fremovexattr(fd, name);
}

int __wrap_openat(int dirfd, const char *path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (const int err = SysCallWatch().Open ? SysCallWatch().Open(flags) : 0)
        return Failed(err);
    return __real_openat(dirfd, path, flags, mode);
}
}
