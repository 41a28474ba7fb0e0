// The firmware upgrade side: twelve scrambled 2 KB blocks in order, then the
// verify command with its four checksum words.
#include <gtest/gtest.h>

#include <memory>

#include "fwupgrade/BlockScramble.h"
#include "fwupgrade/FirmwareData.h"
#include "protocol/Frame.h"
#include "tests/devsim/PtyHost.h"
#include "tools/devsim/SimDevice.h"

namespace {

constexpr uint16_t kExp1 = 0x10DB, kExp2 = 0x4B5C;

struct TKeys {
    std::vector<uint8_t> Image, Table;
    std::array<uint8_t, 2> Const;
};

TKeys TestKeys() {
    TKeys k;
    k.Image.resize(24576);
    for (size_t i = 0; i < k.Image.size(); ++i)
        k.Image[i] = static_cast<uint8_t>(i ^ (i >> 7) ^ 0xC0);
    k.Table.resize(320);
    for (size_t i = 0; i < k.Table.size(); ++i)
        k.Table[i] = static_cast<uint8_t>(0x31 * i + 5);
    k.Const = {0xA7, 0x1D};
    return k;
}

// A 0xB7 block as the tool sends it, scrambled with the given keys.
std::vector<uint8_t> Block(const TKeys &k, uint8_t b, std::span<const uint8_t> image) {
    std::vector<uint8_t> p(2058);
    uint16_t addr = static_cast<uint16_t>(0x2000 + 0x400 * b);
    p[0] = 0xB7;
    PutU16(p, 1, addr);
    p[3] = b;
    p[4] = 12;
    p[5] = 0x0F;
    PutU16(p, 6, 2048);
    uint8_t m0 = k.Table[b & ~1] ^ k.Const[0], m1 = k.Table[(b & ~1) + 1] ^ k.Const[1];
    for (size_t i = 0; i < 2048; ++i)
        p[8 + i] = image[2 * (addr - 0x2000) + i] ^ (i % 2 ? m1 : m0);
    SealPacket(p);
    return p;
}

std::vector<uint8_t> VerifyCmd() {
    std::vector<uint8_t> p = {0xBA, 0xFF, 0x4F, 0xF1, 0, 0, 0, 0, 0, 0};
    SealPacket(p);
    return p;
}

std::array<uint16_t, 4> Words(std::span<const uint8_t> r) {
    return {GetU16(r, 8), GetU16(r, 10), GetU16(r, 24), GetU16(r, 26)};
}

const std::array<uint16_t, 4> kGood = {kExp2, kExp1, kExp1, kExp2};

struct SimUpgrade : ::testing::Test {
    SimUpgrade() {
        TSimOptions opt;
        opt.FirmwareImage = Keys.Image;
        opt.ImageKeyTable = Keys.Table;
        opt.BlockMaskConst = Keys.Const;
        Dev = std::make_unique<TSimDevice>(opt);
        Host = std::make_unique<TPtyHost>(Dev->PortPath());
    }
    std::vector<uint8_t> Exchange(std::span<const uint8_t> p) {
        Host->SendPacket(p);
        auto r = Host->ReadPacket();
        EXPECT_TRUE(r);
        return r.value_or(std::vector<uint8_t>{});
    }
    std::optional<uint8_t> SendBlock(uint8_t b, std::span<const uint8_t> image) {
        return ReplyStatus(Exchange(Block(Keys, b, image)));
    }
    std::array<uint16_t, 4> Verify() {
        auto r = Exchange(VerifyCmd());
        EXPECT_EQ(CheckReplyStatus(r, uint16_t(r.size())), 0);
        return r.size() >= 28 ? Words(r) : std::array<uint16_t, 4>{};
    }
    TKeys Keys = TestKeys();
    std::unique_ptr<TSimDevice> Dev;
    std::unique_ptr<TPtyHost> Host;
};

TEST_F(SimUpgrade, TwelveBlocksAreStoredUnscrambledAndVerifyWithTheExpectedWords) {
    for (uint8_t b = 0; b < 12; ++b)
        ASSERT_EQ(SendBlock(b, Keys.Image), 0x00) << int(b);
    for (size_t b = 0; b < 12; ++b) {
        auto blk = Dev->FirmwareBlock(b);
        ASSERT_EQ(blk.size(), 2048u);
        EXPECT_TRUE(std::equal(blk.begin(), blk.end(), Keys.Image.begin() + 2048 * b)) << b;
    }
    EXPECT_EQ(Verify(), kGood);
}

TEST_F(SimUpgrade, VerifyFailsWhenTheFlashDiffersOrIsIncomplete) {
    struct Case {
        const char *what;
        int blocks;      // blocks sent, from 0
        int damageBlock; // block sent with one byte changed (-1: none)
    } cases[] = {
        {"nothing was sent", 0, -1},
        {"one byte of block 5 differs", 12, 5},
        {"the last block is missing", 11, -1}, // block 0 started over
    };
    for (const Case &c : cases) {
        for (int b = 0; b < c.blocks; ++b) {
            std::vector<uint8_t> image = Keys.Image;
            if (b == c.damageBlock)
                image[2048 * b + 100] ^= 0x01;
            ASSERT_EQ(SendBlock(uint8_t(b), image), 0x00) << c.what;
        }
        EXPECT_NE(Verify(), kGood) << c.what;
    }
}

TEST_F(SimUpgrade, BlockHeaderAndOrderAreChecked) {
    ASSERT_EQ(SendBlock(0, Keys.Image), 0x00);
    auto skip = Block(Keys, 2, Keys.Image);
    auto wrongAddr = Block(Keys, 1, Keys.Image);
    PutU16(wrongAddr, 1, 0x2800);
    SealPacket(wrongAddr);
    auto wrongCount = Block(Keys, 1, Keys.Image);
    wrongCount[4] = 11;
    SealPacket(wrongCount);
    auto badCheck = Block(Keys, 1, Keys.Image);
    badCheck[500] ^= 0x80;
    struct Case {
        const char *what;
        std::vector<uint8_t> packet;
        uint8_t status;
    } cases[] = {
        {"block 2 after block 0", skip, 0x2A},
        {"address not that of the block number", wrongAddr, 0x2A},
        {"block count byte not 12", wrongCount, 0x2A},
        {"check word wrong", badCheck, 0x23},
        {"block 1 in order", Block(Keys, 1, Keys.Image), 0x00},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReplyStatus(Exchange(c.packet)), c.status) << c.what;
    EXPECT_TRUE(Dev->FirmwareBlock(2).empty());
    // Block 0 starts over: what came before is gone.
    ASSERT_EQ(SendBlock(0, Keys.Image), 0x00);
    EXPECT_TRUE(Dev->FirmwareBlock(1).empty());
}

TEST_F(SimUpgrade, InjectedWordsAnswerTheNextVerifyOnly) {
    for (uint8_t b = 0; b < 12; ++b)
        ASSERT_EQ(SendBlock(b, Keys.Image), 0x00);
    Dev->InjectVerifyWords(kExp2, kExp1, kExp1, 0x4B5D);
    EXPECT_EQ(Verify(), (std::array<uint16_t, 4>{kExp2, kExp1, kExp1, 0x4B5D}));
    EXPECT_EQ(Verify(), kGood);
}

// By default the device expects the build's image and unscrambles with the
// build's key table and constants, exactly as the tool scrambles.
TEST(SimUpgradeBuild, DefaultsMatchTheToolsScrambling) {
    TSimDevice dev;
    TPtyHost host(dev.PortPath());
    for (uint8_t b = 0; b < 12; ++b) {
        std::vector<uint8_t> p(2058);
        p[0] = 0xB7;
        PutU16(p, 1, static_cast<uint16_t>(0x2000 + 0x400 * b));
        p[3] = b;
        p[4] = 12;
        p[5] = 0x0F;
        PutU16(p, 6, 2048);
        ScrambleBlock(b, std::span<const uint8_t>(FirmwareImage).subspan(2048 * b, 2048),
                      std::span<uint8_t>(p).subspan(8, 2048));
        SealPacket(p);
        host.SendPacket(p);
        auto r = host.ReadPacket();
        ASSERT_TRUE(r);
        ASSERT_EQ(ReplyStatus(*r), 0x00) << int(b);
    }
    host.SendPacket(VerifyCmd());
    auto r = host.ReadPacket();
    ASSERT_TRUE(r);
    EXPECT_EQ(Words(*r), kGood);
}

} // namespace
