// Unusual but harmless text in data files loads like the plain file; text that
// cannot be read whole stops the load with the format error.
#include "datafiles/AhexFiles.h"
#include "datafiles/CArrayFiles.h"
#include "datafiles/CmdTextFiles.h"
#include "datafiles/ConfigRegFiles.h"
#include "datafiles/ProjFiles.h"
#include "datafiles/RegTableFiles.h"
#include "datafiles/ScriptFiles.h"
#include "datafiles/TextFileReader.h"
#include "tests/datafiles/DataFileFixture.h"

namespace {

using Parser = void (*)(VltContext &, const std::string &);

void ParseScript(VltContext &ctx, const std::string &fileName) {
    ParseVeltaPyFile(ctx, fileName);
}

class TextEdgeCases : public DataFileTest {
protected:
    // Everything a parse leaves behind.
    struct Result {
        std::vector<uint8_t> buffer;
        uint16_t records, preamble;
        uint32_t dataEnd;
        uint16_t delay;
        std::vector<RecordingDialogs::Call> dialogs;
        bool operator==(const Result &) const = default;
    };
    Result Parse(Parser parse, const std::string &text) {
        Ctx.DataBuffer.fill(0xEE);
        Ctx.RecordCount = Ctx.PreambleCount = Ctx.ConfigDelay = 0;
        Ctx.DataEndIndex = 0;
        Dialogs.Calls.clear();
        parse(Ctx, Dir.Write("f.txt", text));
        return {{Ctx.DataBuffer.begin(), Ctx.DataBuffer.begin() + 1024},
                Ctx.RecordCount,
                Ctx.PreambleCount,
                Ctx.DataEndIndex,
                Ctx.ConfigDelay,
                Dialogs.Calls};
    }
};

// A UTF-8 byte-order mark at the start of a file is skipped.
TEST_F(TextEdgeCases, AByteOrderMarkLoadsLikeTheFileWithoutIt) {
    struct Case {
        const char *what;
        Parser parse;
        std::string text;
    };
    const Case cases[] = {
        {"configuration preamble", ParseConfigRegFile,
         "# START CONFIGURATION PREAMBLE\n0x0001,0x11\n# END CONFIGURATION PREAMBLE\n"},
        {"ahex first address", ParseAhexFile, "0010: 1234\n0011: 5678\n"},
        {"script header", ParseScript, "import time\ni2c.i2cw(1,2,3)\n"},
        {"command text", ParseCmdTxtFile, "0x6C 0x21\tOUT SET\t2\tW\t0x0266\n"},
        {"register table end", ParseRegTableFile, "END\nA\t0x1\t5A\tReg\t3C\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const Result plain = Parse(c.parse, c.text);
        EXPECT_TRUE(plain.dialogs.empty());
        EXPECT_EQ(Parse(c.parse, "\xEF\xBB\xBF" + c.text), plain);
    }
}

// Where a format separates or surrounds values with spaces, tabs do the same.
TEST_F(TextEdgeCases, TabsWhereSpacesAreUsual) {
    struct Case {
        const char *what;
        Parser parse;
        std::string spaces, tabs;
    };
    const Case cases[] = {
        {"configuration values", ParseConfigRegFile,
         "  # START CONFIGURATION REGISTERS\n 0x0010, 0x5A\n0x0014, 0x1234 0x56\n# END CONFIGURATION "
         "REGISTERS\n",
         "\t# START CONFIGURATION REGISTERS\n\t0x0010,\t0x5A\n0x0014,\t0x1234\t0x56\n# END CONFIGURATION "
         "REGISTERS\n"},
        {"configuration delay", ParseConfigRegFile, "# DELAY 100 us\n", "# DELAY\t100\tus\n"},
        {"ahex fields", ParseAhexFile, "0010: 12AB\n 0011:  0001 \n", "0010:\t12AB\n\t0011:\t0001\t\n"},
        {"script statements", ParseScript, "import time\n  i2c.i2cw( 80, 1)\n  # c\n time.sleep( 0.5 )\n",
         "import time\n\ti2c.i2cw(\t80,\t1)\n\t# c\n\ttime.sleep(\t0.5\t)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const Result spaces = Parse(c.parse, c.spaces);
        EXPECT_TRUE(spaces.dialogs.empty());
        EXPECT_EQ(Parse(c.parse, c.tabs), spaces);
    }
    // What the spaces give: a value of four characters after the comma is one byte.
    Parse(ParseConfigRegFile, "# START CONFIGURATION REGISTERS\n0x0010,\t0x5A\n");
    EXPECT_EQ(Data(0, 4), Hex("10 00 5A EE"));
}

// A line longer than the reader keeps would be read cut: every parser stops
// there with the format error, keeping what the lines before it stored.
TEST_F(TextEdgeCases, ALineLongerThanTheReaderKeepsStopsTheLoad) {
    const std::string pad(kMaxLineLength, ' ');
    struct Case {
        const char *what;
        Parser parse;
        std::string before, longLine, after;
    };
    const Case cases[] = {
        {"command text", ParseCmdTxtFile, "0x6C 0x21\tN\t2\tW\t0x0266\n",
         "0x6C 0x22\t" + std::string(kMaxLineLength, 'n') + "\t2\tW\t0x0266",
         "\n0x6C 0x23\tN\t2\tW\t0x0266\n"},
        {"C array", ParseCArrayFile, "unsigned char t[] = {\n0x01, 0x02\n", "0x03," + pad + "0x04",
         "\n0x05, 0x06\n};\n"},
        {"register table", ParseRegTableFile, "A\t0x1\t5A\tReg\t3C\n", "B\t0x2\t5B\t" + pad + "\tReg\t3D",
         "\nC\t0x3\t5C\tReg\t3E\n"},
        {"configuration", ParseConfigRegFile, "# START CONFIGURATION REGISTERS\n0x0010,0x5A\n",
         "0x0011," + pad + "0x5B", "\n0x0012,0x5C\n"},
        {"ahex", ParseAhexFile, "0000: 1111\n", "0100:" + pad + "2222", "\n0200: 3333\n"},
        {"proj", ParseProjFile, "<Global>\n<Reg n=\"1\" v=\"1\" s=\"1\"/>\n",
         "<Reg n=\"2\"" + pad + " v=\"2\" s=\"1\"/>", "\n<Reg n=\"3\" v=\"3\" s=\"1\"/>\n</Global>\n"},
        {"script", ParseScript, "import time\ni2c.i2cw(1)\n", "i2c.i2cw(2," + pad + "3)", "\ni2c.i2cw(4)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Parse(c.parse, c.before + c.longLine + c.after);
        EXPECT_EQ(Ctx.RecordCount, 1);
        EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf(c.longLine.substr(0, kMaxLineLength))});
    }
}

} // namespace
