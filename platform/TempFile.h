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
    // Renames the privately named file over the target. 0 or the error.
    int PutOver();

    static constexpr int kCannotLink = -1;

private:
    int CreateNamed();
    int LinkUnnamed(const char *to);

    const TLocation &At;
    TFd File;
    std::string Name; // the private name; empty: unnamed or put in place
    bool IsUnnamed = false;
    int Err = 0;
};
