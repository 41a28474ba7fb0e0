#include "app/FileLoading.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Format.h"
#include "state/BufferViews.h"
#include "tests/datafiles/DataFileFixture.h"
#include "tests/datafiles/HexRecord.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using Kind = RecordingDialogs::Kind;
const std::string kDots(57, '.');

uint16_t RefCheckWord(const VltContext &c, size_t first, size_t last) {
    uint16_t v = 0;
    for (size_t i = first; i <= last; ++i)
        v = static_cast<uint16_t>(c.DataBuffer[i] ^ (v >> 1) ^ ((v & 1) ? 0x4A12 : 0));
    return v;
}
uint16_t RefSum(const VltContext &c, size_t first, size_t last) {
    unsigned s = 0;
    for (size_t i = first; i <= last; ++i)
        s += c.DataBuffer[i];
    return static_cast<uint16_t>(s);
}
std::string Hex4(unsigned v) {
    char s[16];
    std::snprintf(s, sizeof s, "%04X", v);
    return s;
}
std::string HexRec(int type, unsigned addr, const std::vector<uint8_t> &data) {
    return HexRecord(type, addr, data, "\r\n");
}
const std::string kHexEnd = ":00000001FF\r\n";

class FileLoading : public DataFileTest {
protected:
    FileLoading() {
        Form->Clock = &Clock;
        Ctx.Clock = &Clock;
        Ctx.Form = Form.get();
        Ctx.DataKB = 4;
        Ctx.ChecksumEnd = 4095;
    }
    static std::string L(const std::string &msg) { return "> 2000-01-01 00:00:00 " + msg; }
    std::vector<std::string> Lines() const { return Form->InfoMemo.Lines; }
    std::string LoadLine(const std::string &path) const {
        return L("Load object file of \"" + path + "\" at 2000-01-01,00:00:00");
    }
    std::vector<std::string> ChecksumLines(size_t first, size_t last) const {
        return {L("Buffer Data ACC CheckSum = 0x" + Hex4(RefSum(Ctx, first, last))),
                L("Buffer Data CRC CheckSum = 0x" + Hex4(RefCheckWord(Ctx, first, last)))};
    }
    // Chooses `path` in the open dialog and loads it.
    void Open(const std::string &path) {
        Dialogs.FileAnswers.push_back(path);
        FileOpenBtnClick(Ctx);
    }

    TFixedClock Clock;
    std::unique_ptr<TProgramVLT> Form = std::make_unique<TProgramVLT>();
};

TEST_F(FileLoading, DialogFilterByFamilyAndCancel) {
    struct Case {
        uint8_t family;
        const char *filter, *ext;
    };
    const Case cases[] = {
        {224, "*.hfg,*.BIN|*.hfg;*.BIN;|All Files (*.*)|*.*", "*.hfg;*.Bin"},
        {24, "All Project Files (*.proj,*.Bin)|*.proj;*.Bin|All Files (*.*)|*.*", "*.proj;*.Bin"},
        {64, "All ahex Files (*.ahex)|*.ahex|All Files (*.*)|*.*", "*.ahex"},
        {48, "All Velta Files (*.Bin,*.py)|*.BIN;*.py|All Files (*.*)|*.*", "*.py;*.Bin"},
        {0, "All VLT Files (*.Bin,*.TXT,*.C)|*.BIN;*.TXT;*.C|All Files (*.*)|*.*", "*.TXT;*.C*;*.Bin"},
        {32, "All VLT Files (*.Bin,*.TXT,*.C)|*.BIN;*.TXT;*.C|All Files (*.*)|*.*", "*.TXT;*.C*;*.Bin"},
        {5, "All Files (*.Bin,*.HEX)|*.BIN;*.HEX|All Files (*.*)|*.*", "*.HEX*;*.Bin"},
        {16, "All Files (*.Bin,*.HEX)|*.BIN;*.HEX|All Files (*.*)|*.*", "*.HEX*;*.Bin"},
        {80, "All Files (*.Bin,*.HEX)|*.BIN;*.HEX|All Files (*.*)|*.*", "*.HEX*;*.Bin"},
    };
    for (const auto &c : cases) {
        Ctx.ChipFamily = c.family;
        FileOpenBtnClick(Ctx); // cancelled: no answer queued
        ASSERT_FALSE(Dialogs.FileDialogs.empty());
        EXPECT_EQ(Dialogs.FileDialogs.back().Filter, c.filter) << int(c.family);
        EXPECT_EQ(Dialogs.FileDialogs.back().DefaultExt, c.ext) << int(c.family);
    }
    EXPECT_EQ(Ctx.DataLoaded, 0);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Form->ProductEditX.Text(), "");
}

