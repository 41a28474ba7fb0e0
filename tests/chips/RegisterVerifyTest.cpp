#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "chips/RegisterLists.h"
#include "protocol/RegisterVerify.h"

namespace {

using Kind = RecordingDialogs::Kind;
using Lines_t = std::vector<std::string>;

struct RegisterVerify : ChipsFixture {
    int n = 1;
    RegisterVerify() {
        for (auto &p : ctx.PacketBuf)
            p.fill(0);
        ctx.DataBuffer.fill(0);
    }
    uint8_t *Payload(int ch = 0) { return ctx.PacketBuf[static_cast<size_t>((ch ? ch : n) - 1)].data() + 8; }
    std::string L(const std::string &text, int ch = 0) {
        return std::string(kStamp) + "Device " + std::to_string(ch ? ch : n) + " : " + text;
    }
    void Start() {
        form.InfoMemo.Clear();
        Dialogs.Calls.clear();
        ctx.ChannelOpCode[static_cast<size_t>(n - 1)] = OpVerify;
        ctx.ChannelBusy[static_cast<size_t>(n - 1)] = 1;
    }
    void Record(size_t at, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes)
            ctx.DataBuffer[at++] = b;
    }
    // The lines of a run that found these differences, with the common end.
    Lines_t Failed(Lines_t diffs) {
        Lines_t out;
        for (auto &d : diffs)
            out.push_back(L(d));
        out.push_back(L("Operation Failed!"));
        out.push_back(L("Data Verify Error!"));
        return out;
    }
    Lines_t Succeeded() {
        return {L("Chip Verify Success!"), L("Operation Success!"), L("Operation Success!")};
    }
    void ExpectEnded(bool failed) {
        EXPECT_EQ(ctx.ChannelOpCode[static_cast<size_t>(n - 1)], OpIdle);
        EXPECT_EQ(ctx.ChannelBusy[static_cast<size_t>(n - 1)], 0);
        if (failed)
            EXPECT_EQ(Dialogs.Calls,
                      (std::vector<RecordingDialogs::Call>{{Kind::Error, "Data Verify Error!"}}));
        else
            EXPECT_EQ(Dialogs.Calls, (std::vector<RecordingDialogs::Call>{
                                         {Kind::Beep, ""}, {Kind::Information, "Operation Success!"}}));
    }
};

TEST_F(RegisterVerify, ReplyTableLookup) {
    n = 2;
    uint8_t *p = Payload();
    p[4 * 3] = 0x21;
    p[4 * 3 + 1] = 0x11;
    p[4 * 9] = 0x21; // the later entry wins
    p[4 * 9 + 1] = 0x99;
    p[4 * 5] = 0x30;
    p[4 * 5 + 1] = 0x44;
    p[4 * 22] = 0x40; // entry 22 is past the table
    p[4 * 22 + 1] = 0x55;
    EXPECT_EQ(ReplyTableLookup(ctx, 2, 0x21), 0x99);
    EXPECT_EQ(ReplyTableLookup(ctx, 2, 0x30), 0x44);
    EXPECT_EQ(ReplyTableLookup(ctx, 2, 0x40), 0);
    EXPECT_EQ(ReplyTableLookup(ctx, 2, 0x77), 0);
    EXPECT_EQ(ReplyTableLookup(ctx, 1, 0x21), 0); // another channel's table
}

