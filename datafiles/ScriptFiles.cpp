#include "datafiles/ScriptFiles.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "forms/Dialogs.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

namespace {

constexpr uint8_t kWaitCode = 0xF0;
constexpr const char *kHeader = "import time";
constexpr const char *kEndLine = "#remove manual wake-up in main and lock e-fuse pattern in main";
constexpr std::string_view kDisableResetPrefix = "# To disable reset from register map by writing 0xFE";

struct TSectionLine {
    const char *Text;
    uint8_t Code;
};
constexpr std::array<TSectionLine, 5> kSectionLines{{
    {"# Efuse Write", 0x35},
    {"# PIF HARD RESET", 0x53},
    {"# FORCE POWER UP", 0x55},
    {"#escape to PRG_CMD in mainsys", 0x39},
    {"# GENERIC: begin", 0x10},
}};
constexpr uint8_t kDisableResetCode = 0x20;
constexpr uint32_t kLongestWait = 0xFFFFFF; // microseconds in 24 bits

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void SkipBlanks(TPyParse &ps, const std::string &line) {
    while (ps.Column <= line.size() && IsBlank(line[ps.Column - 1]))
        ++ps.Column;
}

// True when the statement's closing ")" follows the column: a statement cut
// off before it has no defined value.
bool ClosedFromColumn(const TPyParse &ps, const std::string &line) {
    return line.find(')', ps.Column - 1) != std::string::npos;
}

// Writes a whole record or, when it would not fit, nothing.
void PutRecord(TPyParse &ps, const uint8_t *bytes, size_t n) {
    if (!FitsDataBuffer(ps.Pos, static_cast<uint32_t>(n))) {
        ps.Refused = true;
        return;
    }
    for (size_t i = 0; i < n; ++i)
        ps.Ctx.DataBuffer[ps.Pos++] = bytes[i];
}

// Sets the section code when the line is a section line; false otherwise.
bool SectionLine(TPyParse &ps, const std::string &line) {
    for (const auto &s : kSectionLines)
        if (line == s.Text) {
            ps.Section = s.Code;
            return true;
        }
    if (StartsWith(line, kDisableResetPrefix)) {
        ps.Section = kDisableResetCode;
        return true;
    }
    return false;
}

} // namespace

std::optional<uint32_t> PySleepMicroseconds(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    // The value is digits x 10^scale microseconds.
    std::string digits;
    int64_t scale = 6;
    size_t i = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        digits.push_back(text[i]);
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            digits.push_back(text[i]);
            --scale;
        }
    if (digits.empty())
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        if (i == text.size() || !IsDigit(text[i]))
            return std::nullopt;
        int64_t exponent = 0;
        // Beyond a line's length of digits the value cannot fit or be whole anyway.
        for (; i < text.size() && IsDigit(text[i]); ++i)
            exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), 1000000);
        scale += negative ? -exponent : exponent;
    }
    if (i != text.size())
        return std::nullopt;
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    digits.erase(0, first);
    while (digits.back() == '0') {
        digits.pop_back();
        ++scale;
    }
    // A fraction of a microsecond has no record; 10^8 us and more do not fit 24 bits.
    if (scale < 0 || static_cast<int64_t>(digits.size()) + scale > 8)
        return std::nullopt;
    uint64_t us = 0;
    for (const char c : digits)
        us = us * 10 + static_cast<uint64_t>(c - '0');
    for (int64_t k = 0; k < scale; ++k)
        us *= 10;
    if (us > kLongestWait)
        return std::nullopt;
    return static_cast<uint32_t>(us);
}

std::string PyReadName(TPyParse &ps, const std::string &line) {
    SkipBlanks(ps, line);
    std::string name;
    while (ps.Column <= line.size()) {
        const char c = line[ps.Column - 1];
        ++ps.Column;
        if (c == '(')
            break;
        name.push_back(c);
    }
    return name;
}

int32_t PyReadArg(TPyParse &ps, const std::string &line) {
    std::string text;
    ps.Separator = 0;
    while (ps.Column <= line.size()) {
        const char c = line[ps.Column - 1];
        ++ps.Column;
        if (c == ',' || c == ')') {
            ps.Separator = c;
            break;
        }
        text.push_back(c);
    }
    return StrToInt(text);
}

void ParsePySleep(TPyParse &ps, const std::string &line) {
    if (!ClosedFromColumn(ps, line)) {
        ps.Refused = true;
        return;
    }
    const size_t from = ps.Column - 1;
    const size_t close = line.find(')', from);
    ps.Column = close + 2;
    const auto us = PySleepMicroseconds(std::string_view(line).substr(from, close - from));
    if (!us) {
        ps.Refused = true;
        return;
    }
    const uint8_t rec[4] = {ps.Section, static_cast<uint8_t>(*us >> 16), static_cast<uint8_t>(*us >> 8),
                            static_cast<uint8_t>(*us)};
    PutRecord(ps, rec, sizeof rec);
}

void ParsePyI2cWrite(TPyParse &ps, const std::string &line) {
    if (!ClosedFromColumn(ps, line)) {
        ps.Refused = true;
        return;
    }
    std::vector<uint8_t> rec{ps.Section};
    do
        rec.push_back(static_cast<uint8_t>(PyReadArg(ps, line)));
    while (ps.Separator == ',');
    PutRecord(ps, rec.data(), rec.size());
}

void ParsePyStatement(TPyParse &ps, const std::string &line) {
    ps.Column = 1;
    SkipBlanks(ps, line);
    if (ps.Column <= line.size() && line[ps.Column - 1] == '#')
        return; // a comment
    const std::string name = PyReadName(ps, line);
    auto &ctx = ps.Ctx;
    if (name == "time.sleep") {
        ps.Section = kWaitCode;
        ParsePySleep(ps, line);
        ps.Section = 0;
        if (!ps.Refused)
            ++ctx.RecordCount;
    } else if (name == "i2c.i2cw") {
        ParsePyI2cWrite(ps, line);
        if (!ps.Refused)
            ++ctx.RecordCount;
    } else {
        ctx.Dialogs->Error("File is not I2C Format File,please checked!");
        ps.Stop = true;
    }
}

bool ParseVeltaPyFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    std::string line;
    bool got = false;
    while ((got = file.ReadLine(line)) && line.empty()) {
    }
    if (!got || line != kHeader) {
        ctx.Dialogs->Message("File Error : Not Velta PY Data File!");
        return false;
    }
    TPyParse ps{ctx};
    ctx.RecordCount = 0;
    while (NextDataLine(ctx, file, line)) {
        if (line.size() < 5)
            continue;
        if (line == kEndLine)
            break;
        if (SectionLine(ps, line))
            continue;
        ParsePyStatement(ps, line);
        if (ps.Refused) {
            ShowFileFormatError(ctx, line);
            break;
        }
        if (ps.Stop)
            break;
    }
    return true;
}
