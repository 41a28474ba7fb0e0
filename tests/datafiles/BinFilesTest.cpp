#include "datafiles/BinFiles.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string Pattern(size_t n, uint8_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(static_cast<uint8_t>(seed + i * 7));
    return s;
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class BinFiles : public DataFileTest {};

TEST_F(BinFiles, SaveWritesBytesZeroToTheEndIndex) {
    for (size_t i = 0; i < kBufferSize; ++i) {
        Ctx.DataBuffer[i] = static_cast<uint8_t>(i * 3);
        Ctx.ReadBuffer[i] = static_cast<uint8_t>(i * 5 + 1);
    }
    struct Case {
        uint32_t endIndex;
        size_t size;
    };
    for (const Case c :
         {Case{0, 1024}, Case{4095, 4096}, Case{0xFFFF, 65536}, Case{0x10005, 6}, Case{1, 2}}) {
        SCOPED_TRACE(c.endIndex);
        Ctx.DataEndIndex = c.endIndex;
        SaveBufferToBinFile(Ctx, Dir.Path("d.bin"));
        SaveReadBufferToBinFile(Ctx, Dir.Path("r.bin"));
        const auto d = ReadAll(Dir.Path("d.bin"));
        const auto r = ReadAll(Dir.Path("r.bin"));
        EXPECT_EQ(d, std::string(Ctx.DataBuffer.begin(), Ctx.DataBuffer.begin() + c.size));
        EXPECT_EQ(r, std::string(Ctx.ReadBuffer.begin(), Ctx.ReadBuffer.begin() + c.size));
    }
}

TEST_F(BinFiles, SaveIntoAFolderThatDoesNotExistRaises) {
    EXPECT_THROW(SaveBufferToBinFile(Ctx, Dir.Path("no/such/folder.bin")), EInOutError);
}

TEST_F(BinFiles, LoadBinFileStopsAtMaxIndex) {
    struct Case {
        size_t fileSize;
        uint16_t maxIndex;
        size_t stored;
    };
    for (const Case c :
         {Case{5000, 4095, 4096}, Case{10, 4095, 10}, Case{70000, 65535, 65536}, Case{0, 4095, 0}}) {
        SCOPED_TRACE(c.fileSize);
        Ctx.DataBuffer.fill(0xA5);
        const auto content = Pattern(c.fileSize, 9);
        LoadBinFile(Ctx, Dir.Write("f.bin", content), c.maxIndex);
        EXPECT_EQ(std::string(Ctx.DataBuffer.begin(), Ctx.DataBuffer.begin() + c.stored),
                  content.substr(0, c.stored));
        EXPECT_TRUE(std::all_of(Ctx.DataBuffer.begin() + c.stored, Ctx.DataBuffer.end(),
                                [](uint8_t b) { return b == 0xA5; }));
    }
}

TEST_F(BinFiles, LoadBinFileLenGivesTheLastIndexRead) {
    struct Case {
        size_t fileSize;
        uint32_t endIn;
        uint32_t endOut;
    };
    for (const Case c : {Case{300, 0xFFFF, 299}, Case{0, 0xFFFF, 0xFFFFFFFF}, Case{65536, 0xFFFF, 65535},
                         Case{70000, 0xFFFF, 65535}, Case{300, 99, 99}, Case{300, 0xFFFFFFFF, 299}}) {
        SCOPED_TRACE(c.fileSize);
        uint32_t end = c.endIn;
        LoadBinFileLen(Ctx, Dir.Write("f.bin", Pattern(c.fileSize, 1)), end);
        EXPECT_EQ(end, c.endOut);
    }
}

TEST_F(BinFiles, LoadBin4KCountsWordsUpToTheLastNonZeroByte) {
    struct Case {
        std::string content;
        uint16_t count;
    };
    std::string last5(6, '\0');
    last5[5] = 1;
    std::string last4095(4096, '\0');
    last4095[4095] = 7;
    std::string beyond(5000, '\0');
    beyond[10] = 1;
    beyond[4500] = 1;
    const Case cases[] = {{last5, 2}, {last4095, 1024}, {std::string(4096, '\0'), 0},
                          {"", 0},    {beyond, 3},      {std::string("\x01"), 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.content.size());
        Ctx.DataBuffer.fill(0);
        Ctx.RecordCount = 99;
        LoadBin4K(Ctx, Dir.Write("f.bin", c.content));
        EXPECT_EQ(Ctx.RecordCount, c.count);
        EXPECT_EQ(Ctx.DataBuffer[4500], 0); // only the first 4,096 bytes are stored
    }
}

TEST_F(BinFiles, LoadersRaiseTheInOutErrorForAMissingFile) {
    const auto missing = Dir.Path("missing.bin");
    uint32_t end = 0xFFFF;
    EXPECT_THROW(LoadBinFile(Ctx, missing, 4095), EInOutError);
    EXPECT_THROW(LoadBinFileLen(Ctx, missing, end), EInOutError);
    EXPECT_THROW(LoadBin4K(Ctx, missing), EInOutError);
    EXPECT_THROW(LoadBin4K(Ctx, Dir.Path("")), EInOutError);
    EXPECT_THROW(LoadBinFile(Ctx, "/dev/zero", 4095), EInOutError);
}

TEST_F(BinFiles, CountCmdRecords) {
    Ctx.DataBuffer.fill(0xFF);
    EXPECT_EQ(CountCmdRecords(Ctx), 0);
    Ctx.DataBuffer.fill(0x00);
    EXPECT_EQ(CountCmdRecords(Ctx), 512);
    Ctx.DataBuffer[8 * 3] = 0xFF;
    Ctx.DataBuffer[8 * 3 + 1] = 0x00;
    Ctx.DataBuffer[8 * 1 + 1] = 0xFF; // only a record's first byte ends the list
    EXPECT_EQ(CountCmdRecords(Ctx), 3);
}

} // namespace
