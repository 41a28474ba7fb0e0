#include "datafiles/ScriptFiles.h"
#include "datafiles/TextFileReader.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

namespace {

const std::string kNotPy = "File Error : Not Velta PY Data File!";
const std::string kNotI2c = "File is not I2C Format File,please checked!";
const std::string kDisableReset = "# To disable reset from register map by writing 0xFE";

class ScriptFiles : public DataFileTest {};

TEST_F(ScriptFiles, Records) {
    struct Case {
        const char *what;
        std::string body; // after "import time"
        std::vector<uint8_t> bytes;
        uint16_t records;
        std::vector<std::string> errors = {};
    };
    const std::vector<Case> cases = {
        {"section write", "# Efuse Write\ni2c.i2cw(0x50, 0x10, 0x3F)\n", Hex("35 50 10 3F"), 1},
        {"waits", "time.sleep(2)\ntime.sleep(5e-3)\ntime.sleep(10e-6)\n",
         Hex("F0 1E 84 80 F0 00 13 88 F0 00 00 0A"), 3},
        {"a wait ends the section", "# PIF HARD RESET\ni2c.i2cw(1,2,3)\ntime.sleep(1)\ni2c.i2cw(4,5,6)\n",
         Hex("53 01 02 03 F0 0F 42 40 00 04 05 06"), 3},
        {"every section line",
         "# FORCE POWER UP\ni2c.i2cw(1)\n#escape to PRG_CMD in mainsys\ni2c.i2cw(2)\n# GENERIC: "
         "begin\ni2c.i2cw(3)\n" +
             kDisableReset + " and more\ni2c.i2cw(4)\n",
         Hex("55 01 39 02 10 03 20 04"), 4},
        {"near misses of section lines are comments",
         "# Efuse Write\n#  FORCE POWER UP\ni2c.i2cw(1)\n# FORCE POWER UP \ni2c.i2cw(2)\n    # "
         "indented\ni2c.i2cw(3)\n",
         Hex("35 01 35 02 35 03"), 3},
        {"the end line stops reading",
         "i2c.i2cw(1,2,3)\n#remove manual wake-up in main and lock e-fuse pattern in main\ni2c.i2cw(4,5,6)\n",
         Hex("00 01 02 03 00"), 1},
        {"lines of up to 4 characters are ignored", "abc\nx=1\ni2c.i2cw(7,8)\n", Hex("00 07 08"), 1},
        {"leading spaces, decimal and hex arguments, low 8 bits", "   i2c.i2cw( 80,0x1FF,  -1)\n",
         Hex("00 50 FF FF"), 1},
        {"tabs where spaces are usual", "\ti2c.i2cw(\t80,\t1)\n\t# comment\n \ttime.sleep(\t0.5 )\n",
         Hex("00 50 01 F0 07 A1 20"), 2},
        {"text after the closing parenthesis is not read", "i2c.i2cw(1,2)  # note\ni2c.i2cw(3)\n",
         Hex("00 01 02 00 03"), 2},
        {"a space before the parenthesis is another name",
         "i2c.i2cw(1,2)\ni2c.i2cw (1,2)\ni2c.i2cw(3)\n",
         Hex("00 01 02 00"),
         1,
         {kNotI2c}},
        {"a second import is another name", "import time\ni2c.i2cw(3)\n", Hex("00"), 0, {kNotI2c}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Ctx.DataBuffer.fill(0);
        Dialogs.Calls.clear();
        ParseVeltaPyFile(Ctx, Dir.Write("s.py", "import time\n" + c.body));
        EXPECT_EQ(Data(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(Ctx.RecordCount, c.records);
        EXPECT_EQ(Errors(), c.errors);
        EXPECT_TRUE(Messages().empty());
    }
}

TEST_F(ScriptFiles, Header) {
    struct Case {
        std::string text;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"\n\nimport time\ni2c.i2cw(1)\n", true},
        {"import time\r\ni2c.i2cw(1)\r\n", true},
        {" import time\ni2c.i2cw(1)\n", false},
        {"import time # sleep\ni2c.i2cw(1)\n", false},
        {"Import time\n", false},
        {"", false},
        {"\n\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Ctx.DataBuffer.fill(0xEE);
        Ctx.RecordCount = 55;
        Dialogs.Calls.clear();
        ParseVeltaPyFile(Ctx, Dir.Write("s.py", c.text));
        if (c.accepted) {
            EXPECT_EQ(Ctx.RecordCount, 1);
            EXPECT_EQ(Data(0, 3), Hex("00 01 EE"));
            EXPECT_TRUE(Messages().empty());
        } else {
            EXPECT_EQ(Ctx.RecordCount, 55);
            EXPECT_EQ(Ctx.DataBuffer[0], 0xEE);
            EXPECT_EQ(Messages(), std::vector<std::string>{kNotPy});
        }
    }
}

TEST_F(ScriptFiles, ArgumentsThatDoNotConvertEndTheLoad) {
    struct Case {
        std::string line, message;
    };
    const std::vector<Case> cases = {
        {"i2c.i2cw(0x50 , 1)", "'0x50 ' is not a valid integer value"},
        {"i2c.i2cw()", "'' is not a valid integer value"},
        {"time.sleep(1)\ni2c.i2cw(1,two)", "'two' is not a valid integer value"},
    };
    for (const auto &c : cases) {
        try {
            ParseVeltaPyFile(Ctx, Dir.Write("s.py", "import time\n" + c.line + "\n"));
            ADD_FAILURE() << c.line;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

// Python numbers of seconds, converted exactly to the 24-bit microseconds of
// the wait record.
TEST_F(ScriptFiles, WaitsInSeconds) {
    const std::string zeros(3000, '0');
    const std::string nines(3000, '9');
    struct Case {
        std::string seconds;
        uint32_t us;
    };
    const std::vector<Case> cases = {
        {"0.01", 10000},
        {"0.5", 500000},
        {"2", 2000000},
        {"5e-3", 5000},
        {"10e-6", 10},
        {"1.5E-3", 1500},
        {"1e+1", 10000000},
        {"0.0100", 10000},
        {".5", 500000},
        {"5.", 5000000},
        {"0", 0},
        {"0e99", 0},
        {"16.777215", 0xFFFFFF},
        {"000.000001", 1},
        {"0.000001" + zeros, 1},
        {"0." + zeros, 0},
        {"12" + zeros + "e-3000", 12000000},
        // Exponents past any 64-bit value: zero stays zero.
        {"0e18446744073709551617", 0},
        {"0.0E-18446744073709551617", 0},
        {"0e+" + nines, 0},
        {"0e-" + nines, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds.substr(0, 40));
        Ctx.DataBuffer.fill(0xEE);
        Dialogs.Calls.clear();
        ParseVeltaPyFile(Ctx, Dir.Write("s.py", "import time\ntime.sleep(" + c.seconds + ")\n"));
        const std::vector<uint8_t> want = {0xF0, static_cast<uint8_t>(c.us >> 16),
                                           static_cast<uint8_t>(c.us >> 8), static_cast<uint8_t>(c.us), 0xEE};
        EXPECT_EQ(Data(0, 5), want);
        EXPECT_EQ(Ctx.RecordCount, 1);
        EXPECT_TRUE(Dialogs.Calls.empty());
    }
}

// A statement cut off before its ")", a wait that is no number of seconds or
// does not fit its record, and a line longer than the reader keeps stop the
// load with the format error: the records before stay, nothing of the line
// or after it is stored.
TEST_F(ScriptFiles, RefusedStatementsStopWithTheFormatError) {
    const std::vector<std::string> lines = {
        "time.sleep(0.5",
        "time.sleep(",
        "time.sleep",
        "i2c.i2cw(1,2",
        "i2c.i2cw(1,zz",
        "i2c.i2cw(1,2,",
        "i2c.i2cw(",
        "i2c.i2cw",
        "time.sleep(17)",
        "time.sleep(16.777216)",
        "time.sleep(1" + std::string(3000, '0') + ")",
        "time.sleep(3e-9)",
        "time.sleep(1.0000005)",
        "time.sleep(3e-)",
        "time.sleep(e3)",
        "time.sleep(.)",
        "time.sleep()",
        "time.sleep(1,5)",
        "time.sleep(-1)",
        "time.sleep(0x10)",
        "time.sleep(1_000)",
        "time.sleep(1.2.3)",
        "time.sleep(1 0)",
        "time.sleep(1e18446744073709551617)", // exponents past 64 bits, some wrapping to a fit
        "time.sleep(1e-18446744073709551617)",
        "time.sleep(1e18446744073709551610)",
        "time.sleep(1E+9223372036854775808)",
        "time.sleep(1e-9223372036854775809)",
        "time.sleep(1e" + std::string(3000, '9') + ")",
        "time.sleep(1e-" + std::string(3000, '9') + ")",
        "time.sleep(" + std::string(3000, '0') + "1e-" + std::string(3000, '1') + ")",
        "time.sleep(0." + std::string(kMaxLineLength, '0') + "1)", // longer than the reader keeps
    };
    for (const auto &line : lines) {
        for (const std::string after : {"\ni2c.i2cw(4,5,6)\n", ""}) { // the end of a line, or of the file
            SCOPED_TRACE(line.substr(0, 40) + (after.empty() ? " at the end of the file" : ""));
            Ctx.DataBuffer.fill(0xEE);
            Dialogs.Calls.clear();
            ParseVeltaPyFile(Ctx, Dir.Write("s.py", "import time\ni2c.i2cw(1,2,3)\n" + line + after));
            EXPECT_EQ(Data(0, 8), Hex("00 01 02 03 EE EE EE EE"));
            EXPECT_EQ(Ctx.RecordCount, 1);
            // The message shows the line as far as the reader keeps it.
            EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf(line.substr(0, kMaxLineLength))});
            EXPECT_TRUE(Errors().empty());
        }
    }
}

TEST_F(ScriptFiles, RecordsBeyondTheBufferStopWithTheFormatError) {
    std::string text = "import time\n";
    for (int i = 0; i < 16385; ++i)
        text += "i2c.i2cw(0x50,0x10,0x3F)\n";
    ParseVeltaPyFile(Ctx, Dir.Write("s.py", text));
    EXPECT_EQ(Ctx.RecordCount, 16384);
    EXPECT_EQ(Data(65532, 4), Hex("00 50 10 3F"));
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatErrorOf("i2c.i2cw(0x50,0x10,0x3F)")});
}

} // namespace
