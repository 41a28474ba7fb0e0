#include "datafiles/OpenRoutines.h"
#include "datafiles/LoadSummaries.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Format.h"
#include "state/BufferViews.h"
#include "tests/datafiles/DataFileFixture.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const std::string kDots(57, '.');

// Reference checksums, written from their definitions.
uint16_t RefCheckWord(const std::vector<uint8_t> &b, size_t first, size_t last) {
    uint16_t v = 0;
    for (size_t i = first; i <= last; ++i)
        v = static_cast<uint16_t>(b[i] ^ (v >> 1) ^ ((v & 1) ? 0x4A12 : 0));
    return v;
}
uint16_t RefSum(const std::vector<uint8_t> &b, size_t first, size_t last) {
    unsigned s = 0;
    for (size_t i = first; i <= last; ++i)
        s += b[i];
    return static_cast<uint16_t>(s);
}
uint16_t RefParamCrc(const std::vector<uint8_t> &b, size_t first, size_t last) {
    uint16_t crc = 0;
    for (size_t i = first; i <= last; ++i)
        for (int bit = 0; bit < 8; ++bit) {
            const bool top = crc & 0x8000;
            crc = static_cast<uint16_t>(crc << 1);
            if (top != bool((b[i] >> bit) & 1))
                crc ^= 0x100B;
        }
    return crc;
}
std::string Hex4(unsigned v) {
    char s[16];
    std::snprintf(s, sizeof s, "%04X", v);
    return s;
}

class OpenRoutines : public DataFileTest {
protected:
    OpenRoutines() {
        Form->Clock = &Clock;
        Ctx.Form = Form.get();
        Ctx.DataBuffer.fill(0x5C); // what an earlier load left
    }
    // A panel line written through AddInfoLine.
    static std::string L(const std::string &msg) { return "> 2000-01-01 00:00:00 " + msg; }
    std::vector<std::string> Lines() const { return Form->InfoMemo.Lines; }
    std::vector<uint8_t> Buffer() const { return {Ctx.DataBuffer.begin(), Ctx.DataBuffer.end()}; }
    // The ACC and CRC lines over first..last of the buffer as it is now.
    std::vector<std::string> ChecksumLines(size_t first, size_t last) const {
        const auto b = Buffer();
        return {L("Buffer Data ACC CheckSum = 0x" + Hex4(RefSum(b, first, last))),
                L("Buffer Data CRC CheckSum = 0x" + Hex4(RefCheckWord(b, first, last)))};
    }
    void ExpectStoredChecksums(size_t first, size_t last) const {
        const auto b = Buffer();
        EXPECT_EQ(Ctx.ImageSum, RefSum(b, first, last));
        EXPECT_EQ(Ctx.ImageCheckWord, RefCheckWord(b, first, last));
    }
    static std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> out;
        for (auto &p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    }

    TFixedClock Clock;
    std::unique_ptr<TProgramVLT> Form = std::make_unique<TProgramVLT>();
};

TEST_F(OpenRoutines, Family48Script) {
    Ctx.DeviceAddress = 0x6C;
    const unsigned viewerChanges = Form->HexViewer.ChangeCount;
    OpenVeltaPyFile(Ctx, Dir.Write("three.PY", "import time\n# Efuse Write\ni2c.i2cw(0x50,0x10,0x3F)\n"
                                               "i2c.i2cw(0x50,0x11,0x40)\ni2c.i2cw(0x50,0x12,0xC1)\n"));
    EXPECT_EQ(Data(0, 13), Hex("35 50 10 3F 35 50 11 40 35 50 12 C1 00"));
    EXPECT_EQ(Data(8192, 1), Hex("5C")); // 8 KB cleared
    EXPECT_EQ(Ctx.DataEndIndex, 11u);
    const auto b = Buffer();
    EXPECT_EQ(Lines(),
              Join({ChecksumLines(0, 4095),
                    {kDots, L("Chip Device Address is : 0x6C."), L("Total 3 Commands To Be Written!"),
                     L("Chip Actual Data ACC Sun is : 0x" + Hex4(RefSum(b, 0, 11)) + "."), kDots}}));
    ExpectStoredChecksums(0, 4095);
    EXPECT_NE(Form->HexViewer.ChangeCount, viewerChanges);
}

