#include <gtest/gtest.h>

#include <functional>

#include "app/CommandButtons.h"
#include "platform/Errors.h"
#include "protocol/Frame.h"
#include "tests/protocol/EngineFixture.h"

using Kind = RecordingDialogs::Kind;

namespace {

struct Snapshot {
    std::array<uint8_t, 4> op, busy;
    std::array<uint16_t, 4> pos, timeout;
    uint16_t transferKB;
    uint8_t deviceAddress;
    bool operator==(const Snapshot &) const = default;
};
Snapshot Take(const VltContext &c) {
    return {c.ChannelOpCode,  c.ChannelBusy, c.ChannelBlockPos,
            c.ChannelTimeout, c.TransferKB,  c.DeviceAddress};
}

struct Rig : EngineState {
    Rig() {
        ctx().ChannelOpCode = {OpIdle, OpIdle, OpIdle, OpIdle};
        ctx().ChannelBlockPos = {4, 8, 12, 16};
        ctx().TransferKB = 9;
        ctx().DeviceAddress = 0x11;
        Form->EditDevAddr.SetText("0x44");
    }
    void ConnectAll() { ctx().ChannelConnected = {1, 1, 1, 1}; }
    uint8_t SentCommand(int n) const { return Ctx->PacketBuf[static_cast<size_t>(n - 1)][0]; }
    uint16_t SentParam(int n) const { return GetU16(Ctx->PacketBuf[static_cast<size_t>(n - 1)], 1); }
    uint16_t SentPayload(int n) const { return GetU16(Ctx->PacketBuf[static_cast<size_t>(n - 1)], 6); }
};

} // namespace

TEST(CommandButtons, GuardsShowTheirBoxAndChangeNothing) {
    struct Case {
        const char *name;
        void (*click)(VltContext &);
        std::function<void(Rig &)> setup;
        const char *text;
        bool connected = true;
    };
    auto none = [](Rig &) {};
    auto chipOnly = [](Rig &r) { r.ctx().ChipChosen = 1; };
    auto dataOnly = [](Rig &r) { r.ctx().DataLoaded = 1; };
    auto family = [](uint8_t fam) {
        return [fam](Rig &r) {
            r.ctx().ChipChosen = 1;
            r.ctx().ChipFamily = fam;
        };
    };
    const Case cases[] = {
        {"download, nothing", SpdBtnDownLoadClick, none, "Please load Object File!"},
        {"program, nothing", SpdBtnProgClick, none, "Please load Object File!"},
        {"verify, nothing", SpdBtnVerifyClick, none, "Please load Object File!"},
        {"download, no file", SpdBtnDownLoadClick, chipOnly, "Please load Object File!"},
        {"program, no chip", SpdBtnProgClick, dataOnly, "Please Select Chip Type!"},
        {"verify, no chip", SpdBtnVerifyClick, dataOnly, "Please Select Chip Type!"},
        {"read info, nothing", ReadChipInformation1Click, none, "Please Select Chip Type!"},
        {"read info, not connected", ReadChipInformation1Click, chipOnly, "Please Connect the Device first!",
         false},
        {"read chip, nothing", SpeedButtonRDClick, none, "Please Select Chip Type!"},
        {"read chip, family 48 without file", SpeedButtonRDClick, family(48),
         "Please load Object File first!"},
        {"read chip, family 5 without file", SpeedButtonRDClick, family(5), "Please load Object File first!"},
        {"read chip, family 0 without file", SpeedButtonRDClick, family(0), "Please load Object File first!"},
        {"read chip, family 224 needs no file", SpeedButtonRDClick, family(224),
         "Please Connect the Device first!", false},
        {"read chip, family 16 needs no file", SpeedButtonRDClick, family(16),
         "Please Connect the Device first!", false},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.name);
        Rig r;
        t.setup(r);
        if (t.connected)
            r.ConnectAll();
        const Snapshot before = Take(r.ctx());
        t.click(r.ctx());
        EXPECT_EQ(r.Dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Information, t.text}}));
        EXPECT_TRUE(r.Lines().empty());
        EXPECT_TRUE(Take(r.ctx()) == before);
    }
}

TEST(CommandButtons, DownloadAsksForEachUnconnectedIdleChannel) {
    Rig r;
    r.ctx().DataLoaded = 1;
    r.ctx().ChipChosen = 1;
    SpdBtnDownLoadClick(r.ctx());
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{
                             Stamp() + "Please Connect Device 1 !", Stamp() + "Please Connect Device 2 !",
                             Stamp() + "Please Connect Device 3 !", Stamp() + "Please Connect Device 4 !"}));
    EXPECT_EQ(r.ctx().ChannelBusy, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_TRUE(r.Dialogs.Calls.empty());
    for (auto click : {SpdBtnProgClick, SpdBtnVerifyClick}) {
        const size_t lines = r.Lines().size();
        click(r.ctx());
        EXPECT_EQ(r.Lines().size(), lines);
        EXPECT_EQ(r.ctx().ChannelBusy, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    }
}

TEST(CommandButtons, DownloadStartsConnectedIdleChannelsOnly) {
    Rig r;
    VltContext &c = r.ctx();
    c.DataLoaded = 1;
    c.ChipChosen = 1;
    c.ChannelConnected = {1, 1, 1, 0};
    c.ChannelBusy = {0, 1, 0, 0};
    c.ChannelOpCode[1] = OpVerify;
    SpdBtnDownLoadClick(c);
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{Stamp() + "Device 1 : Download Data......",
                                                   Stamp() + "Device 3 : Download Data......",
                                                   Stamp() + "Please Connect Device 4 !"}));
    EXPECT_EQ(c.ChannelOpCode, (std::array<uint8_t, 4>{OpSetup, OpVerify, OpSetup, OpIdle}));
    EXPECT_EQ(c.ChannelBusy, (std::array<uint8_t, 4>{1, 1, 1, 0}));
    EXPECT_EQ(c.ChannelTimeout[0], 1000);
    EXPECT_EQ(c.ChannelBlockPos[1], 8); // the busy channel's transfer is left alone
    EXPECT_EQ(c.TransferKB, 9);         // download keeps the size of the last load
    EXPECT_EQ(c.DeviceAddress, 0x44);   // settings were collected
    EXPECT_EQ(r.SentCommand(1), 0x53);
    EXPECT_EQ(r.SentParam(1), 0);
    EXPECT_EQ(r.SentCommand(4), 0x00);
    // A second click while every connected channel is busy does nothing visible.
    c.ChannelBusy[1] = 1;
    const size_t lines = r.Lines().size();
    c.ChannelConnected[3] = 1;
    c.ChannelBusy[3] = 1;
    SpdBtnDownLoadClick(c);
    EXPECT_EQ(r.Lines().size(), lines);
}

