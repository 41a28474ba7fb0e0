#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "chips/FamilySetup.h"
#include "protocol/Frame.h"

namespace {

using FamilySetup = ChipsFixture;

enum Vis : int8_t { Keep = -1, Hide = 0, Show = 1 };

struct SetupCase {
    const char *Name;
    void (*Setup)(VltContext &, const std::string &);
    uint8_t SubType;
    int DataKB, DataSize; // -1: unchanged
    uint32_t ChecksumEnd;
    int PowerOnTime;
    Vis VfyE1, Spd, IgChip, RdInfo, PIF, Volt, Pow, Verify;
    int VoltIndex, PIFIndex, SpdIndex; // -1: unchanged
};

// Rows of the family table; a control marked Keep keeps the chip change's common state.
const SetupCase kCases[] = {
    {"00 sub 15", SetupFamily00, 15, 4, 4096, 4095, 10, Show, Show, Show, Show, Keep, Keep, Keep, Keep, -1,
     -1, -1},
    {"00 sub 16", SetupFamily00, 16, 4, 4096, 4095, 10, Hide, Show, Hide, Hide, Keep, Keep, Keep, Keep, -1,
     -1, -1},
    {"05", SetupFamily05, 0, 4, 4096, 4095, 60, Hide, Show, Hide, Show, Show, Keep, Keep, Keep, -1, 1, -1},
    {"10", SetupFamily10, 0, 4, 4096, 4095, 10, Hide, Keep, Keep, Keep, Hide, Keep, Keep, Keep, -1, -1, -1},
    {"18 sub 15", SetupFamily18, 15, -1, -1, 777, 10, Hide, Keep, Hide, Hide, Hide, Keep, Hide, Hide, -1, -1,
     -1},
    {"20", SetupFamily20, 0, 16, 16384, 16383, 10, Hide, Show, Hide, Show, Keep, Keep, Keep, Keep, 1, -1, -1},
    {"30", SetupFamily30, 2, 4, 4096, 4095, 60, Hide, Show, Hide, Show, Show, Keep, Keep, Keep, 2, 0, -1},
    {"40", SetupFamily40, 0, 4, 4096, 4095, 10, Hide, Keep, Hide, Keep, Hide, Hide, Hide, Keep, -1, -1, -1},
    {"E0", SetupFamilyE0, 0, 1, 1024, 255, 10, Hide, Hide, Hide, Show, Keep, Keep, Keep, Keep, 1, -1, -1},
    {"other", SetupFamilyOther, 0, -1, -1, 2999, 10, Hide, Show, Hide, Hide, Keep, Keep, Keep, Keep, 1, -1,
     1},
};

void ExpectVis(const char *what, bool actual, Vis want, bool before) {
    EXPECT_EQ(actual, want == Keep ? before : want == Show) << what;
}

TEST_F(FamilySetup, EveryFamilyRow) {
    for (const auto &c : kCases) {
        // Every control starts once shown and once hidden, so that a change and a kept state both show.
        for (bool before : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (before ? " shown" : " hidden"));
            auto fresh = std::make_unique<VltContext>();
            auto win = std::make_unique<TProgramVLT>();
            VltContext &x = *fresh;
            TProgramVLT &f = *win;
            x.Form = &f;
            x.ChipSubType = c.SubType;
            // A previous chip's sizes and the chip change's power-on time.
            x.DataKB = 3;
            x.DataSize = 3000;
            x.ChecksumEnd = 777;
            x.DataEndIndex = 1234;
            x.PowerOnTime = 10;
            for (TControl *ctl : std::initializer_list<TControl *>{
                     &f.ChkBoxVfyE1, &f.RadioGroupSpd, &f.ChkBoxIgChip, &f.SpdButtnRdInfo, &f.RadioGrpPIF,
                     &f.RadioGpVolt, &f.CheckBoxPow, &f.SpdBtnVerify})
                ctl->Visible = before;
            f.ReadChipInformation1.Visible = before;
            f.RadioGrpPIF.Enabled = true;
            f.RadioGroupSpd.ItemIndex = 0;
            f.RadioGpVolt.ItemIndex = 0;
            f.RadioGrpPIF.ItemIndex = 1;

            c.Setup(x, "Vt7115");

            EXPECT_EQ(x.DataKB, c.DataKB < 0 ? 3 : c.DataKB);
            EXPECT_EQ(x.DataSize, c.DataSize < 0 ? 3000 : c.DataSize);
            EXPECT_EQ(x.ChecksumStart, 0u);
            EXPECT_EQ(x.ChecksumEnd, c.ChecksumEnd);
            EXPECT_EQ(x.PowerOnTime, c.PowerOnTime);
            ExpectVis("VfyE1", f.ChkBoxVfyE1.Visible, c.VfyE1, before);
            ExpectVis("Spd", f.RadioGroupSpd.Visible, c.Spd, before);
            ExpectVis("IgChip", f.ChkBoxIgChip.Visible, c.IgChip, before);
            ExpectVis("RdInfo", f.SpdButtnRdInfo.Visible, c.RdInfo, before);
            // The family-24 row hides the button but leaves the menu item.
            ExpectVis("menu item", f.ReadChipInformation1.Visible, c.Setup == SetupFamily18 ? Keep : c.RdInfo,
                      before);
            ExpectVis("PIF", f.RadioGrpPIF.Visible, c.PIF, before);
            ExpectVis("Volt", f.RadioGpVolt.Visible, c.Volt, before);
            ExpectVis("Pow", f.CheckBoxPow.Visible, c.Pow, before);
            ExpectVis("Verify", f.SpdBtnVerify.Visible, c.Verify, before);
            EXPECT_EQ(f.RadioGpVolt.ItemIndex, c.VoltIndex < 0 ? 0 : c.VoltIndex);
            EXPECT_EQ(f.RadioGrpPIF.ItemIndex, c.PIFIndex < 0 ? 1 : c.PIFIndex);
            EXPECT_EQ(f.RadioGroupSpd.ItemIndex, c.SpdIndex < 0 ? 0 : c.SpdIndex);
            EXPECT_EQ(f.RadioGrpPIF.Enabled, c.Setup != SetupFamily30);
            const bool imageFamily = c.Setup == SetupFamilyOther;
            EXPECT_EQ(x.MemoryImageFlag, imageFamily ? 1 : 0);
            // Only the 16 KB family and the image families move the data range.
            if (c.Setup == SetupFamily20)
                EXPECT_EQ(x.DataEndIndex, 16383u);
            else if (imageFamily)
                EXPECT_EQ(x.DataEndIndex, 2999u);
            else
                EXPECT_EQ(x.DataEndIndex, 1234u);
        }
    }
}