TEST_F(OpenRoutines, Family48BinaryAndOtherExtensions) {
    std::string bin(4096, '\x01');
    OpenVeltaPyFile(Ctx, Dir.Write("image.bin", bin));
    EXPECT_EQ(Ctx.RecordCount, 1024);
    EXPECT_EQ(Ctx.DataEndIndex, 4095u);

    // Another extension: the message, then the summary of the cleared buffer
    // with the count of the previous load.
    Form->InfoMemo.Clear();
    OpenVeltaPyFile(Ctx, Dir.Write("image.txt", "import time\ni2c.i2cw(1,2,3)\n"));
    EXPECT_EQ(Messages(), std::vector<std::string>{"File Error,Please Check!"});
    EXPECT_EQ(Lines(),
              Join({ChecksumLines(0, 4095),
                    {kDots, L("Chip Device Address is : 0x00."), L("Total 1024 Commands To Be Written!"),
                     L("Chip Actual Data ACC Sun is : 0x0000."), kDots}}));
    EXPECT_EQ(Ctx.ImageSum, 0);

    // A script without records.
    Form->InfoMemo.Clear();
    OpenVeltaPyFile(Ctx, Dir.Write("empty.py", "import time\n"));
    EXPECT_EQ(Ctx.RecordCount, 0);
    EXPECT_EQ(Ctx.DataEndIndex, 0xFFFFFFFFu);
    EXPECT_EQ(Lines()[5], L("Chip Actual Data ACC Sun is : 0x0000."));
}

// A loader's error still goes to the caller, after the summary of what the
// buffer then holds: the viewer and the checksum lines no longer show the
// file loaded before.
TEST_F(OpenRoutines, ALoaderErrorStillShowsWhatTheBufferHolds) {
    Ctx.DataKB = 4;
    Ctx.ChecksumStart = 0;
    Ctx.ChecksumEnd = 0x0FFF;
    struct Case {
        const char *what;
        std::function<void()> open;
        size_t last; // of the checksum range
    };
    const Case cases[] = {
        {"script",
         [&] { OpenVeltaPyFile(Ctx, Dir.Write("bad.py", "import time\ni2c.i2cw(1,2,3)\ni2c.i2cw(1,x)\n")); },
         4095},
        {"proj",
         [&] { OpenProjFile(Ctx, Dir.Write("bad.proj", "<Global>\n<Reg a=\"q\" b=\"1\" c=\"1\"/>\n")); },
         4095},
        {"raw binary", [&] { OpenRawBinFile(Ctx, Dir.Path("missing.bin")); }, 0x0FFF},
        {"hfg", [&] { OpenHfgFile(Ctx, Dir.Path("missing.hfg")); }, 1023},
        {"configuration",
         [&] { OpenConfigTxtFile(Ctx, Dir.Write("bad.txt", "# START CONFIGURATION REGISTERS\nxyz,1\n")); },
         4095},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Ctx.DataBuffer.fill(0x5C); // the file loaded before
        Ctx.DataEndIndex = 255;
        FillHexViewer(Ctx);
        Form->InfoMemo.Clear();
        EXPECT_THROW(c.open(), EPelmorError);
        const auto lines = ChecksumLines(0, c.last);
        EXPECT_NE(std::search(Lines().begin(), Lines().end(), lines.begin(), lines.end()), Lines().end());
        ExpectStoredChecksums(0, c.last);
        EXPECT_EQ(Form->HexViewer.Cell(1, 1), Format("%0.2x", Ctx.DataBuffer[0]));
        EXPECT_NE(Ctx.DataBuffer[0], 0x5C);
    }
}

TEST_F(OpenRoutines, Family5Configuration) {
    struct Case {
        unsigned records;
        uint16_t dataSize, dataKB;
    };
    for (const Case c : {Case{0, 0, 4}, Case{300, 1200, 4}, Case{1100, 4400, 5}}) {
        SCOPED_TRACE(c.records);
        std::string text = "# DELAY 250 us\n# START CONFIGURATION PREAMBLE\n# END CONFIGURATION PREAMBLE\n"
                           "# START CONFIGURATION REGISTERS\n";
        for (unsigned i = 0; i < c.records; ++i)
            text += "0x" + Hex4(i) + ",0x" + Hex4(i * 3) + "\n";
        Form->InfoMemo.Clear();
        OpenConfigTxtFile(Ctx, Dir.Write("cfg.TXT", text));
        EXPECT_EQ(Ctx.RecordCount, c.records);
        EXPECT_EQ(Ctx.DataSize, c.dataSize);
        EXPECT_EQ(Ctx.DataKB, c.dataKB);
        EXPECT_EQ(Ctx.DataEndIndex, c.dataSize | 0x0Fu);
        EXPECT_EQ(Ctx.FamilyParam1, 25);
        EXPECT_EQ(Ctx.FamilyParam2, 0);
        EXPECT_EQ(Data(16383, 2), Hex("FF 5C")); // 16 KB filled with 0xFF
        const size_t last = c.dataKB * 1024u - 1;
        EXPECT_EQ(Lines(),
                  Join({ChecksumLines(0, last),
                        {kDots, L("Chip Device Address is : 0x00."),
                         L("Total " + std::to_string(c.records) + " Commands To Be Written!"), kDots}}));
        ExpectStoredChecksums(0, last);
    }
    EXPECT_EQ(Ctx.ImageSum, static_cast<uint16_t>(RefSum(Buffer(), 0, 5119)));
}

