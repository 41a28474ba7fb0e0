#include "platform/TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>

namespace {

// O_TMPFILE refused because the file system does not have it.
bool NoUnnamedFiles(int err) {
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOENT;
}

} // namespace

TTempFile::TTempFile(const TLocation &at, bool unnamed) : At(at) {
    // An unnamed file is named through /proc, or by root by its descriptor.
    if (unnamed && (::geteuid() == 0 || ::access("/proc/self/fd", X_OK) == 0)) {
        File = TFd(::openat(At.Folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (File.Get() >= 0) {
            IsUnnamed = true;
            return;
        }
        if (!NoUnnamedFiles(errno)) {
            Err = errno;
            return;
        }
    }
    Err = CreateNamed();
}

TTempFile::~TTempFile() {
    if (!Name.empty())
        ::unlinkat(At.Folder.Get(), Name.c_str(), 0);
}

int TTempFile::CreateNamed() {
    // A short form of the name tells whose leftover a crash left behind,
    // without the temporary name ever growing past the folder's limit.
    const std::string base = At.Name.substr(0, 64);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        std::string name = "." + base + "." + suffix + ".tmp";
        if (IsUnnamed) {
            // Named after the fact: linked under the new name.
            const int err = LinkUnnamed(name.c_str());
            if (err == 0) {
                Name = std::move(name);
                IsUnnamed = false;
            }
            if (err != EEXIST)
                return err;
            continue;
        }
        File = TFd(::openat(At.Folder.Get(), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (File.Get() >= 0) {
            Name = std::move(name);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int TTempFile::LinkUnnamed(const char *to) {
    // By the descriptor itself where the process may (CAP_DAC_READ_SEARCH),
    // else by the name /proc gives it.
    if (::linkat(File.Get(), "", At.Folder.Get(), to, AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != ENOENT && errno != EPERM)
        return errno;
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", File.Get());
    if (::linkat(AT_FDCWD, proc, At.Folder.Get(), to, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno == ENOENT ? kCannotLink : errno;
}

int TTempFile::PutNew() {
    const int folder = At.Folder.Get();
    if (IsUnnamed)
        return LinkUnnamed(At.Name.c_str());
    if (::renameat2(folder, Name.c_str(), folder, At.Name.c_str(), RENAME_NOREPLACE) == 0) {
        Name.clear();
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // No rename that refuses to replace here: a second name refuses too. The
    // private name goes when the scope ends.
    if (::linkat(folder, Name.c_str(), folder, At.Name.c_str(), 0) == 0)
        return 0;
    if (errno != EPERM && errno != ENOTSUP && errno != EMLINK)
        return errno;
    return kCannotLink;
}

int TTempFile::NamePrivately() {
    return IsUnnamed ? CreateNamed() : 0;
}

int TTempFile::PutOver(const struct stat &located) {
    const int folder = At.Folder.Get();
    // Exchanged, not renamed over: what comes out is checked before it goes.
    if (::renameat2(folder, Name.c_str(), folder, At.Name.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errno;
        // A file system without the exchange: renamed over, as before.
        if (::renameat(folder, Name.c_str(), folder, At.Name.c_str()) != 0)
            return errno;
        Name.clear();
        return 0;
    }
    struct stat out {};
    if (::fstatat(folder, Name.c_str(), &out, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(out, located)) {
        // The old file, now under the private name.
        ::unlinkat(folder, Name.c_str(), 0);
        Name.clear();
        return 0;
    }
    // Another file took the name meanwhile: it gets the name back, untouched.
    if (::renameat2(folder, Name.c_str(), folder, At.Name.c_str(), RENAME_EXCHANGE) != 0) {
        // Never removed as if it were the private file.
        Name.clear();
        return kNotPutBack;
    }
    return kNameTaken;
}
