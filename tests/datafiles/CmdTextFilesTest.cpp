#include "datafiles/CmdTextFiles.h"
#include "datafiles/CArrayFiles.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

namespace {

const std::string kRecordLine = "0x6C 0x21\tOUT SET\t2\tW\t0x0266";

struct ParseCase {
    const char *what;
    std::string text;
    std::vector<uint8_t> bytes; // DataBuffer from 0 (prefilled with 0xEE)
    uint16_t records;
    uint32_t checksumEnd;
    std::vector<std::string> messages;
    uint8_t address = 0;
};

class CmdTextFiles : public DataFileTest {
protected:
    void Run(void (*parse)(VltContext &, const std::string &), const std::vector<ParseCase> &cases) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.what);
            Ctx.DataBuffer.fill(0xEE);
            Ctx.ChecksumEnd = 0x1000;
            Ctx.DeviceAddress = 0;
            Ctx.RecordCount = 77;
            Dialogs.Calls.clear();
            parse(Ctx, Dir.Write("f.txt", c.text));
            EXPECT_EQ(Data(0, c.bytes.size()), c.bytes);
            EXPECT_EQ(Ctx.DataBuffer[c.bytes.size()], 0xEE);
            EXPECT_EQ(Ctx.RecordCount, c.records);
            EXPECT_EQ(Ctx.ChecksumEnd, c.checksumEnd);
            EXPECT_EQ(Messages(), c.messages);
            if (parse == ParseCmdTxtFile) {
                EXPECT_EQ(Ctx.DeviceAddress, c.address);
            }
        }
    }
};

TEST_F(CmdTextFiles, CommandText) {
    const std::string badLen = "0x6D 0x22\tNAME\tx2\tW\t0x0001";
    const std::string badWord = "0x6D 0x23\tNAME\t1\tW\t0x0011\tzz\t0x0022";
    const std::vector<ParseCase> cases = {
        {"heading skipped, one record",
         "Device cmd name len rw data\n" + kRecordLine + "\n",
         Hex("21 02 66 02 FF FF FF FF"),
         1,
         0x0F,
         {},
         0x6C},
        {"any case of the heading, CR LF line ends, the last line sets the address",
         "DEVICE\tCMD\tNAME\tLEN\r\n" + kRecordLine + "\r\n0x50 0x01\tX\t4\tR\t0x1\t0x2\t0xABCD\r\n",
         Hex("21 02 66 02 FF FF FF FF 01 04 01 00 02 00 CD AB"),
         2,
         0x1F,
         {},
         0x50},
        {"lines shorter than 10 characters are skipped", "0x1 0x2 3\n", {}, 0, 0x100F, {}},
        {"a length that is no number stops after the command byte",
         kRecordLine + "\n" + badLen + "\n" + kRecordLine + "\n",
         Hex("21 02 66 02 FF FF FF FF 22"),
         2,
         0x0F,
         {FormatErrorOf(badLen)},
         0x6D},
        {"a bad data word leaves a short record and reading goes on",
         badWord + "\n" + kRecordLine + "\n",
         Hex("23 01 11 00 21 02 66 02 FF FF FF FF"),
         2,
         0x0F,
         {FormatErrorOf(badWord)},
         0x6C},
        {"a first token that is no literal stops reading",
         "hello world 0x12\n" + kRecordLine + "\n",
         {},
         0,
         0x100F,
         {FormatErrorOf("hello world 0x12")}},
        {"a command that is no literal stops reading",
         "0x6C cmd\tNAME\t1\n",
         {},
         0,
         0x100F,
         {FormatErrorOf("0x6C cmd\tNAME\t1")},
         0x6C},
        {"a wide word keeps its low 16 bits",
         "0x6C 0x1FF\tN\t1\tW\t0x123456\n",
         Hex("FF 01 56 34 FF FF FF FF"),
         1,
         0x0F,
         {},
         0x6C},
    };
    Run(ParseCmdTxtFile, cases);
}

TEST_F(CmdTextFiles, ALengthThatDoesNotConvertEndsTheLoad) {
    const auto path = Dir.Write("f.txt", "0x6C 0x21\tOUT\t1a\tW\t0x0266\n");
    try {
        ParseCmdTxtFile(Ctx, path);
        FAIL() << "no conversion error";
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'1a' is not a valid integer value");
    }
    EXPECT_TRUE(Messages().empty());
}

// 8,192 records fill the buffer exactly; one more is refused, nothing is written past it.
TEST_F(CmdTextFiles, RecordsBeyondTheBufferStopTheLoad) {
    std::string text;
    for (int i = 0; i < 8193; ++i)
        text += "0x6C 0x" + std::to_string(i % 10 + 10) + "\tN\t1\tW\t0x0102\t0x0304\t0x0506\n";
    ParseCmdTxtFile(Ctx, Dir.Write("big.txt", text));
    EXPECT_EQ(Ctx.RecordCount, 8192);
    EXPECT_EQ(Data(65528, 8), Hex("11 01 02 01 04 03 06 05"));
    EXPECT_EQ(Messages(),
              std::vector<std::string>{FormatErrorOf("0x6C 0x12\tN\t1\tW\t0x0102\t0x0304\t0x0506")});
    EXPECT_EQ(Ctx.ChecksumEnd, 65536u | 0x0F);
}

