#pragma once
// The file a write makes beside its target before it takes the target's
// place. Unnamed (O_TMPFILE) where the file system can: nobody can open it,
// and a process killed meanwhile leaves nothing behind. Elsewhere under a
// private temporary name (0600 whatever the umask), removed when the scope
// ends unless it was put in place.
#include <string>

#include "platform/FileLocation.h"

class TTempFile {
public:
    // `unnamed`: try O_TMPFILE first.
    TTempFile(const TLocation &at, bool unnamed);
    ~TTempFile();
    TTempFile(const TTempFile &) = delete;
    TTempFile &operator=(const TTempFile &) = delete;

    // 0, or the error with which the folder refused it.
    int Error() const { return Err; }
    int Fd() const { return File.Get(); }
    bool Unnamed() const { return IsUnnamed; }
    // The descriptor's own close, once the content is on disk.
    int Close() { return File.Close(); }

    // Makes the file appear as the target's name, never replacing a file that
    // appeared meanwhile. 0, EEXIST for such a file, kCannotLink where the file
    // system can neither rename without replacing nor link, or the error.
    int PutNew();
    // Gives an unnamed file a private temporary name (kCannotLink where it
    // cannot be linked); 0 for one that has it already.
    int NamePrivately();
    // Puts the privately named file in the place of `located`, the file the
    // target's name held, and removes that one. 0; ENOENT when the name
    // holds nothing now; kNameTaken when another file took it meanwhile (it
    // keeps it); kNotPutBack when that file could not get the name back (it
    // is left under the private name); or the error. Where the file system
    // cannot exchange two names, renamed over whatever the name holds.
    int PutOver(const struct stat &located);

    static constexpr int kCannotLink = -1;
    static constexpr int kNameTaken = -2;
    static constexpr int kNotPutBack = -3;

private:
    int CreateNamed();
    int LinkUnnamed(const char *to);

    const TLocation &At;
    TFd File;
    std::string Name; // the private name; empty: unnamed or put in place
    bool IsUnnamed = false;
    int Err = 0;
};
