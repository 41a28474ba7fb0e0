#include "datafiles/AhexFiles.h"
#include "datafiles/ProjFiles.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

#include <cstdio>

namespace {

TEST(AhexLine, Fields) {
    struct Case {
        std::string line;
        uint16_t address, data;
    };
    const std::vector<Case> cases = {
        {"0010: 12AB", 0x0010, 0x12AB},
        {"00a0: 1234", 0, 0x1234},
        {" 0 1 0 0 :FFFF", 0x0100, 0xFFFF},
        {"0010: 12ab", 0x0010, 0},
        {"12345", 0x2345, 0},
        {"ABCD:1:2", 0xABCD, 0},
        {":0001", 0, 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AhexLineAddress(c.line), c.address) << c.line;
        EXPECT_EQ(AhexLineData(c.line), c.data) << c.line;
    }
}

class AhexProjFiles : public DataFileTest {};

TEST_F(AhexProjFiles, AhexBlocks) {
    struct Case {
        const char *what;
        std::string text;
        std::vector<uint8_t> table; // from offset 0
        std::vector<uint8_t> data;  // from offset 256
        uint16_t blocks;
        uint32_t end;
    };
    const std::vector<Case> cases = {
        {"two blocks", "0000: 1111\n0001: 2222\n0010: 3333\n",
         Hex("00 00 02 00 00 01 00 00 10 00 01 00 0C 01 00 00"),
         Hex("11 11 22 22 00 00 00 00 00 00 00 00 33 33"), 2, 270},
        {"a first address above zero starts the first block", "0100: 00AA\n0101: 00BB\n",
         Hex("00 01 02 00 00 01 00 00 00"), Hex("AA 00 BB 00"), 1, 260},
        {"a step of 2 stays in the block", "0000: 0001\n0002: 00FF\n", Hex("00 00 02 00 00 01 00 00 00"),
         Hex("01 00 FF 00"), 1, 260},
        {"a step of 3 starts a new one", "0000: 0001\n0003: 00FF\n",
         Hex("00 00 01 00 00 01 00 00 03 00 01 00 0A 01 00 00"), Hex("01 00 00 00 00 00 00 00 00 00 FF 00"),
         2, 268},
        {"a step down stays and lowers the start", "0010: 0001\n0011: 0002\n0008: 0003\n",
         Hex("08 00 03 00 00 01 00 00 00"), Hex("01 00 02 00 03 00"), 1, 262},
        {"short and empty lines are skipped", "\n0000: 0001\n01:2\n0001: 0002\n",
         Hex("00 00 02 00 00 01 00 00"), Hex("01 00 02 00"), 1, 260},
        {"no lines", "", Hex("00"), {}, 0, 256},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Ctx.DataBuffer.fill(0);
        ParseAhexFile(Ctx, Dir.Write("a.ahex", c.text));
        EXPECT_EQ(Data(0, c.table.size()), c.table);
        EXPECT_EQ(Data(256, c.data.size()), c.data);
        EXPECT_EQ(Ctx.RecordCount, c.blocks);
        EXPECT_EQ(Ctx.DataEndIndex, c.end);
    }
    EXPECT_TRUE(Messages().empty());
}

std::string AhexLine(unsigned addr, unsigned word) {
    char s[32];
    std::snprintf(s, sizeof s, "%04X: %04X\n", addr, word);
    return s;
}

TEST_F(AhexProjFiles, AhexBeyondTheTableStopsWithTheFormatError) {
    // 33 blocks of one word: the 33rd has no header left.
    std::string text;
    for (unsigned b = 0; b < 33; ++b)
        text += AhexLine(b * 16, b);
    Ctx.DataBuffer.fill(0);
    ParseAhexFile(Ctx, Dir.Write("a.ahex", text));
    EXPECT_EQ(Ctx.RecordCount, 32);
    EXPECT_EQ(Data(248, 8), Hex("F0 01 01 00 36 02 00 00")); // block 31: data at 256 + 31 * 10 = 0x236
    EXPECT_EQ(Ctx.DataEndIndex, 256u + 31 * 10 + 2);
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("0200: 0020")});

    // 256 neighbouring words: the 256th does not fit the word count.
    text.clear();
    for (unsigned i = 0; i < 256; ++i)
        text += AhexLine(i, i);
    Dialogs.Calls.clear();
    Ctx.DataBuffer.fill(0);
    ParseAhexFile(Ctx, Dir.Write("b.ahex", text));
    EXPECT_EQ(Ctx.RecordCount, 1);
    EXPECT_EQ(Data(0, 8), Hex("00 00 FF 00 00 01 00 00"));
    EXPECT_EQ(Ctx.DataEndIndex, 256u + 510);
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("00FF: 00FF")});
}

