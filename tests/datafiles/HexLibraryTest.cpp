#include "rhb/PelmorRHB.h"
#include "tests/datafiles/HexRecord.h"
#include "tests/datafiles/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

std::string Rec(int type, unsigned addr, const std::vector<uint8_t> &data) {
    return HexRecord(type, addr, data);
}
const std::string kEof = ":00000001FF\n";

struct Result {
    int code;
    int32_t line;
    int32_t stored;
};

Result Load(const std::string &path, std::vector<uint8_t> &buf) {
    int32_t out1 = -1, out2 = -1;
    int code = DoOpenFile_HEX_Routine(path.c_str(), buf.data(), &out1, &out2);
    return {code, out1, out2};
}

TEST(HexLibrary, LinearAddressesGapAndBytesBeyondTheBuffer) {
    TTempDir dir;
    const auto path =
        dir.Write("a.hex", Rec(4, 0, {0x00, 0x00}) + Rec(0, 0x0010, {1, 2, 3}) + Rec(0, 0x0100, {0x44}) +
                               Rec(4, 0, {0x00, 0x01}) + Rec(0, 0x0020, {0xAA, 0xBB}) +
                               Rec(4, 0, {0x00, 0x00}) + Rec(0, 0xFFFE, {0x11, 0x22, 0x33, 0x44}) + kEof);
    std::vector<uint8_t> buf(65536, 0x5A);
    std::vector<uint8_t> want(65536, 0x5A);
    want[0x10] = 1;
    want[0x11] = 2;
    want[0x12] = 3;
    want[0x100] = 0x44;
    want[0xFFFE] = 0x11;
    want[0xFFFF] = 0x22;
    auto r = Load(path, buf);
    EXPECT_EQ(r.code, RHB_OK);
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(r.stored, 6);
    EXPECT_TRUE(buf == want);
}

TEST(HexLibrary, SegmentAddresses) {
    TTempDir dir;
    // Segment 0x0FFF starts at 0xFFF0; segment 0x1000 lies wholly beyond the buffer.
    const auto path = dir.Write("s.hex", Rec(2, 0, {0x0F, 0xFF}) + Rec(0, 0x0008, {0xC1, 0xC2}) +
                                             Rec(2, 0, {0x10, 0x00}) + Rec(0, 0x0000, {0xD1}) + kEof);
    std::vector<uint8_t> buf(65536, 0xFF);
    auto r = Load(path, buf);
    EXPECT_EQ(r.code, RHB_OK);
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(buf[0xFFF8], 0xC1);
    EXPECT_EQ(buf[0xFFF9], 0xC2);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 0xFF), 65536 - 2);
}

