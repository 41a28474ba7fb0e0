#include "datafiles/TextTokens.h"
#include "datafiles/TextFileReader.h"
#include "platform/Errors.h"
#include "tests/datafiles/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TextTokens, IsHexLiteral) {
    struct Case {
        const char *text;
        bool hex;
    };
    const Case cases[] = {{"0x6C", true},  {"0XaF09", true}, {"0x", false}, {"0x1G", false}, {"x12", false},
                          {"00x1", false}, {"0x12}", false}, {"", false},   {"1x2", false},  {"0x 1", false}};
    for (const auto &c : cases)
        EXPECT_EQ(IsHexLiteral(c.text), c.hex) << c.text;
}

std::vector<std::string> AllTokens(const std::string &line, bool tabOnly) {
    std::vector<std::string> out;
    size_t col = 1;
    for (int guard = 0; guard < 20; ++guard) {
        std::string t = tabOnly ? NextTabField(line, col) : NextToken(line, col);
        out.push_back(t);
        if (col > line.size())
            break;
    }
    return out;
}

TEST(TextTokens, NextTokenAndNextTabField) {
    struct Case {
        std::string line;
        bool tabOnly;
        std::vector<std::string> tokens;
    };
    const std::vector<Case> cases = {
        {"0x6C 0x21\tOUT SET", false, {"0x6C", "0x21", "OUT", "SET"}},
        {"  ,\t0x01,, 0x02", false, {"0x01", "0x02"}},
        // A separator in the last position is not skipped: it gives an empty token.
        {"0x01 ,", false, {"0x01", ""}},
        {"a", false, {"a"}},
        {"", false, {""}},
        {"OUT SET, X\t2", true, {"OUT SET, X", "2"}},
        {"\t\tname\t", true, {"name"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AllTokens(c.line, c.tabOnly), c.tokens) << c.line;
}

TEST(TextTokens, EmptyTokenAtTheEndOfTheLineAndAfter) {
    size_t col = 1;
    const std::string line = "0x01";
    EXPECT_EQ(NextToken(line, col), "0x01");
    EXPECT_EQ(NextToken(line, col), "");
    EXPECT_EQ(NextToken(line, col), "");
    EXPECT_EQ(col, 5u);
}

TEST(TextTokens, TrimUpper) {
    EXPECT_EQ(TrimUpper("  # start configuration registers"), "# START CONFIGURATION REGISTERS");
    EXPECT_EQ(TrimUpper("\t \tab"), "AB"); // tabs like spaces
    EXPECT_EQ(TrimUpper("    "), "");
    EXPECT_EQ(TrimUpper("x\xE4y"), "X\xE4Y");
}

TEST(TextFileReader, LineEndsAndOverlongLines) {
    TTempDir dir;
    const std::string longLine(kMaxLineLength + 10, 'a');
    const auto path = dir.Write("t.txt", "one\r\ntwo\nthree\rfour\r\n\r\n" + longLine + "\nlast");
    TTextFileReader r(path);
    std::vector<std::string> lines;
    std::vector<bool> tooLong;
    std::string line;
    while (r.ReadLine(line)) {
        lines.push_back(line);
        tooLong.push_back(r.LineTooLong());
    }
    const std::vector<std::string> want = {
        "one", "two", "three", "four", "", std::string(kMaxLineLength, 'a'), "last"};
    EXPECT_EQ(lines, want);
    EXPECT_EQ(tooLong, (std::vector<bool>{false, false, false, false, false, true, false}));
}

TEST(TextFileReader, AByteOrderMarkAtTheStartIsSkipped) {
    TTempDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {bom + "one\n" + bom + "two", {"one", bom + "two"}}, // only at the start
        {bom, {}},
        {bom + "\n", {""}},
        {"\xEF\xBBx\n", {"\xEF\xBBx"}}, // not the whole mark
        {"\xEF\xBB", {"\xEF\xBB"}},
    };
    for (const auto &c : cases) {
        TTextFileReader r(dir.Write("b.txt", c.text));
        std::vector<std::string> lines;
        std::string line;
        while (r.ReadLine(line))
            lines.push_back(line);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(TextFileReader, UnopenableFilesRaiseTheInOutError) {
    TTempDir dir;
    try {
        TTextFileReader r(dir.Path("missing.txt"));
        ADD_FAILURE();
    } catch (const EInOutError &e) {
        EXPECT_EQ(e.what(),
                  "Cannot open file \"" + dir.Path("missing.txt") + "\": No such file or directory");
    }
    EXPECT_THROW(TTextFileReader(dir.Path("")), EInOutError);
    EXPECT_THROW(TTextFileReader("/dev/zero"), EInOutError); // would never end a line
}

} // namespace