TEST_F(FileLoading, Family0CommandText) {
    Ctx.DeviceAddress = 0x12;
    Ctx.DataKB = 6;
    Ctx.DataBuffer.fill(0x33);
    const auto path =
        Dir.Write("data.txt", "device cmd name len rw data\n0x6C 0x21\tOUT SET\t2\tW\t0x0266\n");
    std::vector<std::string> addrEdits;
    Form->EditDevAddr.OnChange = [&] { addrEdits.push_back(Form->EditDevAddr.Text()); };
    Open(path);
    EXPECT_EQ(Data(0, 9), Hex("21 02 66 02 FF FF FF FF FF"));
    EXPECT_EQ(Data(16383, 2), Hex("FF 33"));
    EXPECT_EQ(Lines(), [&] {
        std::vector<std::string> want{LoadLine(path)};
        for (auto &l : ChecksumLines(0, 4095))
            want.push_back(l);
        for (auto &l : {kDots, L("Chip Device Address is : 0x6C."), L("Total 1 Commands To Be Written!"),
                        L("No PEC Data."), L("No Page 1(Rail 2) Data Field."),
                        L("No Page 2(Rail 3) Data Field."), kDots})
            want.push_back(l);
        return want;
    }());
    EXPECT_EQ(addrEdits, (std::vector<std::string>{"0x12", "0x00"}));
    EXPECT_EQ(Ctx.DeviceAddress, 0);
    EXPECT_EQ(Ctx.DataLoaded, 1);
    EXPECT_EQ(Ctx.TransferKB, 6);
    EXPECT_EQ(Ctx.DataEndIndex, 0x0Fu);
    EXPECT_EQ(Ctx.ImageSum, RefSum(Ctx, 0, 4095));
    EXPECT_EQ(Form->ProductEditX.Text(), path);
    EXPECT_EQ(Form->EditFilName.Text(), "data.txt");
}

TEST_F(FileLoading, Family0ByExtensionAndSubType) {
    Ctx.VerifyFlags = 0x0D;
    Open(Dir.Write("noext", std::string(5000, '\x01')));
    EXPECT_EQ(Ctx.RecordCount, 512);
    EXPECT_EQ(Data(4095, 2), Hex("01 FF"));
    EXPECT_EQ(Lines()[6], L("Has PEC Data."));
    EXPECT_EQ(Lines()[7], L("Has Page 1(Rail 2) Data Field."));
    EXPECT_EQ(Lines()[8], L("Has Page 2(Rail 3) Data Field."));

    Open(Dir.Write("arr.C", "unsigned char a[] = {\n0x10, 0x20\n};\n"));
    EXPECT_EQ(Data(0, 9), Hex("10 20 FF FF FF FF FF FF FF"));
    EXPECT_EQ(Ctx.RecordCount, 1);

    // Sub-types 0x10-0x1F read a register table and rewrite byte 2 of the
    // records, and of the one after the last.
    Ctx.ChipSubType = 0x12;
    Ctx.DeviceAddress = 0x40;
    Form->InfoMemo.Clear();
    Open(Dir.Write("regs.TXT", "A\t0x1\t5A\tReg\t3C\nB\t0x2\t5B\tReg\t3D\n"));
    EXPECT_EQ(Data(0, 13), Hex("5A 3C 00 00 5B 3D 00 00 FF FF 00 FF FF"));
    EXPECT_EQ(Ctx.DataEndIndex, 0x0Fu);
    EXPECT_EQ(Ctx.DeviceAddress, 0x40); // kept from sub-type 16 on
    EXPECT_EQ(Lines().size(), 7u);      // no PEC and page lines
}

