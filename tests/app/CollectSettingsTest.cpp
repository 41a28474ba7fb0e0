#include <gtest/gtest.h>

#include <functional>

#include "app/CollectSettings.h"
#include "platform/Errors.h"
#include "tests/protocol/EngineFixture.h"

namespace {

struct Row {
    const char *name;
    std::function<void(EngineState &)> setup;
    std::function<void(const VltContext &)> check;
};

} // namespace

TEST(CollectSettings, EachControlReachesItsSetting) {
    const Row rows[] = {
        {"address hex", [](EngineState &s) { s.Form->EditDevAddr.SetText("0x6C"); },
         [](const VltContext &c) { EXPECT_EQ(c.DeviceAddress, 0x6C); }},
        {"address decimal", [](EngineState &s) { s.Form->EditDevAddr.SetText("108"); },
         [](const VltContext &c) { EXPECT_EQ(c.DeviceAddress, 0x6C); }},
        {"address dollar", [](EngineState &s) { s.Form->EditDevAddr.SetText("$1F"); },
         [](const VltContext &c) { EXPECT_EQ(c.DeviceAddress, 0x1F); }},
        {"address low 8 bits", [](EngineState &s) { s.Form->EditDevAddr.SetText("0x16C"); },
         [](const VltContext &c) { EXPECT_EQ(c.DeviceAddress, 0x6C); }},
        {"address negative", [](EngineState &s) { s.Form->EditDevAddr.SetText(" -1"); },
         [](const VltContext &c) { EXPECT_EQ(c.DeviceAddress, 0xFF); }},
        {"VDD shut off", [](EngineState &s) { s.Form->CheckBoxPow.SetChecked(true); },
         [](const VltContext &c) { EXPECT_EQ(c.PowerFlags, 0x00); }},
        {"VDD kept on", [](EngineState &s) { s.Form->CheckBoxPow.SetChecked(false); },
         [](const VltContext &c) { EXPECT_EQ(c.PowerFlags, 0x80); }},
        {"ignore chip type",
         [](EngineState &s) {
             s.Form->CheckBoxPow.SetChecked(false);
             s.Form->ChkBoxIgChip.SetChecked(true);
         },
         [](const VltContext &c) { EXPECT_EQ(c.PowerFlags, 0x84); }},
        {"verify flags, PMBus verify ignored",
         [](EngineState &s) {
             s.ctx().VerifyFlags = 0xFF;
             s.Form->ChkBoxVfyE1.SetChecked(true);
         },
         [](const VltContext &c) { EXPECT_EQ(c.VerifyFlags, 0xDD); }},
        {"verify flags, PMBus verified",
         [](EngineState &s) {
             s.ctx().VerifyFlags = 0xFF;
             s.Form->ChkBoxVfyE1.SetChecked(false);
         },
         [](const VltContext &c) { EXPECT_EQ(c.VerifyFlags, 0x9D); }},
        {"times in 30 ms units",
         [](EngineState &s) {
             s.Form->SpinEditIn.SetValue(500);
             s.Form->SpinEditOut.SetValue(2000);
         },
         [](const VltContext &c) {
             EXPECT_EQ(c.ChipInTime, 16);
             EXPECT_EQ(c.TakeOffTime, 66);
         }},
        {"auto detect on", [](EngineState &s) { s.Form->CheckBoxAut.SetChecked(true); },
         [](const VltContext &c) { EXPECT_EQ(c.AutoDetect, 15); }},
        {"auto detect off", [](EngineState &s) { s.Form->CheckBoxAut.SetChecked(false); },
         [](const VltContext &c) { EXPECT_EQ(c.AutoDetect, 0); }},
        {"power-on time in 10 ms units", [](EngineState &s) { s.Form->SpinEditPowTM.SetValue(105); },
         [](const VltContext &c) { EXPECT_EQ(c.PowerOnTime, 10); }},
        {"family 5 SPI at 3.3 V",
         [](EngineState &s) {
             s.ctx().ChipFamily = 5;
             s.Form->RadioGrpPIF.ItemIndex = 1;
             s.Form->RadioGpVolt.ItemIndex = 0;
         },
         [](const VltContext &c) { EXPECT_EQ(c.InterfaceVoltage, 0x01); }},
        {"family 16 at 5.0 V",
         [](EngineState &s) {
             s.ctx().ChipFamily = 16;
             s.Form->RadioGpVolt.ItemIndex = 1;
         },
         [](const VltContext &c) { EXPECT_EQ(c.InterfaceVoltage, 0x38); }},
        {"other family at 2.5 V",
         [](EngineState &s) {
             s.ctx().ChipFamily = 48;
             s.ctx().InterfaceVoltage = 0xFF;
             s.Form->RadioGrpPIF.ItemIndex = 1;
             s.Form->RadioGpVolt.ItemIndex = 2;
         },
         [](const VltContext &c) { EXPECT_EQ(c.InterfaceVoltage, 0x04); }},
        {"quantity limit",
         [](EngineState &s) {
             s.Form->ChkBoxNumb.SetChecked(true);
             s.Form->SpinEditNumb.SetValue(1000000);
         },
         [](const VltContext &c) {
             EXPECT_EQ(c.QuantityLimitOn, 15);
             EXPECT_EQ(c.QuantityLimit, 1000000u);
         }},
        {"no quantity limit", [](EngineState &s) { s.Form->ChkBoxNumb.SetChecked(false); },
         [](const VltContext &c) { EXPECT_EQ(c.QuantityLimitOn, 0); }},
        {"generic area twice sets bit 4 only",
         [](EngineState &s) {
             s.ctx().RegListACount = 29;
             s.Form->ChkBoxEnGenc.SetChecked(true);
         },
         [](const VltContext &c) { EXPECT_EQ(c.RegListACount, 29 | 0x10); }},
        {"generic area once clears bit 4 only",
         [](EngineState &s) {
             s.ctx().RegListACount = 30;
             s.Form->ChkBoxEnGenc.SetChecked(false);
         },
         [](const VltContext &c) { EXPECT_EQ(c.RegListACount, 30 & ~0x10); }},
        {"list B kept for register data",
         [](EngineState &s) {
             s.ctx().MemoryImageFlag = 0;
             s.ctx().RegListBCount = 7;
         },
         [](const VltContext &c) { EXPECT_EQ(c.RegListBCount, 7); }},
        {"list B cleared for an image",
         [](EngineState &s) {
             s.ctx().MemoryImageFlag = 1;
             s.ctx().RegListBCount = 7;
         },
         [](const VltContext &c) { EXPECT_EQ(c.RegListBCount, 0); }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EngineState s;
        r.setup(s);
        CollectSettings(s.ctx());
        r.check(s.ctx());
    }
}

TEST(CollectSettings, ClockItemsGiveTheirDivisors) {
    const std::pair<int, uint8_t> cases[] = {{0, 60}, {1, 30}, {2, 15}, {3, 8}, {4, 6}, {7, 6}, {-1, 6}};
    for (auto [item, divisor] : cases) {
        EngineState s;
        s.Form->RadioGroupSpd.ItemIndex = item;
        CollectSettings(s.ctx());
        EXPECT_EQ(s.ctx().ClockDivisor, divisor) << "item " << item;
    }
}

TEST(CollectSettings, ClearsBlockPositionsOfIdleChannelsOnly) {
    EngineState s;
    VltContext &c = s.ctx();
    c.ChannelBlockPos = {8, 12, 16, 20};
    c.ChannelBusy = {0, 1, 0, 1};
    CollectSettings(c);
    EXPECT_EQ(c.ChannelBlockPos, (std::array<uint16_t, 4>{0, 12, 0, 20}));
}

TEST(CollectSettings, BadAddressStopsBeforeAnySettingChanges) {
    for (const char *text : {"0x", "1a", "12 ", "", "0x1G"}) {
        SCOPED_TRACE(text);
        EngineState s;
        VltContext &c = s.ctx();
        c.ChannelBlockPos = {8, 12, 16, 20};
        c.ChannelBusy = {0, 1, 0, 0};
        c.DeviceAddress = 0x5A;
        c.PowerFlags = 0x11;
        c.ClockDivisor = 99;
        c.ChipInTime = 3;
        c.RegListBCount = 4;
        c.MemoryImageFlag = 1;
        s.Form->EditDevAddr.SetText(text);
        try {
            CollectSettings(c);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError &e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + text + "' is not a valid integer value");
        }
        EXPECT_EQ(c.ChannelBlockPos, (std::array<uint16_t, 4>{0, 12, 0, 0}));
        EXPECT_EQ(c.DeviceAddress, 0x5A);
        EXPECT_EQ(c.PowerFlags, 0x11);
        EXPECT_EQ(c.ClockDivisor, 99);
        EXPECT_EQ(c.ChipInTime, 3);
        EXPECT_EQ(c.RegListBCount, 4);
    }
}

TEST(CollectSettings, WindowDefaultsGiveTheFirstShowSettings) {
    EngineState s;
    CollectSettings(s.ctx());
    const VltContext &c = s.ctx();
    EXPECT_EQ(c.DeviceAddress, 0);
    EXPECT_EQ(c.PowerFlags, 0x00);       // VDD shut off, chip type matched
    EXPECT_EQ(c.VerifyFlags, 0x40);      // PMBus verify ignored
    EXPECT_EQ(c.ChipInTime, 16);         // 500 ms
    EXPECT_EQ(c.TakeOffTime, 16);        // 500 ms
    EXPECT_EQ(c.AutoDetect, 0);          // unchecked
    EXPECT_EQ(c.PowerOnTime, 10);        // 100 ms
    EXPECT_EQ(c.InterfaceVoltage, 0x04); // 2.5 V
    EXPECT_EQ(c.QuantityLimitOn, 0);
    EXPECT_EQ(c.QuantityLimit, 1000u);
    EXPECT_EQ(c.ClockDivisor, 60);
}
