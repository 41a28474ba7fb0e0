#pragma once
// Writing a file whole or not at all, so that a full disk never destroys what
// was there, and so that no other user can read it early or redirect it.
// - A regular file is replaced through a temporary file in its folder. The
//   temporary file is private (0600) while its content is written; it then
//   takes the old file's owner, mode and extended attributes (its ACL among
//   them), is flushed to disk and renamed over the old one.
// - A file that cannot be renamed over (its folder takes no new file, it has
//   more names than one, or its owner or attributes cannot be copied) is
//   written in place, and all of its old content is put back on failure.
// - An append that fails is cut back to the old length.
// - A new file appears only when it is complete, and never replaces a file
//   that appeared meanwhile: that one is appended to or replaced as the mode
//   says. Only on a file system that can neither rename without replacing nor
//   link is it written under its own name, and removed if that fails.
// - Symbolic links are followed as the kernel's protected_symlinks rule
//   allows, whatever that setting: in a sticky world-writable folder only a
//   link owned by the user or by the folder's owner; another one is refused
//   with EACCES and what it points at is left alone.
// - A target that is no regular file (a pipe, a device) is written as a
//   stream, as it always was: its open never waits for a reader.
#include <optional>
#include <string>
#include <string_view>

enum class TFileWriteMode { Replace, Append };

// The step that failed: creating or opening the file, or writing its bytes.
enum class TFileWriteStep { Create, Write };

struct TFileWriteError {
    TFileWriteStep Step;
    int Errno;
};

// Writes `bytes` as the file's whole content (Replace) or after its end
// (Append). A missing file gets the mode open(2) would give it (0666 less the
// umask, or what the folder's default ACL says); a replaced one keeps its
// mode, owner, attributes and the symbolic link that names it. On failure the
// file is as it was before the call and no temporary file is left behind.
[[nodiscard]] std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                                            TFileWriteMode mode);
