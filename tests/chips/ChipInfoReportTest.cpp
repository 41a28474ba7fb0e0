#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "protocol/ChipInfoReport.h"

namespace {

using ChipInfoReport = ChipsFixture;

struct PrinterCase {
    const char *Name;
    bool (*Print)(VltContext &);
    uint8_t VerifyFlags;
    std::vector<std::pair<int, uint8_t>> Reply; // reply byte, value
    std::vector<std::string> Lines;
    bool Identified;
};

TEST_F(ChipInfoReport, Printers) {
    const PrinterCase cases[] = {
        {"default, one-byte ID",
         PrintChipInfoDefault,
         0x00,
         {{8, 0x5A}, {9, 0x03}, {10, 0x34}, {11, 0x12}},
         {" Device ID=0x34.", " PMBUs Address=0x5A.", " Revision ID =0x03."},
         true},
        {"default, two-byte ID",
         PrintChipInfoDefault,
         0x10,
         {{8, 0x5A}, {9, 0x03}, {10, 0x34}, {11, 0x12}},
         {" Device ID=0x1234.", " PMBUs Address=0x5A.", " Revision ID =0x03."},
         true},
        {"48, both fuses",
         PrintChipInfoFam48,
         0,
         {{8, 0xAB}, {9, 0x01}, {10, 0x02}, {11, 0xC0}, {12, 0x3F}},
         {" Device Rev ID=0xAB01.", " Register Address 0x10 = 0x3F.", " Register Address 0x22 = 0x02.",
          " Register Address 0x2F = 0xC0.", "E-Fuse 1 and 2 has been used!"},
         true},
        {"48, fuse 1",
         PrintChipInfoFam48,
         0,
         {{10, 0x00}, {11, 0x40}},
         {" Device Rev ID=0x0000.", " Register Address 0x10 = 0x00.", " Register Address 0x22 = 0x00.",
          " Register Address 0x2F = 0x40.", "E-Fuse 1 has been used!"},
         true},
        {"48, blank",
         PrintChipInfoFam48,
         0,
         {{10, 0x00}, {11, 0x3F}},
         {" Device Rev ID=0x0000.", " Register Address 0x10 = 0x00.", " Register Address 0x22 = 0x00.",
          " Register Address 0x2F = 0x3F.", "Chip is Blank!"},
         true},
        {"5, identified",
         PrintChipInfoFam5,
         0,
         {{8, 0x21}, {9, 0x53}, {10, 0x00}, {11, 0x01}, {17, 0x70}, {39, 0x0F}},
         {"Read Success : ID=Si5321A-B,Address=0x70,1 Bank Empty!"},
         true},
        {"5, no banks empty",
         PrintChipInfoFam5,
         0,
         {{9, 0x53}, {39, 0x3F}},
         {"Read Success : ID=Si5300A-A,Address=0x00,No Bank Empty!"},
         true},
        {"5, two banks",
         PrintChipInfoFam5,
         0,
         {{9, 0x53}, {39, 0x03}},
         {"Read Success : ID=Si5300A-A,Address=0x00,2 Banks Empty!"},
         true},
        {"5, three banks, letters past Z",
         PrintChipInfoFam5,
         0,
         {{9, 0x53}, {10, 25}, {11, 0xBF}, {39, 0x00}},
         {std::string("Read Success : ID=Si5300Z-\0,Address=0x00,3 Banks Empty!", 55)},
         true},
        {"5, not answering", PrintChipInfoFam5, 0, {{9, 0x00}}, {"Read Device Failed!"}, false},
        {"16",
         PrintChipInfoFam16,
         0,
         {{8, 1}, {9, 0x23}, {13, 0xFF}, {14, 0x77}},
         {"Chip ID information is : 0x01 0x23 0x00 0x00 0x00 0xFF "},
         true},
        {"64",
         PrintChipInfoFam64,
         0,
         {{8, 0xA0}, {9, 0x0B}, {10, 0x00}, {11, 0x7F}, {12, 0x11}},
         {"Chip 1 Device ID :0xA0,0x0B,0x00,0x7F."},
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ctx.PacketBuf[0].fill(0);
        ctx.PacketBuf[1].fill(0x99); // other channels are not read
        for (auto [k, v] : c.Reply)
            ctx.PacketBuf[0][static_cast<size_t>(k)] = v;
        ctx.VerifyFlags = c.VerifyFlags;
        form.InfoMemo.Clear();
        EXPECT_EQ(c.Print(ctx), c.Identified);
        std::vector<std::string> want;
        for (const auto &l : c.Lines)
            want.push_back(std::string(kStamp) + "Device 1 : " + l);
        EXPECT_EQ(Lines(), want);
    }
}

TEST(CharOfCode, LatinOneAsUtf8) {
    EXPECT_EQ(CharOfCode(0x41), "A");
    EXPECT_EQ(CharOfCode(0x7F), "\x7F");
    EXPECT_EQ(CharOfCode(0xC1), "\xC3\x81");
    EXPECT_EQ(CharOfCode(0x80), "\xC2\x80");
}

} // namespace
