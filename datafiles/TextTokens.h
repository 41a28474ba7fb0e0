#pragma once
// Small text routines shared by the data-file parsers. Columns are 1-based;
// they are wider than the lines they index, so a column can always step past
// the end of a line without wrapping.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// "0x" or "0X" followed by one or more hexadecimal digits and nothing else.
bool IsHexLiteral(std::string_view text);

// The next token of the line from `column`; TAB, space and comma separate
// tokens. Separators before the token are skipped except one in the last
// position; the separator after it is consumed. Empty only at the end of a line.
std::string NextToken(const std::string &line, size_t &column);

// The same with TAB as the only separator: spaces and commas belong to the field.
std::string NextTabField(const std::string &line, size_t &column);

// A space or a TAB: the blanks that surround or separate values.
bool IsBlank(char c);

// The line without its leading blanks, a-z turned into A-Z.
std::string TrimUpper(std::string_view line);

// Upper case of ASCII letters only.
std::string UpperAscii(std::string_view text);

// True when `text` begins with `prefix`.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