TEST_F(FileLoading, Family80HexImage) {
    Ctx.ChipFamily = 80;
    Ctx.ChipSubType = 1;
    Ctx.ChecksumStart = 0;
    const auto path = Dir.Write("img.hex", HexRec(0, 0x0000, {1, 2, 3}) + HexRec(0, 0x1233, {0x00, 0x7E}) +
                                               HexRec(4, 0, {0, 1}) + HexRec(0, 0, {9}) + kHexEnd);
    Open(path);
    EXPECT_EQ(Ctx.RecordCount, 0x1235);
    EXPECT_EQ(Ctx.DataEndIndex, 0x1234u);
    EXPECT_EQ(Ctx.ChecksumEnd, 0x1FFFu);
    EXPECT_EQ(Ctx.TransferKB, 8);
    EXPECT_EQ(Data(3, 1), Hex("FF"));
    EXPECT_EQ(Ctx.RangeSum, RefSum(Ctx, 0, 0x1234));
    EXPECT_EQ(Ctx.RangeCheckWord, RefCheckWord(Ctx, 0, 0x1234));
    std::vector<std::string> want{
        LoadLine(path),
        kDots,
        L("Chip Device Address is : 0x00."),
        L("HEX File Actual Data End Address = 0x1234"),
        L("Chip Actual Data ACC CheckSum = 0x" + Hex4(RefSum(Ctx, 0, 0x1234)) + "."),
        L("Chip Actual Data CRC CheckSum = 0x" + Hex4(RefCheckWord(Ctx, 0, 0x1234)) + ".")};
    for (auto &l : ChecksumLines(0, 0x1FFF))
        want.push_back(l);
    want.push_back(kDots);
    EXPECT_EQ(Lines(), want);
    EXPECT_EQ(Ctx.DataLoaded, 1);
}

TEST_F(FileLoading, Family80SubType0FillsWithZeroAndAnEmptyImage) {
    Ctx.ChipFamily = 80;
    Ctx.ChipSubType = 0;
    Ctx.DataBuffer.fill(0xAB);
    Open(Dir.Write("z.HEX", HexRec(0, 0x0100, {0xFF, 0x00}) + kHexEnd));
    EXPECT_EQ(Ctx.DataBuffer[0x4000], 0x00);
    EXPECT_EQ(Ctx.DataEndIndex, 0x0100u);
    EXPECT_EQ(Ctx.TransferKB, 4);

    // Nothing but fill bytes: no data range, one 4 KB block.
    Open(Dir.Write("e.HEX", kHexEnd));
    EXPECT_EQ(Ctx.RecordCount, 0);
    EXPECT_EQ(Ctx.DataEndIndex, 0xFFFFFFFFu);
    EXPECT_EQ(Ctx.ChecksumEnd, 0x0FFFu);
    EXPECT_EQ(Ctx.TransferKB, 4);
    EXPECT_EQ(Ctx.RangeSum, 0);
    EXPECT_EQ(Ctx.ImageSum, 0);
}

