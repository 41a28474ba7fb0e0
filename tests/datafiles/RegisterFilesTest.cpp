#include "datafiles/ConfigRegFiles.h"
#include "datafiles/RegTableFiles.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

namespace {

TEST(RegTableLine, Codes) {
    struct Case {
        std::string line;
        uint8_t code;
        uint8_t a = 0, b = 0;
    };
    const std::vector<Case> cases = {
        {"VOUT\t0x21\t5A\tRW\tReg\t3C", RegLineNoReg},
        {"VOUT\t0x21\t5A\tReg\t3C", RegLineRecord, 0x5A, 0x3C},
        {"VOUT\t0x21\t5a\tx\tRegister\tff\tmore", RegLineRecord, 0x5A, 0xFF},
        {"VOUT 0x21 5A Reg 3C", RegLineNoTab},
        {"", RegLineNoTab},
        {"VOUT\tx21\t5A\tReg\t3C", RegLineNotZero},
        {"VOUT\t", RegLineNotZero},
        {"VOUT\t0x21 5A", RegLineNoSecondTab},
        {"VOUT\t0x21\t5A\tread\tonly", RegLineNoR},
        {"VOUT\t0x21\t5AReg\t3C", RegLineNoR}, // no TAB after the third column
        {"VOUT\t0x21\t5A\tRe", RegLineNoReg},
        {"VOUT\t0x21\t5", RegLineNoPair},
        {"VOUT\t0x21\t5A\tReg", RegLineNoPair},
        {"VOUT\t0x21\t5A\tReg\t3", RegLineNoPair},
        {"VOUT\t0x21\tG1\tReg\t3C", RegLineRecord, 0x01, 0x3C}, // unchecked hex pair
    };
    for (const auto &c : cases) {
        uint8_t a = 0xEE, b = 0xEE;
        EXPECT_EQ(ParseRegTableLine(c.line, a, b), c.code) << c.line;
        EXPECT_EQ(a, c.code == RegLineRecord ? c.a : 0xEE) << c.line;
        EXPECT_EQ(b, c.code == RegLineRecord ? c.b : 0xEE) << c.line;
    }
}

class RegisterFiles : public DataFileTest {};

TEST_F(RegisterFiles, RegisterTableStopsAtEnd) {
    struct Case {
        std::string text;
        std::vector<uint8_t> bytes;
        uint16_t records;
    };
    const std::string rec1 = "VOUT\t0x21\t5A\tReg\t3C\n";
    const std::string rec2 = "IOUT\t0x22\t10\tReg\t01\n";
    const std::vector<Case> cases = {
        {"Name\tCode\tAddr\tReg\tValue\n" + rec1 + "\n" + rec2, Hex("5A 3C 00 00 10 01 00 00"), 2},
        {rec1 + "END\n" + rec2, Hex("5A 3C 00 00"), 1},
        {rec1 + "ENDING\n" + rec2, Hex("5A 3C 00 00"), 1},
        {rec1 + "end\n" + rec2, Hex("5A 3C 00 00 10 01 00 00"), 2},
        {"EN\n" + rec1, Hex("5A 3C 00 00"), 1},
    };
    for (const auto &c : cases) {
        Ctx.DataBuffer.fill(0xEE);
        ParseRegTableFile(Ctx, Dir.Write("r.txt", c.text));
        EXPECT_EQ(Data(0, c.bytes.size() + 1), [&] {
            auto v = c.bytes;
            v.push_back(0xEE);
            return v;
        }()) << c.text;
        EXPECT_EQ(Ctx.RecordCount, c.records) << c.text;
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(RegisterFiles, RegisterTableBeyondTheBufferStops) {
    std::string text;
    for (int i = 0; i < 16385; ++i)
        text += "V\t0x21\t5A\tReg\t3C\n";
    ParseRegTableFile(Ctx, Dir.Write("r.txt", text));
    EXPECT_EQ(Ctx.RecordCount, 16384);
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("V\t0x21\t5A\tReg\t3C")});
}

TEST_F(RegisterFiles, ConfigurationLine) {
    struct Case {
        std::string line;
        std::vector<uint8_t> bytes; // from the record's position, buffer prefilled with 0xFF
        bool counted;
    };
    const std::vector<Case> cases = {
        {"0x0010,0x5A", Hex("10 00 5A FF"), true},
        {"0x0010,0x1234", Hex("10 00 34 12"), true},
        {"0x0010,0x12,0x34", Hex("10 00 12 34"), true},
        {"0x0010, 0x5A", Hex("10 00 5A FF"), true},
        {"0x0010", Hex("FF FF FF FF"), false},
        {"0x0010,", Hex("10 00 FF FF"), true},
        {"0x1234,0x5A 0x6B", Hex("34 12 5A 6B"), true},
        {"0x0010,0x11,0x22,0x33", Hex("10 00 11 22 33 FF"), true}, // a third value runs into the next record
        {"16,90", Hex("10 00 5A FF"), true},
        {"0x0010,00090", Hex("10 00 5A 00"), true}, // five characters make a two-byte value
    };
    for (const auto &c : cases) {
        Ctx.DataBuffer.fill(0xFF);
        uint32_t pos = 8;
        uint16_t count = 3;
        EXPECT_TRUE(ParseConfigRegLine(Ctx, c.line, pos, count));
        EXPECT_EQ(Data(8, c.bytes.size()), c.bytes) << c.line;
        EXPECT_EQ(count, c.counted ? 4 : 3) << c.line;
        EXPECT_EQ(pos, c.counted ? 12u : 8u) << c.line;
        EXPECT_EQ(Data(0, 8), std::vector<uint8_t>(8, 0xFF)) << c.line;
    }
}

TEST_F(RegisterFiles, ConfigurationLineConversionErrors) {
    struct Case {
        std::string line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"0x0010 ,0x5A", "'' is not a valid integer value"},
        {"ADDRESS,DATA", "'ADDRESS' is not a valid integer value"},
        {"0x0010,5A", "'5A' is not a valid integer value"},
        {"zz 0x10,1", "'zz' is not a valid integer value"},
    };
    for (const auto &c : cases) {
        uint32_t pos = 0;
        uint16_t count = 0;
        try {
            ParseConfigRegLine(Ctx, c.line, pos, count);
            ADD_FAILURE() << c.line;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

TEST_F(RegisterFiles, ConfigurationLineNeverWritesPastTheBuffer) {
    Ctx.DataBuffer.fill(0xFF);
    uint32_t pos = 65532;
    uint16_t count = 0;
    EXPECT_TRUE(ParseConfigRegLine(Ctx, "0x0010,0x1234", pos, count));
    EXPECT_EQ(Data(65532, 4), Hex("10 00 34 12"));
    pos = 65532;
    EXPECT_FALSE(ParseConfigRegLine(Ctx, "0x0010,0x12,0x34,0x56", pos, count));
    pos = 65536;
    EXPECT_FALSE(ParseConfigRegLine(Ctx, "0x0010,0x12", pos, count));
    EXPECT_EQ(count, 1);
}

struct ConfigCase {
    const char *what;
    std::string text;
    std::vector<uint8_t> bytes;
    uint16_t records, preamble, postamble, delay;
};

TEST_F(RegisterFiles, ConfigurationFile) {
    const std::vector<ConfigCase> cases = {
        {"all sections in order",
         "Address,Data\n# START CONFIGURATION PREAMBLE\n0x0001,0x11\n# a comment\n# END CONFIGURATION "
         "PREAMBLE\n"
         "# DELAY 300 us\n"
         "# START CONFIGURATION REGISTERS\n0x0010,0x1234\n0x0011,0x22\n# END CONFIGURATION REGISTERS\n"
         "# START CONFIGURATION POSTAMBLE\n0x0002,0x33\n# END CONFIGURATION POSTAMBLE\n0x0099,0x99\n",
         Hex("01 00 11 FF 10 00 34 12 11 00 22 FF 02 00 33 FF FF"), 2, 1, 1, 30},
        {"lower case keywords after leading spaces",
         "  # start configuration registers\n  0x0010,0x01\n  # end configuration registers\n# delay 100 "
         "us\n",
         Hex("10 00 01 FF FF"), 1, 0, 0, 10},
        {"a delay without a space after the number keeps 30", "# DELAY 100\n", Hex("FF"), 0, 0, 0, 30},
        {"registers before the preamble are overwritten",
         "# START CONFIGURATION REGISTERS\n0x0010,0x01\n0x0011,0x02\n# END CONFIGURATION REGISTERS\n"
         "# START CONFIGURATION PREAMBLE\n0x0001,0xAA\n# END CONFIGURATION PREAMBLE\n",
         Hex("01 00 AA FF 11 00 02 FF FF"), 2, 1, 0, 0},
        {"short lines are skipped everywhere", "# START CONFIGURATION REGISTERS\n1,2\n0x0010,0x01\n",
         Hex("10 00 01 FF FF"), 1, 0, 0, 0},
        {"a delay is taken modulo 65,536 before the division", "# DELAY 65546 x\n", Hex("FF"), 0, 0, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Ctx.DataBuffer.fill(0xFF);
        // Counts of an earlier file never leak into this one.
        Ctx.PreambleCount = Ctx.PostambleCount = 9;
        Ctx.ConfigDelay = 9;
        ParseConfigRegFile(Ctx, Dir.Write("c.txt", c.text));
        EXPECT_EQ(Data(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(Ctx.RecordCount, c.records);
        EXPECT_EQ(Ctx.PreambleCount, c.preamble);
        EXPECT_EQ(Ctx.PostambleCount, c.postamble);
        EXPECT_EQ(Ctx.ConfigDelay, c.delay);
    }
}

TEST_F(RegisterFiles, ConfigurationFileConversionErrorEndsTheLoad) {
    const auto path = Dir.Write("c.txt", "# START CONFIGURATION REGISTERS\nAddress,Data\n0x0010,0x01\n");
    EXPECT_THROW(ParseConfigRegFile(Ctx, path), EConvertError);
    EXPECT_THROW(ParseConfigRegFile(Ctx, Dir.Write("d.txt", "# DELAY abc us\n")), EConvertError);
}

TEST_F(RegisterFiles, ConfigurationRecordsBeyondTheBufferStop) {
    std::string text = "# START CONFIGURATION REGISTERS\n";
    for (int i = 0; i < 16385; ++i)
        text += "0x0010,0x1234\n";
    ParseConfigRegFile(Ctx, Dir.Write("c.txt", text));
    EXPECT_EQ(Ctx.RecordCount, 16384);
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("0x0010,0x1234")});
}

} // namespace
