#include "datafiles/ScriptFiles.h"
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
        {"a wait too long for 24 bits wraps", "time.sleep(17)\n", Hex("F0 03 66 40"), 1},
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
        {"text after the closing parenthesis is not read", "i2c.i2cw(1,2)  # note\ni2c.i2cw(3)\n",
         Hex("00 01 02 00 03"), 2},
        {"a missing parenthesis ends the last argument at the line's end", "i2c.i2cw(1,2\ni2c.i2cw(3)\n",
         Hex("00 01 02 00 03"), 2},
        {"a space before the parenthesis is another name",
         "i2c.i2cw(1,2)\ni2c.i2cw (1,2)\ni2c.i2cw(3)\n",
         Hex("00 01 02 00"),
         1,
         {kNotI2c}},
        {"a second import is another name", "import time\ni2c.i2cw(3)\n", Hex("00"), 0, {kNotI2c}},
        // 0.5 reads as 0, 254, 5: 2,545 s, taken modulo 2^24 microseconds.
        {"a decimal point counts as the digit 254", "time.sleep(0.5)\n", Hex("F0 B1 9E 40"), 1},
        {"an exponent digit out of range multiplies by 1", "time.sleep(3e-9)\ntime.sleep(3e-\n",
         Hex("F0 00 00 03 F0 00 00 03"), 2},
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