TEST_F(OpenRoutines, Family5BinaryKeepsTheConfigurationValues) {
    OpenConfigTxtFile(Ctx, Dir.Write("a.txt", "# START CONFIGURATION POSTAMBLE\n0x0001,0x01\n0x0002,0x02\n"));
    std::string bin(24, '\x11');
    bin[16] = '\xFF';
    OpenConfigTxtFile(Ctx, Dir.Write("a.bin", bin));
    EXPECT_EQ(Ctx.RecordCount, 2); // CountCmdRecords: record 2 starts with 0xFF
    EXPECT_EQ(Ctx.PostambleCount, 2);
    EXPECT_EQ(Ctx.FamilyParam3, 2);
    EXPECT_EQ(Ctx.DataSize, 16);
}

TEST_F(OpenRoutines, Family24Proj) {
    Ctx.DataKB = 4;
    OpenProjFile(Ctx,
                 Dir.Write("p.PROJ",
                           "<Global>\n<Reg n=\"0x01\" v=\"0x11\" s=\"1\"/>\n"
                           "<Reg n=\"0x02\" v=\"0x22\" s=\"1\"/>\n<Reg n=\"0x03\" v=\"0x3344\" s=\"2\"/>\n"
                           "</Global>\n"));
    EXPECT_EQ(Data(0, 13), Hex("21 01 11 22 01 22 23 01 33 24 01 44 00"));
    EXPECT_EQ(Ctx.RecordCount, 4);
    EXPECT_EQ(Ctx.DataEndIndex, 12u);
    EXPECT_EQ(Lines(), Join({{L("Total 4 Commands To Be Written!")}, ChecksumLines(0, 4095)}));
    ExpectStoredChecksums(0, 4095);

    // Another extension loads nothing and shows no message.
    Form->InfoMemo.Clear();
    OpenProjFile(Ctx, Dir.Write("p.xml", "<Global>\n<Reg n=\"1\" v=\"1\" s=\"1\"/>\n"));
    EXPECT_EQ(Ctx.RecordCount, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Lines().size(), 3u);
}

// The walk runs over what earlier loads left past the 4 KB it clears. It
// counts the records whose next record starts inside the buffer: DataEndIndex
// stays an index of it, so a record that ends on its last byte is not counted.
TEST_F(OpenRoutines, Family24WalkStaysInsideTheBuffer) {
    struct Case {
        uint8_t fill; // every record: code, length = fill, data
        uint16_t records;
        uint32_t end;
    };
    for (const Case c : {Case{0x01, 65535 / 3, 65535}, Case{0x02, 16383, 65532}, Case{0x03, 13107, 65535},
                         Case{0xFF, 255, 65535}}) {
        SCOPED_TRACE(int(c.fill));
        Ctx.DataBuffer.fill(c.fill);
        Ctx.DataKB = 64;
        OpenProjFile(Ctx, Dir.Write("all.bin", std::string(4096, static_cast<char>(c.fill))));
        EXPECT_EQ(Ctx.RecordCount, c.records);
        EXPECT_EQ(Ctx.DataEndIndex, c.end);
        ExpectStoredChecksums(0, 65535);
    }
}

TEST_F(OpenRoutines, Family64Ahex) {
    Ctx.DataEndIndex = 0;
    OpenAhexFile(Ctx, Dir.Write("a.AHEX", "0000: 1111\n0001: 2222\n0010: 3333\n"));
    auto b = Buffer();
    const uint16_t crc0 = RefParamCrc(b, 256, 259);
    const uint16_t crc1 = RefParamCrc(b, 268, 269);
    EXPECT_EQ(Ctx.DataBuffer[6] | Ctx.DataBuffer[7] << 8, crc0);
    EXPECT_EQ(Ctx.DataBuffer[14] | Ctx.DataBuffer[15] << 8, crc1);
    EXPECT_EQ(Lines(), Join({{L("APARAM Data CRC CheckSum = 0x" + Hex4(crc0)),
                              L("APARAM Data CRC CheckSum = 0x" + Hex4(crc1))},
                             ChecksumLines(0, 0x0FFF),
                             {kDots, L("Total 2 Block Data To Be Burned!"), kDots}}));
    ExpectStoredChecksums(0, 0x0FFF);
}