// A record that runs past 0xFFFF stores its bytes up to 0xFFFF and drops the
// rest, in every addressing mode: nothing wraps onto earlier data.
TEST(HexLibrary, BytesFrom65536OnAreDroppedNeverWrapped) {
    TTempDir dir;
    struct Case {
        const char *what;
        std::string addressRecord; // before the data record, after data at 0x0000..0x0001
        unsigned offset;
        std::vector<uint8_t> data;
        std::vector<std::pair<unsigned, uint8_t>> stored;
    };
    const std::vector<Case> cases = {
        {"no address record", "", 0xFFFE, {0x11, 0x22, 0x33, 0x44}, {{0xFFFE, 0x11}, {0xFFFF, 0x22}}},
        {"segment 0", Rec(2, 0, {0x00, 0x00}), 0xFFFF, {0xE1, 0xE2}, {{0xFFFF, 0xE1}}},
        {"segment 0x0FFF",
         Rec(2, 0, {0x0F, 0xFF}),
         0x000E,
         {0xA1, 0xA2, 0xA3},
         {{0xFFFE, 0xA1}, {0xFFFF, 0xA2}}},
        {"segment 0x0800, offset crossing 0xFFFF", Rec(2, 0, {0x08, 0x00}), 0xFFFF, {0xB1, 0xB2}, {}},
        {"linear 0", Rec(4, 0, {0x00, 0x00}), 0xFFFF, {0xC1, 0xC2}, {{0xFFFF, 0xC1}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir.Write("w.hex", Rec(0, 0x0000, {0x55, 0x66}) + Rec(0, 0x8000, {0x77}) +
                                                 c.addressRecord + Rec(0, c.offset, c.data) + kEof);
        std::vector<uint8_t> buf(65536, 0xFF);
        std::vector<uint8_t> want(65536, 0xFF);
        want[0x0000] = 0x55;
        want[0x0001] = 0x66;
        want[0x8000] = 0x77;
        for (const auto &[at, v] : c.stored)
            want[at] = v;
        auto r = Load(path, buf);
        EXPECT_EQ(r.code, RHB_OK);
        EXPECT_EQ(r.stored, static_cast<int32_t>(3 + c.stored.size()));
        EXPECT_TRUE(buf == want);
    }
}

TEST(HexLibrary, AByteOrderMarkAtTheStartIsSkipped) {
    TTempDir dir;
    const auto path = dir.Write("m.hex", "\xEF\xBB\xBF" + Rec(0, 0x0004, {0x9A}) + kEof);
    std::vector<uint8_t> buf(65536, 0);
    auto r = Load(path, buf);
    EXPECT_EQ(r.code, RHB_OK);
    EXPECT_EQ(buf[4], 0x9A);
    // Elsewhere the mark is no record.
    const auto inside = dir.Write("n.hex", Rec(0, 0x0004, {0x9A}) + "\xEF\xBB\xBF" + kEof);
    EXPECT_EQ(Load(inside, buf).code, RHB_MALFORMED_RECORD);
}

TEST(HexLibrary, LineEndsBlankLinesLowerCaseAndTextAfterTheEnd) {
    TTempDir dir;
    std::string rec = Rec(0, 0x0002, {0xab, 0xcd});
    for (auto &c : rec)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    rec.pop_back();
    const auto path =
        dir.Write("l.hex", "\r\n" + rec + "  \r\n" + Rec(5, 0, {0, 0, 0, 0}) + kEof + "garbage\n");
    std::vector<uint8_t> buf(65536, 0);
    auto r = Load(path, buf);
    EXPECT_EQ(r.code, RHB_OK);
    EXPECT_EQ(buf[2], 0xAB);
    EXPECT_EQ(buf[3], 0xCD);
}

TEST(HexLibrary, RejectsBadFilesWithTheLineAndLeavesTheBuffer) {
    TTempDir dir;
    std::string badSum = Rec(0, 0x0040, {1, 2});
    badSum[badSum.size() - 2] ^= 1;
    std::string truncated = Rec(0, 0x0040, {1, 2, 3, 4});
    truncated.erase(truncated.size() - 5, 4);
    struct Case {
        const char *what;
        std::string text;
        int code;
        int32_t line;
    };
    const std::vector<Case> cases = {
        {"bad checksum", Rec(0, 0, {9}) + Rec(0, 1, {8}) + badSum + kEof, RHB_BAD_CHECKSUM, 3},
        {"truncated record", Rec(0, 0, {9}) + truncated + kEof, RHB_MALFORMED_RECORD, 2},
        {"record longer than its count", Rec(0, 0, {9}).insert(9, "00") + kEof, RHB_MALFORMED_RECORD, 1},
        {"no colon", "\n" + Rec(0, 0, {9}).substr(1) + kEof, RHB_MALFORMED_RECORD, 2},
        {"not hexadecimal", ":01000000G9F6\n" + kEof, RHB_MALFORMED_RECORD, 1},
        {"odd number of digits", ":010000000900F\n" + kEof, RHB_MALFORMED_RECORD, 1},
        {"unknown record type", Rec(6, 0, {}) + kEof, RHB_UNSUPPORTED_RECORD, 1},
        {"address record of wrong size", Rec(4, 0, {1}) + kEof, RHB_MALFORMED_RECORD, 1},
        {"end record with data", Rec(1, 0, {1}), RHB_MALFORMED_RECORD, 1},
        {"no end record", Rec(0, 0, {9}) + Rec(0, 1, {8}), RHB_NO_END_RECORD, 3},
        {"empty file", "", RHB_NO_END_RECORD, 1},
        {"overlong line", ":" + std::string(2000, '0') + "\n" + kEof, RHB_MALFORMED_RECORD, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir.Write("bad.hex", c.text);
        std::vector<uint8_t> buf(65536, 0x77);
        auto r = Load(path, buf);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.stored, 0);
        EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0x77; }));
    }
}

TEST(HexLibrary, UnreadableFile) {
    TTempDir dir;
    std::vector<uint8_t> buf(65536, 0);
    EXPECT_EQ(Load(dir.Path("missing.hex"), buf).code, RHB_UNREADABLE_FILE);
    EXPECT_EQ(Load(dir.Path(""), buf).code, RHB_UNREADABLE_FILE); // the folder itself
    EXPECT_EQ(Load("/dev/zero", buf).code, RHB_UNREADABLE_FILE);  // would never end a line
    EXPECT_EQ(DoOpenFile_HEX_Routine(nullptr, buf.data(), nullptr, nullptr), RHB_UNREADABLE_FILE);
}

} // namespace