TEST_F(CmdTextFiles, CArray) {
    const std::vector<ParseCase> cases = {
        {"declaration dropped, comment skipped, closing line ends",
         "unsigned char tab[] =\n{\n0x01, 0x02, 0x03\n// comment\n};\n0x09, 0x09\n",
         Hex("01 02 03 FF FF FF FF FF"),
         1,
         0x0F,
         {}},
        {"the first non-empty line is dropped whatever it holds",
         "\n\n0x05, 0x06\n\n0x01,0x02\t0x1234 0x04 0x05 0x06 0x07 0x08\n",
         Hex("01 02 34 04 05 06 07 08"),
         1,
         0x0F,
         {}},
        {"a value joined to the brace is a format error",
         "decl\n0x01, 0x02\n0x12}\n0x03, 0x04\n",
         Hex("01 02 FF FF FF FF FF FF"),
         1,
         0x0F,
         {FormatErrorOf("0x12}")}},
        {"a brace as second token keeps the first byte", "decl\n0x07 }\n", Hex("07"), 1, 0x100F, {}},
        {"a brace as first token ends",
         "decl\n0x01 0x02\n  };\n0x05 0x06\n",
         Hex("01 02 FF FF FF FF FF FF"),
         1,
         0x0F,
         {}},
        {"a bad later value: rest of the line dropped, next line goes on",
         "decl\n0x01, 0x02, zz, 0x04\n0x0A 0x0B\n",
         Hex("01 02 0A 0B FF FF FF FF FF FF"),
         2,
         0x0F,
         {FormatErrorOf("0x01, 0x02, zz, 0x04")}},
        {"a bad second token stops",
         "decl\n0x01 zz\n0x0A 0x0B\n",
         Hex("01"),
         1,
         0x100F,
         {FormatErrorOf("0x01 zz")}},
        {"two records",
         "decl\n0x01 0x02\n0x03 0x04\n",
         Hex("01 02 FF FF FF FF FF FF 03 04 FF FF FF FF FF FF"),
         2,
         0x1F,
         {}},
        {"a line of one value lacks its second",
         "decl\n0x01\n0x02 0x03\n",
         Hex("01"),
         1,
         0x100F,
         {FormatErrorOf("0x01")}},
    };
    Run(ParseCArrayFile, cases);
}

TEST_F(CmdTextFiles, CArrayRecordsBeyondTheBufferStopTheLoad) {
    std::string text = "const unsigned char data[] = {\n";
    for (int i = 0; i < 8193; ++i)
        text += "0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,\n";
    ParseCArrayFile(Ctx, Dir.Write("big.c", text));
    EXPECT_EQ(Ctx.RecordCount, 8192);
    EXPECT_EQ(Data(65528, 8), Hex("11 22 33 44 55 66 77 88"));
    EXPECT_EQ(Messages().size(), 1u);
}

// A short record (a bad data word or byte) moves the write position by 2 only,
// so the next record would start 6 bytes before the end of the buffer: it is
// refused whole, and nothing is written past DataBuffer.
TEST_F(CmdTextFiles, AShortRecordNearTheEndLeavesWhatFollowsTheBuffer) {
    struct Case {
        void (*parse)(VltContext &, const std::string &);
        std::string head, full, shortLine;
    };
    const Case cases[] = {
        {ParseCmdTxtFile, "", "0x6C 0x21\tN\t1\tW\t0x0102\t0x0304\t0x0506", "0x6C 0x22\tN\t1\tW\tbad"},
        {ParseCArrayFile, "unsigned char t[] = {\n", "0x21, 0x01, 0x02, 0x01, 0x04, 0x03, 0x06, 0x05",
         "0x22, 0x01, bad"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shortLine);
        std::string text = c.head;
        for (int i = 0; i < 8191; ++i)
            text += c.full + "\n";
        text += c.shortLine + "\n" + c.full + "\n";
        Ctx.DataBuffer.fill(0xEE);
        Ctx.ReadBuffer.fill(0xC3); // lies right behind DataBuffer
        Dialogs.Calls.clear();
        c.parse(Ctx, Dir.Write("near64k.txt", text));
        EXPECT_EQ(Data(65520, 16), Hex("21 01 02 01 04 03 06 05 22 01 EE EE EE EE EE EE"));
        EXPECT_EQ(Ctx.RecordCount, 8192);
        EXPECT_EQ(Messages(), (std::vector<std::string>{FormatErrorOf(c.shortLine), FormatErrorOf(c.full)}));
        EXPECT_TRUE(
            std::all_of(Ctx.ReadBuffer.begin(), Ctx.ReadBuffer.end(), [](uint8_t b) { return b == 0xC3; }));
    }
}

TEST_F(CmdTextFiles, MissingFilesRaiseTheInOutError) {
    EXPECT_THROW(ParseCmdTxtFile(Ctx, Dir.Path("none.txt")), EInOutError);
    EXPECT_THROW(ParseCArrayFile(Ctx, Dir.Path("none.c")), EInOutError);
}

} // namespace
