#pragma once
// Lines of text written to a file, each ended by CR LF.
#include <string>
#include <utility>
#include <vector>

#include "platform/Errors.h"
#include "platform/FileWrite.h"

// A file of lines that could not be written. The text names the file and the
// system's reason; both are kept apart too, for a box that shows each on a
// line of its own.
class ELineFileError : public EInOutError {
public:
    ELineFileError(const std::string &msg, std::string path, int err, TFileWriteNote note)
        : EInOutError(msg), FilePath(std::move(path)), Errno(err), WriteNote(note) {}
    const std::string &Path() const { return FilePath; }
    // The errno of the failed step.
    int Error() const { return Errno; }
    // Whether the file could not be kept as it was.
    TFileWriteNote Note() const { return WriteNote; }

private:
    std::string FilePath;
    int Errno;
    TFileWriteNote WriteNote;
};

// Writes the lines, each ended by CR LF, creating the file or replacing its
// contents. Throws ELineFileError when the file cannot be written; the file is
// then as it was (a new one is not left behind).
void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines);
// Appends the lines, each ended by CR LF, to the end of the file; a missing
// or empty file first gets the line "Corvane Log File!". Throws
// ELineFileError; then none of the lines was added (unless its note says the
// file could not be put back).
void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines);
