#include "protocol/ReplyHandling.h"

#include <algorithm>

#include "forms/Controls.h"
#include "platform/Format.h"
#include "protocol/ChannelFrame.h"
#include "protocol/ChannelOps.h"
#include "protocol/ChipInfoReport.h"
#include "protocol/CommandPackets.h"
#include "protocol/Frame.h"
#include "protocol/ProgressReport.h"
#include "protocol/ReadPostProcess.h"
#include "protocol/RegisterVerify.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

namespace {

constexpr uint16_t kBlockBytes = 4096;
constexpr size_t kReplyData = 8; // first data byte of a reply
constexpr uint8_t kStatusDataPacketError = 0x20;

// Replies whose 4 KB of data is taken as chip data: a compared image block
// and every read-back block.
bool CarriesChipData(const VltContext &ctx, uint8_t code) {
    return code == OpReadChip || (code == OpVerify && ctx.MemoryImageFlag == 1);
}

size_t Index(int n) {
    return static_cast<size_t>(n - 1);
}
TGauge &Gauge(VltContext &ctx, int n) {
    return *ctx.ChannelGauge[Index(n)];
}
uint32_t BlockBase(uint16_t pos) {
    return (static_cast<uint32_t>(pos) * 1024u) % kBufferSize;
}

} // namespace

bool HandleResponse(VltContext &ctx, int n, uint16_t rxCount) {
    const size_t k = Index(n);
    uint16_t length = 0;
    if (DecodeChannelFrame(ctx, n, rxCount, length) != kFrameOk)
        return false;
    if (ctx.ChannelOpCode[k] == OpIdle)
        return HandleProgressReport(ctx, n);
    const uint8_t status = CheckReplyStatus(ctx.PacketBuf[k], length);
    if (status != 0 && status != 6) {
        EndOperation(ctx, n, 1);
        // Without its top bit 0x80 or 0x86 would read as success: show such a
        // failure with its whole code.
        const uint8_t masked = status & 0x7F;
        ShowStatusMessage(ctx, n, masked == 0 || masked == 6 ? status : masked);
        return true;
    }
    // A reply too short to hold the block would leave the command's own bytes
    // in the packet area to be compared or stored as the chip's data.
    if (CarriesChipData(ctx, ctx.ChannelOpCode[k]) && length < kPktOverhead + kBlockBytes) {
        EndOperation(ctx, n, 1);
        ShowStatusMessage(ctx, n, kStatusDataPacketError);
        return true;
    }
    switch (ctx.ChannelOpCode[k]) {
    case OpSetup:
        OnHeaderAck(ctx, n);
        break;
    case OpDataBlocks:
        OnDataBlockAck(ctx, n);
        break;
    case OpProgram:
        OnProgramReply(ctx, n);
        break;
    case OpVerify:
        OnVerifyReply(ctx, n);
        break;
    case OpReadInfo:
        OnChipInfoReply(ctx, n);
        break;
    case OpReadChip:
        // Only channel 1 ever reads a chip; another channel's code 21 would
        // come from a corrupted state and is ignored.
        if (n == 1)
            OnReadBlockReply(ctx);
        break;
    default:
        break;
    }
    return true;
}

void OnHeaderAck(VltContext &ctx, int n) {
    const size_t k = Index(n);
    ctx.ChannelBlockPos[k] = 0;
    ctx.ChannelOpCode[k] = OpDataBlocks;
    Gauge(ctx, n).SetProgress(4);
    SendDataBlock(ctx, n, 0x55, 0);
}

void OnDataBlockAck(VltContext &ctx, int n) {
    const size_t k = Index(n);
    if (ctx.MemoryImageFlag == 1) {
        ctx.ChannelBlockPos[k] = static_cast<uint16_t>(ctx.ChannelBlockPos[k] + 4);
        Gauge(ctx, n).SetProgress(ctx.ChannelBlockPos[k] + 4);
        if (ctx.ChannelBlockPos[k] < ctx.ChannelBlockTotal[k]) {
            SendDataBlock(ctx, n, 0x55, ctx.ChannelBlockPos[k]);
            return;
        }
    }
    // The closing packet goes out once the channel is idle, so its reply is
    // taken as a progress report.
    EndOperation(ctx, n, 0);
    SendShortPacket(ctx, n, 0x8A);
}

void OnProgramReply(VltContext &ctx, int n) {
    TGauge &g = Gauge(ctx, n);
    g.SetProgress(g.MaxValue());
    ctx.ProgramCounter += 1;
    MemoDeviceLine(ctx, n, Format("Counter : %d", ctx.ProgramCounter));
    SendShortPacket(ctx, n, 0x86);
    EndOperation(ctx, n, 0);
}