TEST(CommandButtons, ProgramSizesTheTransferByTheKindOfData) {
    struct Case {
        uint8_t imageFlag;
        uint16_t records;
        uint16_t dataKB;
        uint16_t transferKB;
    };
    for (const Case &t :
         {Case{1, 3000, 4, 2}, Case{1, 65535, 4, 63}, Case{0, 3000, 4, 4}, Case{0, 10, 16, 16}}) {
        Rig r;
        VltContext &c = r.ctx();
        c.DataLoaded = c.ChipChosen = 1;
        c.ChannelConnected = {0, 1, 0, 0};
        c.MemoryImageFlag = t.imageFlag;
        c.RecordCount = t.records;
        c.DataKB = t.dataKB;
        SpdBtnProgClick(c);
        EXPECT_EQ(c.TransferKB, t.transferKB);
        EXPECT_EQ(c.ChannelBlockTotal[1], t.transferKB);
        EXPECT_EQ(c.ChannelOpCode[1], OpProgram);
        EXPECT_EQ(r.SentCommand(2), 0x95);
        EXPECT_EQ(r.SentPayload(2), 4736);
        EXPECT_EQ(r.Lines(), std::vector<std::string>{Stamp() + "Device 2 : Do Chip Programming......"});
    }
}

TEST(CommandButtons, VerifyAndReadChipSendTheirPacketKind) {
    struct Case {
        void (*click)(VltContext &);
        uint8_t imageFlag;
        uint16_t payload;
        uint8_t code;
    };
    const Case cases[] = {{SpdBtnVerifyClick, 1, 128, OpVerify},
                          {SpdBtnVerifyClick, 0, 4736, OpVerify},
                          {SpeedButtonRDClick, 1, 128, OpReadChip},
                          {SpeedButtonRDClick, 0, 4736, OpReadChip}};
    for (const Case &t : cases) {
        Rig r;
        VltContext &c = r.ctx();
        c.DataLoaded = c.ChipChosen = 1;
        c.ChannelConnected[0] = 1;
        c.MemoryImageFlag = t.imageFlag;
        c.DataKB = 16;
        t.click(c);
        EXPECT_EQ(r.SentCommand(1), 0x9B);
        EXPECT_EQ(r.SentParam(1), 0);
        EXPECT_EQ(r.SentPayload(1), t.payload);
        EXPECT_EQ(c.ChannelOpCode[0], t.code);
    }
}

TEST(CommandButtons, ChannelOneReadsStartEvenWhileBusy) {
    Rig r;
    VltContext &c = r.ctx();
    c.ChipChosen = 1;
    c.ChipFamily = 48;
    c.ChannelConnected[0] = 1;
    c.ChannelBusy[0] = 1;
    c.ChannelOpCode[0] = OpProgram;
    c.ChannelTimeout[0] = 3;
    ReadChipInformation1Click(c); // no data file needed
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{"", Stamp() + "Device 1 : Read Chip Infiormation......"}));
    EXPECT_EQ(c.ChannelOpCode[0], OpReadInfo);
    EXPECT_EQ(c.ChannelTimeout[0], 1000);
    EXPECT_EQ(r.SentCommand(1), 0x93);
    EXPECT_EQ(r.SentParam(1), 55);

    c.DataLoaded = 1;
    c.DataKB = 4;
    c.TransferKB = 9;
    SpeedButtonRDClick(c);
    EXPECT_EQ(r.Lines().back(), Stamp() + "Device 1 : Read Chip Memory......");
    EXPECT_EQ(c.ChannelOpCode[0], OpReadChip);
    EXPECT_EQ(c.TransferKB, 4);
    EXPECT_EQ(c.ChannelBlockPos[0], 0);
    EXPECT_EQ(r.SentParam(1), 0);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(CommandButtons, BadAddressStopsTheCommandBeforeAnyChannel) {
    Rig r;
    VltContext &c = r.ctx();
    c.DataLoaded = c.ChipChosen = 1;
    r.ConnectAll();
    r.Form->EditDevAddr.SetText("0x");
    EXPECT_THROW(SpdBtnProgClick(c), EConvertError);
    EXPECT_EQ(c.ChannelBusy, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(c.ChannelOpCode, (std::array<uint8_t, 4>{OpIdle, OpIdle, OpIdle, OpIdle}));
    EXPECT_TRUE(r.Lines().empty());
}
