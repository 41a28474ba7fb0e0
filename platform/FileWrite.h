#pragma once
// Writing a file whole or not at all, so that a full disk never destroys what
// was there, and so that no other user can read it early or redirect it.
// - A new file is made unnamed in its folder (where the file system cannot,
//   under a private temporary name), written, given the mode open(2) would
//   give it, flushed to disk and only then named: it never replaces a file
//   that appeared meanwhile (that one is appended to or replaced as the mode
//   says). A process killed meanwhile leaves nothing behind. Only on a file
//   system that can neither rename without replacing nor link is it written
//   under its own name, and removed if that fails.
// - An existing regular file is replaced the same way: its replacement takes
//   the old file's owner, extended attributes, ACL and mode, in an order in
//   which it is never more open than the private file or the old one, is
//   flushed and exchanged with it in one step. What comes out is removed only
//   when it is the file the write began with: another that took the name
//   meanwhile gets it back untouched, and the write starts over with what the
//   name holds now (nothing: a new file). Where the file system cannot
//   exchange two names, the replacement is renamed over the old file.
// - A file that cannot be renamed over (its folder takes no new file, it has
//   more names than one, or its owner or attributes cannot be copied) is
//   written in place, and all of its old content is put back on failure. One
//   whose old content cannot be read or held (too large, or no memory for
//   it: ENOMEM) is not written in place.
// - An append, and a write in place, hold the file's advisory lock (flock)
//   meanwhile. The lock only orders this system's own writers, and anyone who
//   may read the file can take it: after 5 s of waiting for it the write goes
//   on without it (two such appends to an empty file may then both write the
//   header). An append that fails takes back what it added, only while that
//   is still the file's end, and never makes the file longer.
// - In a sticky shared folder (/tmp) a symbolic link, where others may write
//   the folder, and a file or a FIFO, where others or the folder's group may
//   write it, are used only when they belong to the user or to the folder's
//   owner, as the kernel's protected_symlinks, protected_regular and
//   protected_fifos rules have it at their strictest, whatever those
//   settings; a file with more names than one is not used there at all,
//   whoever owns it, as another user may have linked any file to the name.
//   Another one is refused with EACCES and left alone, also when it appeared
//   during the write.
// - A target that is no regular file (a pipe, a device) is written as a
//   stream: its open never waits for a reader, and a write not done 5 s
//   after it began fails with ETIMEDOUT, however slowly the reader takes it
//   and even where the device would take more after that time. A regular file on a hung network mount can
//   still hold the caller.
#include <optional>
#include <string>
#include <string_view>

enum class TFileWriteMode { Replace, Append };

// The step that failed: creating or opening the file, or writing its bytes.
enum class TFileWriteStep { Create, Write };

// What more the caller must be told than the error itself.
enum class TFileWriteNote {
    None,
    // Refused: the file can only be written in place, and its old content can
    // be neither read nor held to put back on failure. It was left as it was.
    OldContentNotKept,
    // The write failed and the file could not be put back as it was.
    NotPutBack,
};

struct TFileWriteError {
    TFileWriteStep Step;
    int Errno;
    TFileWriteNote Note = TFileWriteNote::None;
};

// Writes `bytes` as the file's whole content (Replace) or after its end
// (Append). A missing file gets the mode open(2) would give it (0666 less the
// umask, or what the folder's default ACL says); a replaced one keeps its
// mode, owner, attributes and the symbolic link that names it. On failure the
// file is as it was before the call, unless the note says otherwise, and no
// temporary file is left behind.
[[nodiscard]] std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                                            TFileWriteMode mode);

// Appends `bytes` as WriteWholeFile does; a file that is missing or empty
// first gets `header`. Decided under the file's lock, so that of two writers
// only one writes it, at the start (unless the lock was held past its wait).
[[nodiscard]] std::optional<TFileWriteError> AppendWholeFile(const std::string &path, std::string_view header,
                                                             std::string_view bytes);

// The sentence that tells the operator the note ("" for None).
std::string_view FileWriteNoteText(TFileWriteNote note);
