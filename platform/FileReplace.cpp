// A regular file's new content: a replacement renamed over it, or, where that
// cannot keep what the file is, the bytes written in place with the old ones
// kept to put back.
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "platform/FileAttributes.h"
#include "platform/FileWriteWays.h"
#include "platform/TempFile.h"

namespace {

// The most old content kept in memory to put back after a failed in-place write.
constexpr off_t kMaxRestoreBytes = off_t{256} << 20;

enum class TRenameOutcome { Done, Failed, NeedsInPlace, Retry };

bool Refused(int err) {
    return err == EACCES || err == EPERM;
}

// The replacement is private while its content is written, takes the old
// file's owner, attributes and mode, reaches the disk and takes the old
// file's place. NeedsInPlace when the folder takes no new file, or any of
// these cannot be kept; Retry when the name no longer holds the old file.
TRenameOutcome ReplaceByRename(const TLocation &at, std::string_view bytes, TFileWriteResult &result) {
    TXattrs xattrs;
    if (!ReadXattrs(at, xattrs))
        return TRenameOutcome::NeedsInPlace;
    auto failed = [&](TFileWriteStep step, int err) {
        result = Fail(step, err);
        return TRenameOutcome::Failed;
    };
    for (const bool unnamed : {true, false}) {
        TTempFile temp(at, unnamed);
        if (temp.Error())
            return Refused(temp.Error()) ? TRenameOutcome::NeedsInPlace
                                         : failed(TFileWriteStep::Create, temp.Error());
        if (const int err = WriteAll(temp.Fd(), bytes))
            return failed(TFileWriteStep::Write, err);
        int err = 0;
        const TDressed dressed = DressLike(temp.Fd(), at.St, xattrs, err);
        if (dressed == TDressed::CannotCopy)
            return TRenameOutcome::NeedsInPlace;
        if (dressed == TDressed::Failed)
            return failed(TFileWriteStep::Create, err);
        if (::fsync(temp.Fd()) != 0)
            return failed(TFileWriteStep::Write, errno);
        if ((err = temp.NamePrivately()) == TTempFile::kCannotLink)
            continue;
        if (err != 0)
            return failed(TFileWriteStep::Create, err);
        if ((err = temp.Close()))
            return failed(TFileWriteStep::Write, err);
        if ((err = temp.PutOver(at.St))) {
            // Gone (it is a new file now) or taken by another file: the rules
            // for what the name holds now decide.
            if (err == ENOENT || err == TTempFile::kNameTaken)
                return TRenameOutcome::Retry;
            if (err == TTempFile::kNotPutBack) {
                result = Fail(TFileWriteStep::Create, EEXIST, TFileWriteNote::NotPutBack);
                return TRenameOutcome::Failed;
            }
            // A sticky folder lets only the owner replace the file.
            return Refused(err) ? TRenameOutcome::NeedsInPlace : failed(TFileWriteStep::Create, err);
        }
        SyncFolder(at);
        return TRenameOutcome::Done;
    }
    return TRenameOutcome::NeedsInPlace;
}

bool PReadAll(int fd, char *into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// For a file that cannot be replaced by renaming (its folder takes no new
// file, it has more names than one, or its attributes cannot be copied):
// written over in place under the file's lock, and all of its old content is
// put back when the write fails. The old blocks stay the file's until the new
// content is on disk, so that putting them back needs no new space; a file
// whose old content cannot be read or held is not written at all.
TAttempt OverwriteInPlace(const TLocation &at, const TFileWriteJob &job) {
    TFd fd;
    struct stat st {};
    TAttempt opened = OpenLocated(at, O_RDWR, fd, st);
    if (!opened.Retry && opened.Result && opened.Result->Errno == EACCES)
        return Finish(Fail(TFileWriteStep::Create, EACCES, TFileWriteNote::OldContentNotKept));
    if (opened.Retry || opened.Result)
        return opened;
    if (const int err = LockFile(fd.Get(), job.Wait))
        return Finish(Fail(TFileWriteStep::Write, err));
    if (::fstat(fd.Get(), &st) != 0)
        return Finish(Fail(TFileWriteStep::Create, errno));
    if (st.st_size > kMaxRestoreBytes)
        return Finish(Fail(TFileWriteStep::Create, EFBIG, TFileWriteNote::OldContentNotKept));
    // Memory that is not there refuses the write, as a file too large does.
    const size_t size = static_cast<size_t>(st.st_size);
    const std::unique_ptr<char[]> held(new (std::nothrow) char[size]);
    if (!held)
        return Finish(Fail(TFileWriteStep::Create, ENOMEM, TFileWriteNote::OldContentNotKept));
    const std::string_view before(held.get(), size);
    if (!PReadAll(fd.Get(), held.get(), size))
        return Finish(Fail(TFileWriteStep::Create, errno, TFileWriteNote::OldContentNotKept));

    auto restore = [&](int into, int err) {
        const bool back =
            WriteAll(into, before, 0) == 0 && ::ftruncate(into, st.st_size) == 0 && ::fsync(into) == 0;
        return Finish(
            Fail(TFileWriteStep::Write, err, back ? TFileWriteNote::None : TFileWriteNote::NotPutBack));
    };
    const std::string_view bytes = job.Bytes;
    if (const int err = WriteAll(fd.Get(), bytes, 0))
        return restore(fd.Get(), err);
    if (::fsync(fd.Get()) != 0)
        return restore(fd.Get(), errno);
    if (bytes.size() < before.size() &&
        (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.Get()) != 0))
        return restore(fd.Get(), errno);
    // A second descriptor puts the old content back if the close reports a
    // failure; it holds the lock until then.
    TFd spare(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0));
    if (const int err = fd.Close())
        return spare.Get() >= 0 ? restore(spare.Get(), err)
                                : Finish(Fail(TFileWriteStep::Write, err, TFileWriteNote::NotPutBack));
    return Finish(std::nullopt);
}

} // namespace

TAttempt ReplaceFile(const TLocation &at, const TFileWriteJob &job) {
    // A file the user may not write stays refused, even though its folder
    // would take a replacement.
    if (::faccessat(at.Folder.Get(), at.Name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ELOOP ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    // More names than one: all of them must see the new content.
    if (at.St.st_nlink == 1) {
        TFileWriteResult result;
        const TRenameOutcome outcome = ReplaceByRename(at, job.Bytes, result);
        if (outcome == TRenameOutcome::Retry)
            return Retry();
        if (outcome != TRenameOutcome::NeedsInPlace)
            return Finish(result);
    }
    return OverwriteInPlace(at, job);
}