TEST_F(FileLoading, OtherFamiliesLoadBinaryFilesWholeAndSumTheirRange) {
    Ctx.ChipFamily = 99;
    Ctx.ChecksumStart = 0x100;
    Ctx.ChecksumEnd = 0x17FFF;
    std::string bin(70000, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = static_cast<char>(i * 13);
    const auto path = Dir.Write("big.bin", bin);
    Open(path);
    EXPECT_EQ(Data(65535, 1), std::vector<uint8_t>{static_cast<uint8_t>(65535 * 13)});
    EXPECT_EQ(Ctx.ImageSum, RefSum(Ctx, 0x100, 0x7FFF));
    std::vector<std::string> want{LoadLine(path), kDots, L("Chip Device Address is : 0x00.")};
    for (auto &l : ChecksumLines(0x100, 0x7FFF))
        want.push_back(l);
    want.push_back(kDots);
    EXPECT_EQ(Lines(), want);
}

TEST_F(FileLoading, RejectedHexFileIsNoLoadedImage) {
    Ctx.ChipFamily = 80;
    Ctx.ChipSubType = 1;
    std::string bad = HexRec(0, 0x10, {1, 2});
    bad[bad.size() - 3] ^= 1;
    struct Case {
        std::string text, error;
    };
    const std::string p = Dir.Path("bad.hex");
    const Case cases[] = {
        {HexRec(0, 0, {1}) + bad + kHexEnd, "HEX File Error : \"" + p + "\" line 2, record checksum error!"},
        {HexRec(0, 0, {1}) + ":0400000001\r\n" + kHexEnd,
         "HEX File Error : \"" + p + "\" line 2, bad record!"},
        {HexRec(0, 0, {1}), "HEX File Error : \"" + p + "\" line 2, no end-of-file record!"},
    };
    for (const auto &c : cases) {
        // The file loaded before.
        Open(Dir.Write("good.hex", HexRec(0, 0, {0x12, 0x34}) + kHexEnd));
        ASSERT_EQ(Form->HexViewer.Cell(1, 1), "12");
        Dialogs.Calls.clear();
        Form->InfoMemo.Clear();
        Open(Dir.Write("bad.hex", c.text));
        EXPECT_EQ(Errors(), std::vector<std::string>{c.error});
        EXPECT_EQ(Ctx.DataLoaded, 0);
        // The buffer holds its fill bytes only, and the viewer and the checksum lines say so.
        std::vector<std::string> want{LoadLine(p),
                                      kDots,
                                      L("Chip Device Address is : 0x00."),
                                      L("HEX File Actual Data End Address = 0xFFFFFFFF"),
                                      L("Chip Actual Data ACC CheckSum = 0x0000."),
                                      L("Chip Actual Data CRC CheckSum = 0x0000.")};
        for (auto &l : ChecksumLines(0, 0x0FFF))
            want.push_back(l);
        want.push_back(kDots);
        EXPECT_EQ(Lines(), want);
        EXPECT_EQ(Form->HexViewer.Cell(1, 1), "FF");
        EXPECT_EQ(Ctx.ImageSum, RefSum(Ctx, 0, 0x0FFF));
    }
    Dialogs.Calls.clear();
    Open(Dir.Path("missing.hex"));
    EXPECT_EQ(Errors(), std::vector<std::string>{"HEX File Error : \"" + Dir.Path("missing.hex") +
                                                 "\" cannot be read!"});
}

TEST_F(FileLoading, ALoaderErrorLeavesNothingLoaded) {
    struct Case {
        uint8_t family;
        std::string name, text;
    };
    const Case cases[] = {
        {0, "len.txt", "0x6C 0x21\tOUT\t1a\tW\t0x0266\n"},
        {48, "arg.py", "import time\ni2c.i2cw(0x50,zz)\n"},
        {5, "cfg.txt", "# START CONFIGURATION REGISTERS\nAddress,Data\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Ctx.ChipFamily = c.family;
        Ctx.DataLoaded = 1;
        Ctx.DataBuffer.fill(0x5C); // the file loaded before
        Ctx.DataEndIndex = 255;
        FillHexViewer(Ctx);
        Form->InfoMemo.Clear();
        const auto path = Dir.Write(c.name, c.text);
        EXPECT_THROW(Open(path), EConvertError);
        EXPECT_EQ(Ctx.DataLoaded, 0);
        // What comes before the loader stays: the path and the log line; the
        // summary of what the buffer now holds follows.
        EXPECT_EQ(Form->ProductEditX.Text(), path);
        ASSERT_GT(Lines().size(), 3u);
        EXPECT_EQ(Lines()[0], LoadLine(path));
        const auto sums = ChecksumLines(0, 4095); // the image of each of the three families
        EXPECT_NE(std::search(Lines().begin(), Lines().end(), sums.begin(), sums.end()), Lines().end());
        EXPECT_EQ(Form->HexViewer.Cell(1, 1), Format("%0.2x", Ctx.DataBuffer[0]));
        EXPECT_NE(Ctx.DataBuffer[0], 0x5C);
    }
    Ctx.ChipFamily = 32;
    EXPECT_THROW(Open(Dir.Path("gone.bin")), EInOutError);
    EXPECT_EQ(Ctx.DataLoaded, 0);
}

TEST_F(FileLoading, AFileThatLoadsNothingLeavesNothingLoaded) {
    // The summary still runs, over a cleared buffer and the count of the
    // previous load: that must not be sent to the chips.
    struct Case {
        uint8_t family;
        std::string name, text;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {48, "header.py", "# no import\ni2c.i2cw(1,2,3)\n", {"File Error : Not Velta PY Data File!"}},
        {48, "script.txt", "import time\ni2c.i2cw(1,2,3)\n", {"File Error,Please Check!"}},
        {64, "blocks.txt", "0000: 1111\n", {}},
        {24, "proj.xml", "<Global>\n<Reg n=\"1\" v=\"1\" s=\"1\"/>\n", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Ctx.ChipFamily = c.family;
        Open(Dir.Write("good.bin", std::string(64, '\x11')));
        ASSERT_EQ(Ctx.DataLoaded, 1);
        Dialogs.Calls.clear();
        Form->InfoMemo.Clear();
        const auto path = Dir.Write(c.name, c.text);
        Open(path);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(Ctx.DataLoaded, 0);
        EXPECT_GT(Lines().size(), 1u); // the log line and the summary
        EXPECT_EQ(Form->ProductEditX.Text(), path);
    }
    // A script that holds records counts as loaded.
    Ctx.ChipFamily = 48;
    Open(Dir.Write("ok.py", "import time\ni2c.i2cw(1,2,3)\n"));
    EXPECT_EQ(Ctx.DataLoaded, 1);
}

TEST_F(FileLoading, TheTransferFollowsAConfigurationThatResizesTheData) {
    // The download sends TransferKB kilobytes: the records past the first
    // 4 KB must not stay behind.
    Ctx.ChipFamily = 5;
    Ctx.DataKB = 4;
    auto config = [&](unsigned records) {
        std::string text = "# START CONFIGURATION REGISTERS\n";
        for (unsigned i = 0; i < records; ++i)
            text += "0x" + Hex4(i) + ",0x5A\n";
        return Dir.Write("cfg" + std::to_string(records) + ".txt", text);
    };
    struct Case {
        unsigned records;
        uint16_t kb;
    };
    for (const Case c : {Case{1100, 5}, Case{2100, 9}, Case{10, 4}}) {
        SCOPED_TRACE(c.records);
        Open(config(c.records));
        EXPECT_EQ(Ctx.DataKB, c.kb);
        EXPECT_EQ(Ctx.TransferKB, c.kb);
    }
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(FileLoading, SaveDataBuffer) {
    const std::string noData = "No Data need to be Saved!";
    FileSaveBtnClick(Ctx);
    EXPECT_EQ(Dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Message, noData}}));

    Ctx.DataLoaded = 1;
    Dialogs.Calls.clear();
    FileSaveBtnClick(Ctx); // cancelled
    EXPECT_EQ(Dialogs.Calls,
              (std::vector<RecordingDialogs::Call>{{Kind::SaveFile, "All Binary Files(*.BIN)|*.BIN"},
                                                   {Kind::Message, noData}}));

    Ctx.DataEndIndex = 0x1FFF;
    Ctx.DataBuffer.fill(0x6A);
    const auto path = Dir.Path("out.bin");
    Dialogs.Calls.clear();
    Dialogs.FileAnswers.push_back(path);
    FileSaveBtnClick(Ctx);
    EXPECT_EQ(ReadAll(path), std::string(0x2000, '\x6A'));
    EXPECT_EQ(Messages(), std::vector<std::string>{"FIle \"" + path + "\" has been saved!"});
}

TEST_F(FileLoading, SaveReadBuffer) {
    SaveReadOutDatatoFile1Click(Ctx);
    EXPECT_TRUE(Dialogs.Calls.empty());

    Ctx.ReadDataValid = 1;
    SaveReadOutDatatoFile1Click(Ctx); // cancelled: the dialog only
    EXPECT_EQ(Dialogs.Calls.size(), 1u);

    Ctx.DataEndIndex = 0;
    Ctx.ReadBuffer.fill(0x3C);
    const auto path = Dir.Path("read.bin");
    Dialogs.FileAnswers.push_back(path);
    SaveReadOutDatatoFile1Click(Ctx);
    EXPECT_EQ(ReadAll(path), std::string(1024, '\x3C'));
    EXPECT_EQ(Messages(), std::vector<std::string>{"FIle \"" + path + "\" has been saved!"});
}

TEST_F(FileLoading, FormKeyPressFocusesTheToolbar) {
    char key = 'q';
    const unsigned before = Form->Panel1.FocusRequests;
    FormKeyPress(Ctx, key);
    EXPECT_EQ(Form->Panel1.FocusRequests, before + 1);
    EXPECT_EQ(key, 'q');
}

} // namespace
