#include "datafiles/ScriptFiles.h"

#include <array>
#include <string_view>
#include <vector>

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "forms/Dialogs.h"
#include "platform/IntConvert.h"
#include "protocol/VltContext.h"

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

void SkipSpaces(TPyParse &ps, const std::string &line) {
    while (ps.Column <= line.size() && line[ps.Column - 1] == ' ')
        ++ps.Column;
}

// Writes a whole record or, when it would not fit, nothing.
void PutRecord(TPyParse &ps, const uint8_t *bytes, size_t n) {
    if (!FitsDataBuffer(ps.Pos, static_cast<uint32_t>(n))) {
        ps.Overflow = true;
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

std::string PyReadName(TPyParse &ps, const std::string &line) {
    SkipSpaces(ps, line);
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
    uint16_t value = 0;
    int n = 0;
    while (ps.Column <= line.size()) {
        const char c = line[ps.Column - 1];
        if (c == ')')
            break;
        if (c == 'e') {
            // One exponent digit, two places after the "e"; none there counts as no known exponent.
            n = ps.Column + 1 < line.size() ? line[ps.Column + 1] - '0' : -1;
            break;
        }
        value = static_cast<uint16_t>(value * 10 + static_cast<uint8_t>(c - '0'));
        ++ps.Column;
    }
    static constexpr uint32_t kMultiplier[] = {1000000, 100000, 10000, 1000, 100, 10};
    const uint32_t mult = (n >= 0 && n <= 5) ? kMultiplier[n] : 1;
    const uint32_t t = (uint32_t{value} * mult) % 16777216u;
    const uint8_t rec[4] = {ps.Section, static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 8),
                            static_cast<uint8_t>(t)};
    PutRecord(ps, rec, sizeof rec);
}

void ParsePyI2cWrite(TPyParse &ps, const std::string &line) {
    std::vector<uint8_t> rec{ps.Section};
    while (ps.Column <= line.size()) {
        rec.push_back(static_cast<uint8_t>(PyReadArg(ps, line)));
        if (ps.Separator == ')')
            break;
    }
    PutRecord(ps, rec.data(), rec.size());
}

void ParsePyStatement(TPyParse &ps, const std::string &line) {
    ps.Column = 1;
    SkipSpaces(ps, line);
    if (ps.Column <= line.size() && line[ps.Column - 1] == '#')
        return; // a comment
    const std::string name = PyReadName(ps, line);
    auto &ctx = ps.Ctx;
    if (name == "time.sleep") {
        ps.Section = kWaitCode;
        ParsePySleep(ps, line);
        ps.Section = 0;
        if (!ps.Overflow)
            ++ctx.RecordCount;
    } else if (name == "i2c.i2cw") {
        ParsePyI2cWrite(ps, line);
        if (!ps.Overflow)
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
    while (file.ReadLine(line)) {
        if (line.size() < 5)
            continue;
        if (line == kEndLine)
            break;
        if (SectionLine(ps, line))
            continue;
        ParsePyStatement(ps, line);
        if (ps.Overflow) {
            ShowFileFormatError(ctx, line);
            break;
        }
        if (ps.Stop)
            break;
    }
    return true;
}
