#include "protocol/ReadPostProcess.h"

#include <algorithm>

#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "protocol/ReadResultDisplay.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

namespace {

// The read-out commands run on channel 1 only.
constexpr size_t kReadChannel = 0;
constexpr size_t kReplyData = 8;

void CopyFromData(VltContext &ctx, size_t first, size_t last) {
    if (last < first || last >= kBufferSize)
        return;
    std::copy(ctx.DataBuffer.begin() + static_cast<long>(first),
              ctx.DataBuffer.begin() + static_cast<long>(last + 1),
              ctx.ReadBuffer.begin() + static_cast<long>(first));
}

// The family-224 read-out becomes the data to program: one record per register.
void ReadOutToData(VltContext &ctx) {
    const size_t count = ctx.RegEnd;
    for (size_t i = 0; i < count; ++i) {
        ctx.DataBuffer[4 * i] = static_cast<uint8_t>(ctx.RegBase + i);
        ctx.DataBuffer[4 * i + 1] = 1;
        ctx.DataBuffer[4 * i + 2] = ctx.ReadBuffer[i];
        ctx.DataBuffer[4 * i + 3] = 0;
    }
    std::fill(ctx.DataBuffer.begin() + static_cast<long>(4 * count), ctx.DataBuffer.begin() + 1024,
              uint8_t{0});
}

} // namespace

void MergeReadFam16(VltContext &ctx) {
    if (ctx.DataLoaded != 1)
        return;
    const size_t first = ctx.RegFirst;
    const size_t end = ctx.RegEnd;
    if (ctx.FamilyParam1 & 0x04) {
        if (first > 0)
            CopyFromData(ctx, 0, 2 * first - 1);
        if (2 * end <= 255)
            CopyFromData(ctx, 2 * end, 255);
        return;
    }
    if (first > 0)
        CopyFromData(ctx, 0, first - 1);
    CopyFromData(ctx, end, 255);
    if (ctx.ChipSubType == 2)
        for (size_t at : {0, 1, 40, 41, 56, 57, 66, 67})
            ctx.ReadBuffer[at] = ctx.DataBuffer[at];
}

void CopyReadFam48(VltContext &ctx) {
    // The records are copied as far as the reply's packet area reaches.
    const auto &reply = ctx.PacketBuf[kReadChannel];
    const size_t wanted = 4u * ctx.RecordCount;
    const size_t n = std::min(wanted, reply.size() - kReplyData);
    std::copy_n(reply.begin() + kReplyData, n, ctx.ReadBuffer.begin());
    ShowReadChecksums(ctx, 0, static_cast<uint16_t>(wanted - 1));
}

void ShowReadFam24(VltContext &ctx) {
    if (ctx.ChipSubType >= 16) {
        FillReadView(ctx, 0, 255);
        return;
    }
    auto word = [&](size_t at) {
        return static_cast<uint16_t>(ctx.ReadBuffer[at] << 8 | ctx.ReadBuffer[at + 1]);
    };
    MemoDeviceLine(ctx, 1, Format("  Chip Control Register Data    = 0x%0.4x.", word(0)));
    MemoDeviceLine(ctx, 1, Format("  Chip RDAC Wiper Register Data = 0x%0.4x.", word(2)));
    MemoDeviceLine(ctx, 1, Format("  Chip Last 50-TP Address Data  = 0x%0.4x.", word(4)));
    FillReadView(ctx, 0, 127);
}

void PostProcessReadOut(VltContext &ctx) {
    switch (ctx.ChipFamily) {
    case 224:
        ReadOutToData(ctx);
        ShowReadResultNone(ctx);
        break;
    case 5:
        ShowChipInformation(ctx);
        break;
    case 16:
        MergeReadFam16(ctx);
        ShowReadParamChecksum(ctx);
        break;
    case 48:
        CopyReadFam48(ctx);
        break;
    case 24:
        ShowReadFam24(ctx);
        break;
    default:
        ShowReadResult(ctx);
        break;
    }
}