void OnVerifyReply(VltContext &ctx, int n) {
    if (ctx.MemoryImageFlag == 1) {
        CompareDataBlock(ctx, n);
        return;
    }
    TGauge &g = Gauge(ctx, n);
    g.SetProgress(g.MaxValue());
    // The routine compares and ends the operation itself.
    if (ctx.ChipFamily == 224)
        VerifyNoneFam224(ctx, n);
    else if (ctx.ChipFamily == 5)
        VerifyRegsFam5(ctx, n);
    else if (ctx.ChipFamily == 48)
        VerifyRegsFam48(ctx, n);
    else if (ctx.ChipFamily == 16)
        VerifyRegsFam16(ctx, n);
    else if (ctx.ChipFamily == 64)
        VerifyBlockFam64(ctx, n);
    else if ((ctx.ChipSubType & 0xF0) == 0x10)
        VerifyRegsA(ctx, n);
    else
        VerifyCmdList(ctx, n);
}

void CompareDataBlock(VltContext &ctx, int n) {
    const size_t k = Index(n);
    const uint32_t base = BlockBase(ctx.ChannelBlockPos[k]);
    const uint8_t *reply = ctx.PacketBuf[k].data() + kReplyData;
    for (uint32_t i = 0; i < kBlockBytes && base + i < ctx.RecordCount; ++i) {
        const uint8_t want = ctx.DataBuffer[base + i];
        const uint8_t got = reply[i];
        if (want != got) {
            MemoDeviceLine(
                ctx, n,
                Format("Verify Error! Address=0x%0.4x,Buffer=0x%0.2x,Chip=0x%0.2x.", base + i, want, got));
            EndOperation(ctx, n, 1);
            return;
        }
    }
    ctx.ChannelBlockPos[k] = static_cast<uint16_t>(ctx.ChannelBlockPos[k] + 4);
    Gauge(ctx, n).SetProgress(ctx.ChannelBlockPos[k] + 4);
    if (ctx.ChannelBlockPos[k] < ctx.ChannelBlockTotal[k]) {
        SendSettingsPacket(ctx, n, 0x9B, ctx.ChannelBlockPos[k]);
        return;
    }
    MemoDeviceLine(ctx, n, "Chip Data Verify Success!");
    EndOperation(ctx, n, 0);
}

void OnChipInfoReply(VltContext &ctx, int n) {
    MemoDeviceLine(ctx, n, "Read Chip Information as below:");
    bool identified = true;
    switch (ctx.ChipFamily) {
    case 5:
        identified = PrintChipInfoFam5(ctx);
        break;
    case 16:
        identified = PrintChipInfoFam16(ctx);
        break;
    case 48:
        identified = PrintChipInfoFam48(ctx);
        break;
    case 64:
        identified = PrintChipInfoFam64(ctx);
        break;
    default:
        identified = PrintChipInfoDefault(ctx);
        break;
    }
    EndOperation(ctx, n, identified ? 0 : 1);
}

void OnReadBlockReply(VltContext &ctx) {
    const uint8_t *reply = ctx.PacketBuf[0].data() + kReplyData;
    if (ctx.MemoryImageFlag == 1) {
        const uint32_t base = BlockBase(ctx.ChannelBlockPos[0]);
        const uint32_t room = std::min<uint32_t>(kBlockBytes, kBufferSize - base);
        std::copy(reply, reply + room, ctx.ReadBuffer.begin() + base);
        ctx.ChannelBlockPos[0] = static_cast<uint16_t>(ctx.ChannelBlockPos[0] + 4);
        Gauge(ctx, 1).SetProgress(ctx.ChannelBlockPos[0] + 4);
        if (ctx.ChannelBlockPos[0] < ctx.ChannelBlockTotal[0]) {
            SendSettingsPacket(ctx, 1, 0x9B, ctx.ChannelBlockPos[0]);
            return;
        }
        ctx.ReadDataValid = 1;
        MemoDeviceLine(ctx, 1, "Chip Memory Data Read out!");
        EndOperation(ctx, 1, 0);
        // The size this read began with: a command started on another channel
        // meanwhile may have set TransferKB anew.
        ShowReadChecksums(ctx, 0, static_cast<uint16_t>(ctx.ChannelBlockTotal[0] * 1024u - 1u));
        return;
    }
    ctx.ReadDataValid = 1;
    MemoDeviceLine(ctx, 1, "Chip Memory Data Read out!");
    std::copy(reply, reply + kBlockBytes, ctx.ReadBuffer.begin());
    EndOperation(ctx, 1, 0);
    PostProcessReadOut(ctx);
}