TEST_F(AhexProjFiles, Proj) {
    struct Case {
        const char *what;
        std::string text;
        std::vector<uint8_t> bytes;
        uint16_t elements;
        uint32_t end;
    };
    const std::string head = "<?xml version=\"1.0\"?>\n<Project>\n  <Global>\n";
    const std::vector<Case> cases = {
        {"two-byte value to two registers, high byte first",
         head + "    <Reg Addr=\"0x10\" Value=\"0x1234\" Size=\"2\"/>\n  </Global>\n",
         Hex("30 01 12 31 01 34 00"), 1, 6},
        {"one-byte value", head + "<Reg a=\"0x10\" b=\"0x55\" c=\"1\"/>\n</Global>\n", Hex("30 01 55 00"), 1,
         3},
        {"size 0 or x stores nothing",
         head + "<Reg a=\"0x10\" b=\"0x55\" c=\"0\"/>\n<Reg a=\"0x10\" b=\"0x55\" c=\"x\"/>\n</Global>\n",
         Hex("00"), 0, 0},
        {"text after </Global> is never read",
         head + "<Reg a=\"1\" b=\"2\" c=\"1\"/>\n</Global>\n<Reg a=\"3\" b=\"4\" c=\"1\"/>\n",
         Hex("21 01 02 00"), 1, 3},
        {"nothing without <Global>", "<Project>\n<Reg a=\"1\" b=\"2\" c=\"1\"/>\n", Hex("00"), 0, 0},
        {"no </Global>: reading goes on to the end, other lines skipped",
         head +
             "<Reg a=\"0xFF\" b=\"0x1FF\" c=\"2\"/>\nplain text\n<Other/>\n<Reg a=\"2\" b=\"3\" c=\"1\"/>\n",
         Hex("FF 01 01 00 01 FF 22 01 03 00"), 2, 9},
        {"an element with fewer than three values is ignored", head + "<Reg a=\"1\" b=\"2\"/>\n", Hex("00"),
         0, 0},
        {"an unclosed third value still counts", head + "<Reg a=\"1\" b=\"2\" c=\"1\n", Hex("21 01 02 00"), 1,
         3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Ctx.DataBuffer.fill(0);
        ParseProjFile(Ctx, Dir.Write("p.proj", c.text));
        EXPECT_EQ(Data(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(Ctx.RecordCount, c.elements);
        EXPECT_EQ(Ctx.DataEndIndex, c.end);
    }
}

TEST_F(AhexProjFiles, ProjConversionErrorAndBufferEnd) {
    EXPECT_THROW(ParseProjFile(Ctx, Dir.Write("p.proj", "<Global>\n<Reg a=\"1x\" b=\"2\" c=\"1\"/>\n")),
                 EConvertError);
    std::string text = "<Global>\n";
    for (int i = 0; i < 10923; ++i)
        text += "<Reg a=\"1\" b=\"0x1234\" c=\"2\"/>\n";
    ParseProjFile(Ctx, Dir.Write("big.proj", text));
    EXPECT_EQ(Ctx.RecordCount, 10922);
    EXPECT_EQ(Ctx.DataEndIndex, 65532u);
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("<Reg a=\"1\" b=\"0x1234\" c=\"2\"/>")});
}

} // namespace
