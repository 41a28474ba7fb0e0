#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/ProcessUmask.h"

namespace {

constexpr const char *kAccessAcl = "system.posix_acl_access";
constexpr const char *kDefaultAcl = "system.posix_acl_default";
// The kernel's limit for one attribute value and for the list of names.
constexpr size_t kMaxXattrBytes = 65536;

// Reads extended attributes from a descriptor that may read them, else by
// the name /proc gives an O_PATH descriptor (a file the user may not read).
class TXattrReader {
public:
    TXattrReader(int readable, int opath) : Readable(readable) {
        std::snprintf(ProcName, sizeof ProcName, "/proc/self/fd/%d", opath);
    }
    // The value of `name`, or false with errno set (ENODATA: it has none).
    bool Get(const char *name, std::string &value) const {
        return Read(value, [&](char *to, size_t size) {
            return Readable >= 0 ? ::fgetxattr(Readable, name, to, size)
                                 : ::getxattr(ProcName, name, to, size);
        });
    }
    // The names, each ended by a NUL; false with errno set.
    bool List(std::string &names) const {
        return Read(names, [&](char *to, size_t size) {
            return Readable >= 0 ? ::flistxattr(Readable, to, size) : ::listxattr(ProcName, to, size);
        });
    }

private:
    template <typename F> static bool Read(std::string &into, F call) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const ssize_t size = call(nullptr, 0);
            if (size < 0)
                return false;
            if (static_cast<size_t>(size) > kMaxXattrBytes) {
                errno = E2BIG;
                return false;
            }
            into.assign(static_cast<size_t>(size), '\0');
            const ssize_t n = call(into.data(), into.size());
            if (n >= 0) {
                into.resize(static_cast<size_t>(n));
                return true;
            }
            if (errno != ERANGE)
                return false;
        }
        errno = ERANGE;
        return false;
    }

    int Readable;
    char ProcName[40];
};

// The access ACL that open(2) gives a new file with `mode` in a folder with
// the default ACL `acl` (the kernel's masking of each class). False when the
// ACL is not one the kernel wrote.
bool MaskDefaultAcl(std::string &acl, mode_t mode) {
    constexpr size_t kHeader = 4, kEntry = 8;
    if (acl.size() < kHeader || (acl.size() - kHeader) % kEntry != 0)
        return false;
    auto u16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(acl[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(acl[at + 1])) << 8;
    };
    auto setPerm = [&](size_t at, unsigned perm) {
        acl[at + 2] = static_cast<char>(perm & 0xFF);
        acl[at + 3] = static_cast<char>(perm >> 8);
    };
    constexpr unsigned kUserObj = 0x01, kGroupObj = 0x04, kMask = 0x10, kOther = 0x20;
    size_t groupAt = 0, maskAt = 0;
    for (size_t at = kHeader; at < acl.size(); at += kEntry) {
        const unsigned tag = u16(at), perm = u16(at + 2);
        if (tag == kUserObj)
            setPerm(at, perm & ((mode >> 6) & 7));
        else if (tag == kOther)
            setPerm(at, perm & (mode & 7));
        else if (tag == kGroupObj)
            groupAt = at;
        else if (tag == kMask)
            maskAt = at;
    }
    const size_t groupClass = maskAt ? maskAt : groupAt;
    if (!groupClass)
        return false;
    setPerm(groupClass, u16(groupClass + 2) & ((mode >> 3) & 7));
    return true;
}

} // namespace

bool ReadXattrs(const TLocation &at, TXattrs &into) {
    TFd readable(::openat(at.Folder.Get(), at.Name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (readable.Get() >= 0 && (::fstat(readable.Get(), &st) != 0 || !SameFile(st, at.St)))
        readable = TFd();
    const TXattrReader reader(readable.Get(), at.Object.Get());
    std::string names;
    if (!reader.List(names))
        return errno == ENOTSUP;
    for (size_t from = 0; from < names.size();) {
        const size_t end = std::min(names.find('\0', from), names.size());
        std::string name = names.substr(from, end - from);
        from = end + 1;
        if (name.empty() || name == "security.capability")
            continue;
        std::string value;
        if (!reader.Get(name.c_str(), value)) {
            if (errno == ENODATA)
                continue;
            return false;
        }
        into.emplace_back(std::move(name), std::move(value));
    }
    return true;
}

int DressAsNew(int fd, int folder) {
    TFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const TXattrReader reader(readable.Get(), folder);
    std::string acl;
    if (reader.Get(kDefaultAcl, acl)) {
        // Left private when the ACL is not understood or not taken.
        if (MaskDefaultAcl(acl, 0666))
            ::fsetxattr(fd, kAccessAcl, acl.data(), acl.size(), 0);
        return 0;
    }
    if (errno != ENODATA && errno != ENOTSUP)
        return 0;
    return ::fchmod(fd, 0666 & ~ProcessUmask()) == 0 ? 0 : errno;
}

TDressed DressLike(int fd, const struct stat &old, const TXattrs &xattrs, int &err) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        err = errno;
        return TDressed::Failed;
    }
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return TDressed::CannotCopy;
    for (const auto &[key, value] : xattrs)
        if (key != kAccessAcl && ::fsetxattr(fd, key.c_str(), value.data(), value.size(), 0) != 0)
            return TDressed::CannotCopy;
    // The ACL before the mode: with an ACL, the mode's group bits are its
    // mask, and a mode set first would open the file to every entry the mask
    // then lets through, until the ACL came.
    const auto acl =
        std::find_if(xattrs.begin(), xattrs.end(), [](const auto &x) { return x.first == kAccessAcl; });
    if (acl != xattrs.end()) {
        if (::fsetxattr(fd, kAccessAcl, acl->second.data(), acl->second.size(), 0) != 0)
            return TDressed::CannotCopy;
    } else if (::fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP) {
        // An ACL the folder's default gave the new file is not the old file's.
        return TDressed::CannotCopy;
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        err = errno;
        return TDressed::Failed;
    }
    return TDressed::Done;
}
