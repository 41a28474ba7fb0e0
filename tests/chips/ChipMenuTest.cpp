#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipMenu.h"
#include "forms/ChipSeltForm.h"

namespace {

struct ChipMenu : ChipsFixture {
    TChipSeltForm &menu = form.ChipSeltForm;
    int changes = 0;
    ChipMenu() {
        WireChipSeltForm(ctx, menu);
        form.MCUNameEdit.OnChange = [this] { ++changes; };
    }
};

TEST_F(ChipMenu, ShowAndClicksPopTheMenuAtTheStoredPosition) {
    SetChipMenuPos(ctx, 300, 200);
    using THandler = void (*)(VltContext &, TChipSeltForm &);
    unsigned popups = menu.PopupMenuXF.PopupRequests;
    for (THandler h : {THandler{FormShow}, THandler{FormClick}, THandler{Label1Click}}) {
        menu.Left = menu.Top = 0;
        h(ctx, menu);
        EXPECT_EQ(menu.Left, 305);
        EXPECT_EQ(menu.Top, 250);
        EXPECT_EQ(menu.PopupMenuXF.PopupX, 300);
        EXPECT_EQ(menu.PopupMenuXF.PopupY, 200);
        EXPECT_EQ(menu.PopupMenuXF.PopupRequests, ++popups);
    }
}

TEST_F(ChipMenu, ItemsOfTheFormMatchTheCatalogue) {
    ASSERT_EQ(menu.PopupMenuXF.Items.size(), static_cast<size_t>(kChipModelCount));
    for (int i = 0; i < kChipModelCount; ++i) {
        const TMenuItem &item = *menu.PopupMenuXF.Items[static_cast<size_t>(i)];
        const TChipModel &m = ChipModels()[static_cast<size_t>(i)];
        EXPECT_EQ(item.Caption, m.Caption);
        EXPECT_EQ(item.Tag, m.Tag);
        EXPECT_EQ(item.Visible, m.Shown);
    }
}

TEST_F(ChipMenu, EveryItemChoosesItsModelAndClosesTheForm) {
    for (int i = 0; i < kChipModelCount; ++i) {
        const TChipModel &m = ChipModels()[static_cast<size_t>(i)];
        SCOPED_TRACE(std::string(m.Caption));
        form.MCUNameEdit.SetText("Please Select Chip...");
        changes = 0;
        menu.Showing = true;
        ctx.ChipFamily = 0;
        menu.PopupMenuXF.Items[static_cast<size_t>(i)]->Click();
        EXPECT_EQ(form.MCUNameEdit.Text(), m.Caption);
        EXPECT_EQ(changes, 1);
        EXPECT_FALSE(menu.Showing);
        EXPECT_EQ(ctx.ChipFamily, 48);
        EXPECT_EQ(ctx.ChipSubType, m.Tag);
        EXPECT_EQ(ctx.ChipId, m.ChipId);
    }
}

// The chip type field fires its change event only for a new text, so choosing
// the model shown again rewrites the parameters but runs no setup.
TEST_F(ChipMenu, ChoosingTheShownModelAgainChangesNoText) {
    menu.Vt71171.Click();
    ASSERT_EQ(changes, 1);
    ctx.RegListAKeys = 0;
    ctx.DeviceAddress = 0;
    menu.Showing = true;
    menu.Vt71171.Click();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ctx.RegListAKeys, 28); // the parameters and lists are written again
    EXPECT_EQ(ctx.DeviceAddress, 0x6C);
    EXPECT_FALSE(menu.Showing);
}

} // namespace
