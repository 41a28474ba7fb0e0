#pragma once
// Lines of text written to a file, each ended by CR LF.
#include <string>
#include <vector>

// Writes the lines, each ended by CR LF, creating the file or replacing its
// contents. Throws EInOutError when the file cannot be written; the file is
// then as it was (a new one is not left behind).
void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines);
// Appends the lines, each ended by CR LF, to the end of the file; a missing
// file is first created holding the line "Corvane Log File!". Throws
// EInOutError; then none of the lines was added.
void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines);
