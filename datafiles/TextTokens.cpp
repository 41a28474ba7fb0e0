#include "datafiles/TextTokens.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

template <typename IsSep> std::string Token(const std::string &line, size_t &column, IsSep isSep) {
    std::string token;
    const size_t len = line.size();
    if (column < 1)
        column = 1;
    while (column < len && isSep(line[column - 1]))
        ++column;
    while (column <= len) {
        const char c = line[column - 1];
        ++column;
        if (isSep(c))
            break;
        token.push_back(c);
    }
    return token;
}

} // namespace

bool IsHexLiteral(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    for (size_t i = 2; i < text.size(); ++i)
        if (!IsHexDigit(text[i]))
            return false;
    return true;
}

std::string NextToken(const std::string &line, size_t &column) {
    return Token(line, column, [](char c) { return c == '\t' || c == ' ' || c == ','; });
}

std::string NextTabField(const std::string &line, size_t &column) {
    return Token(line, column, [](char c) { return c == '\t'; });
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (auto &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimUpper(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    return UpperAscii(line.substr(i));
}