TEST_F(RegisterVerify, RegsAComparesMaskedValues) {
    struct Case {
        const char *Name;
        std::vector<std::array<uint8_t, 4>> Records; // key, value, mask, unused
        std::vector<std::pair<uint8_t, uint8_t>> Table;
        Lines_t Diffs; // empty: success
    } const cases[] = {
        {"equal", {{0x10, 0x5A, 0xFF, 0}}, {{0x10, 0x5A}}, {}},
        {"masked bits ignored", {{0x10, 0x5A, 0x0F, 0}}, {{0x10, 0xFA}}, {}},
        {"mask 0 always matches", {{0x10, 0x5A, 0x00, 0}}, {}, {}},
        {"absent key reads 0",
         {{0x22, 0x31, 0x3F, 0xEE}},
         {},
         {"Verify Fail,Register=0x22,Buffer=0x31,Chip=0x00!"}},
        {"masked values printed",
         {{0x10, 0xFF, 0xF0, 0}, {0x11, 1, 0xFF, 0}},
         {{0x10, 0x0F}, {0x11, 1}},
         {"Verify Fail,Register=0x10,Buffer=0xF0,Chip=0x00!"}},
        {"every difference",
         {{0x01, 1, 0xFF, 0}, {0x02, 2, 0xFF, 0}},
         {{0x01, 9}, {0x02, 8}},
         {"Verify Fail,Register=0x01,Buffer=0x01,Chip=0x09!",
          "Verify Fail,Register=0x02,Buffer=0x02,Chip=0x08!"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ctx.DataBuffer.fill(0);
        ctx.PacketBuf[0].fill(0);
        for (size_t i = 0; i < c.Records.size(); ++i)
            std::copy(c.Records[i].begin(), c.Records[i].end(),
                      ctx.DataBuffer.begin() + 4 * static_cast<long>(i));
        // Fill the table from entry 0 on; the other entries keep key 0.
        for (size_t t = 0; t < c.Table.size(); ++t) {
            Payload()[4 * t] = c.Table[t].first;
            Payload()[4 * t + 1] = c.Table[t].second;
        }
        ctx.RecordCount = static_cast<uint16_t>(c.Records.size());
        Start();
        VerifyRegsA(ctx, n);
        EXPECT_EQ(Lines(), c.Diffs.empty() ? Succeeded() : Failed(c.Diffs));
        ExpectEnded(!c.Diffs.empty());
    }
}

TEST_F(RegisterVerify, CmdListRecords) {
    struct Case {
        const char *Name;
        std::array<uint8_t, 8> Data, Chip;
        bool IgnorePmbus;
        Lines_t Diffs;
    } const cases[] = {
        {"code 0 skipped", {0, 2, 1, 2, 3, 4, 5, 6}, {}, true, {}},
        {"special command skipped while ignored", {0xD0, 1, 1, 0, 0, 0, 0, 0}, {}, true, {}},
        {"special command compared otherwise",
         {0xD0, 1, 1, 0, 0, 0, 0, 0},
         {},
         false,
         {"Verify Fail,Command=0xD0,Buffer=0x01,Chip=0x00!"}},
        {"length 1 compares the low bytes only",
         {0x20, 1, 1, 0xAA, 2, 0xBB, 3, 0xCC},
         {0, 0, 1, 0, 2, 0, 3, 0},
         true,
         {}},
        {"low bytes before high bytes",
         {0x20, 2, 1, 0xAA, 2, 0xBB, 3, 0xCC},
         {0, 0, 1, 0, 2, 0, 3, 0},
         true,
         {"Verify Fail,Command=0x20,Buffer=0xAA,Chip=0x00!"}},
        {"first of several differences",
         {0x21, 2, 1, 2, 3, 4, 5, 6},
         {0, 0, 1, 2, 9, 9, 9, 9},
         true,
         {"Verify Fail,Command=0x21,Buffer=0x03,Chip=0x09!"}},
        {"length 0 compares nothing", {0x22, 0, 1, 2, 3, 4, 5, 6}, {}, true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ctx.DataBuffer.fill(0);
        ctx.PacketBuf[0].fill(0);
        std::copy(c.Data.begin(), c.Data.end(), ctx.DataBuffer.begin());
        std::copy(c.Chip.begin(), c.Chip.end(), Payload());
        // A second record, always differing, shows that the walk goes on.
        Record(8, {0x30, 1, 7, 0, 0, 0, 0, 0});
        ctx.RecordCount = 2;
        ctx.SpecialCommand = 0xD0;
        form.ChkBoxVfyE1.SetChecked(c.IgnorePmbus);
        Start();
        VerifyCmdList(ctx, n);
        Lines_t diffs = c.Diffs;
        diffs.push_back("Verify Fail,Command=0x30,Buffer=0x07,Chip=0x00!");
        EXPECT_EQ(Lines(), Failed(diffs));
        ExpectEnded(true);
    }
}

struct Fam48Case {
    const char *Name;
    std::vector<std::array<uint8_t, 4>> Records; // section, unused, register, data
    std::vector<uint8_t> Chip;                   // read-back data of each record, at payload 4i + 3
    Lines_t Diffs;
};

TEST_F(RegisterVerify, Fam48PagedRegisters) {
    const Fam48Case cases[] = {
        {"equal", {{0x00, 0x50, 0x20, 0x5A}}, {0x5A}, {}},
        {"difference unmasked, page 0 before any page entry",
         {{0x10, 0x50, 0x21, 0x5A}},
         {0x58},
         {"Verify Fail,Register=0x0021,Buffer=0x5A,Chip=0x58!"}},
        {"page entry sets the page",
         {{0, 0x50, 0xFF, 0x01}, {0, 0x50, 0x23, 0x5A}},
         {0x00, 0x58},
         {"Verify Fail,Register=0x0123,Buffer=0x5A,Chip=0x58!"}},
        {"other sections neither compare nor change the page",
         {{0x35, 0x50, 0xFF, 0x07},
          {0x20, 0x50, 0x30, 0x01},
          {0xF0, 0x1E, 0x84, 0x80},
          {0, 0x50, 0x31, 0x01}},
         {0, 0, 0, 0x02},
         {"Verify Fail,Register=0x0031,Buffer=0x01,Chip=0x02!"}},
        {"registers E0 to FF never compared",
         {{0, 0x50, 0xE0, 1}, {0, 0x50, 0xFE, 1}, {0, 0x50, 0xFF, 3}},
         {0, 0, 0},
         {}},
        {"list A left out",
         {{0, 0x50, 0x1A, 0x11}, {0, 0x50, 0xFF, 0x0D}, {0, 0x50, 0x16, 0x22}},
         {0, 0, 0},
         {}},
        {"list B masks", {{0, 0x50, 0x13, 0xFF}}, {0x7F}, {}},
        {"list B mask still finds its bits",
         {{0, 0x50, 0x13, 0xFF}},
         {0x80},
         {"Verify Fail,Register=0x0013,Buffer=0xFF,Chip=0x80!"}},
        {"key 0x0010 compares 6 bits", {{0, 0x50, 0x10, 0xC1}}, {0x01}, {}},
        {"key 0x0010 low bits differ",
         {{0, 0x50, 0x10, 0xC1}},
         {0xC3},
         {"Verify Fail,Register=0x0010,Buffer=0xC1,Chip=0xC3!"}},
        {"key 0x0110 compared on its full mask",
         {{0, 0x50, 0xFF, 0x01}, {0, 0x50, 0x10, 0xC1}},
         {0, 0x01},
         {"Verify Fail,Register=0x0110,Buffer=0xC1,Chip=0x01!"}},
    };
    // Lists: A holds 0x001A and 0x0D16, B masks 0x0013 with 0x7F.
    ctx.RegListA.fill(0);
    ctx.RegListB.fill(0);
    const uint8_t a[] = {0x1A, 0x00, 0x16, 0x0D, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t b[] = {0x13, 0x00, 0x7F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(a), std::end(a), ctx.RegListA.begin());
    std::copy(std::begin(b), std::end(b), ctx.RegListB.begin());
    ctx.RegListAKeys = 2;
    ctx.RegListACount = 2 | 0x10; // the Generic-area bit does not widen the list
    ctx.RegListBCount = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ctx.DataBuffer.fill(0);
        ctx.PacketBuf[0].fill(0);
        for (size_t i = 0; i < c.Records.size(); ++i) {
            std::copy(c.Records[i].begin(), c.Records[i].end(),
                      ctx.DataBuffer.begin() + 4 * static_cast<long>(i));
            Payload()[4 * i + 3] = c.Chip[i];
        }
        ctx.RecordCount = static_cast<uint16_t>(c.Records.size());
        Start();
        VerifyRegsFam48(ctx, n);
        EXPECT_EQ(Lines(), c.Diffs.empty() ? Succeeded() : Failed(c.Diffs));
        ExpectEnded(!c.Diffs.empty());
    }
}

TEST_F(RegisterVerify, Fam48WithTheCatalogueListsNeverReportsListA) {
    LoadRegListsTag32(ctx);
    // Every key of list A, each with a wrong read-back value, on its page.
    size_t i = 0;
    for (size_t k = 0; k < ctx.RegListAKeys; ++k) {
        const uint8_t reg = ctx.RegListA[2 * k], page = ctx.RegListA[2 * k + 1];
        Record(4 * i++, {0, 0x50, 0xFF, page});
        Record(4 * i, {0x10, 0x50, reg, 0x12});
        Payload()[4 * i++ + 3] = 0x34;
    }
    ctx.RecordCount = static_cast<uint16_t>(i);
    ctx.RegListACount &= static_cast<uint8_t>(~0x10);
    Start();
    VerifyRegsFam48(ctx, n);
    EXPECT_EQ(Lines(), Succeeded());
}

TEST_F(RegisterVerify, Fam5ConfigurationRegisters) {
    ctx.PreambleCount = 2;
    // Preamble entries differ but are not compared.
    Record(0, {0x01, 0x00, 0x11, 0});
    Record(4, {0x02, 0x00, 0x22, 0});
    Record(8, {0x0B, 0x00, 0x33, 0});  // skipped register
    Record(12, {0x3A, 0x05, 0x44, 0}); // skipped
    Record(16, {0x3B, 0x05, 0x55, 0}); // skipped
    Record(20, {0x34, 0x12, 0x5A, 0});
    Record(24, {0x35, 0x12, 0x01, 0});
    Payload()[22] = 0x58;
    Payload()[26] = 0x01;
    ctx.RecordCount = 5;
    Start();
    VerifyRegsFam5(ctx, n);
    EXPECT_EQ(Lines(), Failed({"Verify Fail,Register=0x1234,Buffer=0x5A,Chip=0x58!"}));
    ExpectEnded(true);
}

TEST_F(RegisterVerify, Fam16RegisterRange) {
    struct Case {
        const char *Name;
        uint8_t First, End, Param1, SubType;
        std::vector<std::pair<int, uint8_t>> Data, Chip;
        Lines_t Diffs;
    } const cases[] = {
        {"end below first", 5, 4, 0, 0, {{4, 1}, {5, 1}}, {}, {}},
        {"8-bit difference",
         0x10,
         0x12,
         0,
         0,
         {{0x11, 0xAB}},
         {{0x11, 0xCD}},
         {"Verify Fail,Register=0x11,Buffer=0xAB,Chip=0xCD!"}},
        {"8-bit outside the range", 0x10, 0x12, 0, 0, {{0x0F, 1}, {0x13, 1}}, {}, {}},
        {"tag 2 flagged index left out",
         0x40,
         0x47,
         0,
         2,
         {{0x42, 1}, {0x46, 1}, {0x44, 3}},
         {},
         {"Verify Fail,Register=0x44,Buffer=0x03,Chip=0x00!"}},
        {"other tag compares every index",
         0x42,
         0x42,
         0,
         3,
         {{0x42, 1}},
         {},
         {"Verify Fail,Register=0x42,Buffer=0x01,Chip=0x00!"}},
        {"16-bit words low byte first",
         0x01,
         0x02,
         4,
         0,
         {{2, 0x34}, {3, 0x12}, {4, 7}},
         {{2, 0x34}, {3, 0x13}, {4, 7}},
         {"Verify Fail,Register=0x01,Buffer=0x1234,Chip=0x1334!"}},
        {"16-bit mode compares flagged indices",
         0x42,
         0x42,
         4,
         2,
         {{0x84, 1}},
         {},
         {"Verify Fail,Register=0x42,Buffer=0x0001,Chip=0x0000!"}},
        {"whole range", 0x00, 0xFF, 4, 0, {{511, 9}}, {{511, 9}}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ctx.DataBuffer.fill(0);
        ctx.PacketBuf[0].fill(0);
        for (auto [i, v] : c.Data)
            ctx.DataBuffer[static_cast<size_t>(i)] = v;
        for (auto [i, v] : c.Chip)
            Payload()[i] = v;
        ctx.RegFirst = c.First;
        ctx.RegEnd = c.End;
        ctx.FamilyParam1 = c.Param1;
        ctx.ChipSubType = c.SubType;
        Start();
        VerifyRegsFam16(ctx, n);
        EXPECT_EQ(Lines(), c.Diffs.empty() ? Succeeded() : Failed(c.Diffs));
        ExpectEnded(!c.Diffs.empty());
    }
}

TEST_F(RegisterVerify, Fam64Block) {
    struct Case {
        const char *Name;
        std::vector<int> Differ; // payload indices that differ from DataBuffer[256 + i]
        bool Failed;
    } const cases[] = {{"equal", {}, false},
                       {"index 120 ignored", {120}, false},
                       {"index 0", {0}, true},
                       {"index 127 and 120", {120, 127}, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        for (int i = 0; i < 128; ++i) {
            ctx.DataBuffer[256 + static_cast<size_t>(i)] = static_cast<uint8_t>(i);
            Payload()[i] = static_cast<uint8_t>(i);
        }
        for (int i : c.Differ)
            Payload()[i] ^= 0x80;
        Start();
        VerifyBlockFam64(ctx, n);
        if (c.Failed) {
            EXPECT_EQ(Lines(), (Lines_t{L("Operation Failed!"), L("Data Verify Error!")}));
            ExpectEnded(true);
        } else {
            // A success shows no dialog.
            EXPECT_EQ(Lines(), (Lines_t{L("Chip Verify Success!"), L("Operation Success!")}));
            EXPECT_TRUE(Dialogs.Calls.empty());
        }
    }
}

TEST_F(RegisterVerify, Fam224DoesNothing) {
    Start();
    VerifyNoneFam224(ctx, n);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Dialogs.Calls.empty());
    EXPECT_EQ(ctx.ChannelOpCode[0], OpVerify);
}

TEST_F(RegisterVerify, ChannelSelectsPacketAreaAndPrefix) {
    n = 3;
    Record(0, {0, 0x50, 0x21, 0x5A});
    Payload(3)[3] = 0x58;
    Payload(1)[3] = 0x5A; // channel 1's reply would match
    ctx.RecordCount = 1;
    Start();
    VerifyRegsFam48(ctx, 3);
    EXPECT_EQ(Lines(), Failed({"Verify Fail,Register=0x0021,Buffer=0x5A,Chip=0x58!"}));
    EXPECT_EQ(ctx.ChannelOpCode[2], OpIdle);
    EXPECT_EQ(form.GaugeBar3.ForeColor, TColor::Red);
}

// Counts and ranges that would take a walk out of the data buffer or the
// channel's packet area. The channel's own reply matches the data wherever
// it can be read; the bytes behind its area (the next channel's packet, or
// what follows the last) differ, so a walk that strays reports them.
TEST_F(RegisterVerify, HostileCountsStayInsideBothBuffers) {
    for (int ch : {1, 4}) {
        SCOPED_TRACE(ch);
        n = ch;
        for (auto &p : ctx.PacketBuf)
            p.fill(0xEE);
        ctx.WireBuf[0].fill(0xEE);

        // Family 48: 65535 records of register 0x01 = 0x55.
        for (size_t i = 0; i < kBufferSize; i += 4)
            Record(i, {0, 0x50, 0x01, 0x55});
        for (size_t i = 0; 4 * i + 3 < kPacketSize - 8; ++i)
            Payload()[4 * i + 3] = 0x55;
        ctx.RecordCount = 0xFFFF;
        ctx.RegListAKeys = 0;
        ctx.RegListBCount = 0;
        Start();
        VerifyRegsFam48(ctx, n);
        EXPECT_EQ(Lines(), Succeeded());

        // Family 5 with a preamble past the reply and one reaching into its end.
        for (uint16_t pre : {0xFFFF, 0x4000, 2555}) {
            for (size_t i = 0; i < kBufferSize; i += 4)
                Record(i, {0x01, 0x00, 0x55, 0});
            for (size_t i = 2; i < kPacketSize - 8; i += 4)
                Payload()[i] = 0x55;
            ctx.PreambleCount = pre;
            Start();
            VerifyRegsFam5(ctx, n);
            EXPECT_EQ(Lines(), Succeeded()) << pre;
        }

        // Command records: 8192 records of length 255, each reading far past its own record.
        for (size_t i = 0; i < kBufferSize; i += 8)
            Record(i, {0x42, 0xFF, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55});
        std::fill_n(Payload(), kPacketSize - 8, uint8_t{0});
        for (size_t i = 0; i < kPacketSize - 8; ++i)
            Payload()[i] = ctx.DataBuffer[i];
        ctx.RecordCount = 0xFFFF;
        form.ChkBoxVfyE1.SetChecked(false);
        Start();
        VerifyCmdList(ctx, n);
        EXPECT_EQ(Lines(), Succeeded());

        // Register/value/mask list over the whole buffer.
        for (size_t i = 0; i < kBufferSize; i += 4)
            Record(i, {0x07, 0x00, 0xFF, 0});
        ctx.RecordCount = 0xFFFF;
        Start();
        VerifyRegsA(ctx, n);
        EXPECT_EQ(Lines(), Succeeded());
    }
}

} // namespace
