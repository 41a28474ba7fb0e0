#pragma once
// Reads a data file as text lines, the way the loaders expect them: the line
// ends (CR LF, LF or a lone CR) are not part of a line, and a UTF-8 byte-order
// mark at the start of the file is skipped. A line keeps at most
// kMaxLineLength characters, so no parser ever works on an unbounded line; a
// longer one is marked, for the parsers refuse it rather than read the values
// of a cut line.
#include <cstddef>
#include <fstream>
#include <string>

constexpr size_t kMaxLineLength = 65535;

class TTextFileReader {
public:
    // Throws EInOutError when the file cannot be opened.
    explicit TTextFileReader(const std::string &fileName);
    // The next line; false at the end of the file. Throws EInOutError on a
    // read error.
    bool ReadLine(std::string &line);
    // True when the last line read was longer than kMaxLineLength: `line`
    // then holds its first kMaxLineLength characters.
    bool LineTooLong() const { return TooLong; }

private:
    void SkipByteOrderMark();

    std::ifstream In;
    std::string Name;
    bool TooLong = false;
};

// Throws EInOutError unless the path names a regular file: a device or a
// pipe could block the open or never end.
void RequireRegularFile(const std::string &fileName);

// The message of a file that cannot be opened, read or written.
std::string FileErrorText(const char *what, const std::string &fileName);
