#pragma once
// Writing a file whole or not at all, so that a full disk never destroys what
// was there. A regular file is replaced through a temporary file in its folder
// that is flushed to disk and then renamed over it; an append that fails is
// cut back to the old length; a new file appears only when it is complete.
// A file that cannot be renamed over (its folder takes no new file, or it has
// more names than one) is written in place and its old bytes are put back on
// failure. A target that is no regular file (a pipe, a device) is written as a
// stream, as it always was: its open never waits for a reader.
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
// (Append). A missing file is created with mode 0666 less the umask; a
// replaced one keeps its mode, its owner and the symbolic link that names it.
// On failure the file is as it was before the call and no temporary file is
// left behind.
[[nodiscard]] std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                                            TFileWriteMode mode);