TEST_F(OpenRoutines, Family64ChecksumRangeAndBinaryLoad) {
    // Data ending at 0x0210 rounds up to the 4 KB block.
    std::string text;
    for (unsigned i = 0; i < 136; ++i)
        text += Hex4(i) + ": " + Hex4(i * 257) + "\n";
    OpenAhexFile(Ctx, Dir.Write("b.ahex", text));
    EXPECT_EQ(Ctx.DataEndIndex, 0x0210u);
    ExpectStoredChecksums(0, 0x0FFF);

    // A binary image keeps the file's bytes: no block CRCs are written into it.
    std::string bin(4096, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = static_cast<char>(i % 251 + 1);
    for (const auto &name : {"b.bin", "c.BIN"}) {
        SCOPED_TRACE(name);
        Form->InfoMemo.Clear();
        OpenAhexFile(Ctx, Dir.Write(name, bin));
        EXPECT_EQ(Ctx.RecordCount, 1024);
        EXPECT_EQ(Data(0, 4096), std::vector<uint8_t>(bin.begin(), bin.end()));
        EXPECT_EQ(Lines(),
                  Join({ChecksumLines(0, 0x0FFF), {kDots, L("Total 1024 Block Data To Be Burned!"), kDots}}));
        ExpectStoredChecksums(0, 0x0FFF);
    }
}

TEST_F(OpenRoutines, Family16DefaultsAndRegisterRange) {
    Ctx.ChipSubType = 64;
    Ctx.RegEnd = 0x7F;
    Ctx.FamilyParam1 = 0x04;
    Ctx.DeviceAddress = 0x68;
    std::string bin(300, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = static_cast<char>(i + 1);
    OpenBinFileAddDefaults(Ctx, Dir.Write("d.bin", bin));
    EXPECT_EQ(Ctx.DataEndIndex, 0xFFu);
    // The model's default flags in 2048..2175.
    std::vector<uint8_t> flags(128, 0);
    flags[0] = flags[1] = 1;
    std::fill(flags.begin() + 58, flags.begin() + 64, 1);
    EXPECT_EQ(Data(2048, 128), flags);
    const auto b = Buffer();
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{L("Buffer Data ACC CheckSum = 0x" + Hex4(RefSum(b, 0, 255))),
                                        L("Buffer Data CRC CheckSum = 0x" + Hex4(RefCheckWord(b, 0, 4095))),
                                        kDots, L("Chip Device Address is : 0x68."), kDots}));
    ExpectStoredChecksums(0, 4095);
    Ctx.FamilyParam1 = 0;
    OpenBinFileAddDefaults(Ctx, Dir.Write("d.bin", bin));
    EXPECT_EQ(Ctx.DataEndIndex, 0x7Fu);
}

TEST_F(OpenRoutines, Family224Hfg) {
    std::string bin(5000, '\x09');
    bin[4 * 3] = bin[4 * 3 + 1] = '\0';
    OpenHfgFile(Ctx, Dir.Write("x.hfg", bin));
    EXPECT_EQ(Ctx.RecordCount, 3);
    EXPECT_EQ(Ctx.DataEndIndex, 255u);
    EXPECT_EQ(Data(4095, 2), Hex("09 5C"));
    EXPECT_EQ(Lines(), Join({ChecksumLines(0, 1023),
                             {kDots, L("Chip Device Address is : 0x00."),
                              L("Total 3 Commands To Be Written!"), kDots}}));
    ExpectStoredChecksums(0, 1023);
}

TEST_F(OpenRoutines, Family32RawBinary) {
    Ctx.ChecksumStart = 0x10;
    Ctx.ChecksumEnd = 0x10FFF; // only the low 16 bits count
    std::string bin(300, '\x42');
    OpenRawBinFile(Ctx, Dir.Write("r.bin", bin));
    EXPECT_EQ(Ctx.DataEndIndex, 299u);
    EXPECT_EQ(Lines(),
              Join({ChecksumLines(0x10, 0x0FFF), {kDots, L("Chip Device Address is : 0x00."), kDots}}));
    ExpectStoredChecksums(0x10, 0x0FFF);
    OpenRawBinFile(Ctx, Dir.Write("e.bin", ""));
    EXPECT_EQ(Ctx.DataEndIndex, 0xFFFFFFFFu);
}

TEST_F(OpenRoutines, BufferChecksums0) {
    struct Case {
        uint8_t subType;
        uint16_t records;
        uint32_t end;
    };
    for (const Case c : {Case{0, 3, 0x1F}, Case{0x0F, 0, 0x0F}, Case{0x10, 3, 0x0F}, Case{0x40, 8, 0x2F},
                         Case{0, 8192, 0xFFFF}}) {
        Ctx.ChipSubType = c.subType;
        Ctx.RecordCount = c.records;
        BufferChecksums0(Ctx);
        EXPECT_EQ(Ctx.DataEndIndex, c.end);
        EXPECT_EQ(Ctx.DataStartIndex, 0u);
    }
    ExpectStoredChecksums(0, 4095);
}

} // namespace
