#pragma once
// How the bytes get to a file, one way each, for the file writer: a new file,
// a replacement (by rename or in place), an append and a stream. Each is one
// try (TAttempt) at what Locate found.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/FileLocation.h"
#include "platform/FileWait.h"

// What one call writes.
struct TFileWriteJob {
    std::string_view Bytes;
    TFileWriteMode Mode = TFileWriteMode::Replace;
    // Appended first to a missing or empty file.
    std::string_view Header;
    TFileWait &Wait;
};

// The whole write, with `job.Wait` for its waits.
TFileWriteResult WriteFileWith(const std::string &path, const TFileWriteJob &job);

// A missing file (FileNew.cpp): the header and the bytes.
TAttempt PutNewFile(const TLocation &at, const TFileWriteJob &job);
// A regular file's new content (FileReplace.cpp).
TAttempt ReplaceFile(const TLocation &at, const TFileWriteJob &job);
// The bytes after a regular file's end (FileAppend.cpp).
TAttempt AppendToFile(const TLocation &at, const TFileWriteJob &job);
// A pipe, a device or a folder (FileStream.cpp).
TAttempt WriteStream(const TLocation &at, const TFileWriteJob &job);

// Takes back the `added` bytes an append wrote after `before`, but only when
// they are still the file's end: never what another writer added, and never
// by making the file longer. True when the file is as it was.
bool CutBack(int fd, off_t before, size_t added);
