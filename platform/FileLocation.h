#pragma once
// Where a name leads, for the file writer: the folder that holds the file, the
// file's name there and what that name holds now, found one name at a time
// from descriptors under the kernel's rules for sticky shared folders.
#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/FileWrite.h"

using TFileWriteResult = std::optional<TFileWriteError>;

inline TFileWriteResult Fail(TFileWriteStep step, int err, TFileWriteNote note = TFileWriteNote::None) {
    return TFileWriteError{step, err, note};
}

// One try at a write. It starts over when the name changed under it (a file
// appeared, vanished or was swapped between two steps).
struct TAttempt {
    bool Retry = false;
    TFileWriteResult Result;
};

inline TAttempt Finish(TFileWriteResult result) {
    return {false, std::move(result)};
}

inline TAttempt Retry() {
    return {true, std::nullopt};
}

struct TLocation {
    TFd Folder; // O_PATH
    std::string Name;
    TFd Object; // O_PATH, never a symbolic link; none: the name holds nothing yet
    struct stat St {};
};

// The one rule for what a sticky shared folder holds: a symbolic link in a
// sticky world-writable folder, and a regular file or a FIFO in a sticky
// folder that others or its group may write, are used only when they belong
// to the user or to the folder's owner; a regular file with more than one
// name there is never used. Otherwise another user could point a privileged
// write at any file, or take what it writes.
bool StickyFolderLets(const struct stat &folder, const struct stat &object);

// Walks `path` one name at a time from descriptors, following links and
// taking the last name's file only where StickyFolderLets allows, so that no
// step trusts a name that may change meanwhile. False with `err` set as
// open(2) would set it (EACCES where the rule refuses).
bool Locate(const std::string &path, TLocation &at, int &err);

// Opens the file that `at` located with `flags` (never through a link, never
// waiting for a reader); Retry when the name no longer holds it.
TAttempt OpenLocated(const TLocation &at, int flags, TFd &fd, struct stat &st);

// The folder's own record of a change of names reaches the disk too.
void SyncFolder(const TLocation &at);