TEST_F(FamilySetup, Family24FillsAndSumsItsImage) {
    struct {
        uint8_t SubType;
        bool FilesEnabled;
    } const cases[] = {{15, false}, {16, true}, {0x20, true}};
    for (const auto &c : cases) {
        ctx.DataBuffer.fill(0x11);
        ctx.ChipSubType = c.SubType;
        ctx.DataLoaded = 0;
        form.SpdBtnOpen.Enabled = !c.FilesEnabled;
        form.SpdBtnSave.Enabled = !c.FilesEnabled;
        SetupFamily18(ctx);
        EXPECT_EQ(ctx.DataLoaded, 1);
        EXPECT_EQ(form.SpdBtnOpen.Enabled, c.FilesEnabled);
        EXPECT_EQ(form.SpdBtnSave.Enabled, c.FilesEnabled);
        EXPECT_EQ(ctx.DataBuffer[0], 0xFF);
        EXPECT_EQ(ctx.DataBuffer[16533], 0xFF);
        EXPECT_EQ(ctx.DataBuffer[16534], 0x11);
        EXPECT_EQ(ctx.ImageSum, 0xF000);
        EXPECT_EQ(ctx.ImageCheckWord, FrameChecksum(ctx.DataBuffer, 0, 4095));
    }
}

TEST_F(FamilySetup, UnlistedFamilyAfterStartUpEndsAt4095) {
    ctx.DataSize = 4096;
    SetupFamilyOther(ctx);
    EXPECT_EQ(ctx.ChecksumEnd, 4095u);
    EXPECT_EQ(ctx.DataEndIndex, 4095u);
    EXPECT_EQ(ctx.MemoryImageFlag, 1);
}

TEST_F(FamilySetup, CountImageEntries) {
    struct {
        std::vector<std::pair<int, uint8_t>> Bytes; // index, value
        int Count;
    } const cases[] = {
        {{}, 0},
        {{{2, 5}, {3, 5}, {4, 1}}, 0}, // entry 0's bytes 0 and 1 are 0: nothing counts after
                                       // it
        {{{0, 1}}, 1},
        {{{1, 1}, {4, 1}, {9, 1}}, 3},
        {{{0, 1}, {8, 1}}, 1}, // a gap ends the count
    };
    for (const auto &c : cases) {
        ctx.DataBuffer.fill(0);
        for (auto [i, v] : c.Bytes)
            ctx.DataBuffer[static_cast<size_t>(i)] = v;
        EXPECT_EQ(CountImageEntries(ctx), c.Count);
    }
    ctx.DataBuffer.fill(0xFF);
    EXPECT_EQ(CountImageEntries(ctx), 32);
}

} // namespace
