#include "state/VltContext.h"
#include "protocol/Frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

template <typename A> bool AllZero(const A &a) {
    return std::all_of(a.begin(), a.end(), [](auto v) { return v == 0; });
}

TEST(VltContext, StartsZeroedWithTheRightSizes) {
    auto ctx = std::make_unique<VltContext>();
    EXPECT_EQ(ctx->DataBuffer.size(), 65536u);
    EXPECT_EQ(ctx->ReadBuffer.size(), 65536u);
    EXPECT_EQ(ctx->RegListA.size(), 260u);
    EXPECT_EQ(ctx->RegListB.size(), 260u);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_EQ(ctx->PacketBuf[k].size(), 10240u);
        EXPECT_EQ(ctx->WireBuf[k].size(), 10240u);
        EXPECT_EQ(ctx->ChannelRxBuffer[k].size(), 15360u);
        EXPECT_TRUE(AllZero(ctx->PacketBuf[k]));
        EXPECT_TRUE(AllZero(ctx->ChannelRxBuffer[k]));
        EXPECT_EQ(ctx->ChannelComm[k], nullptr);
        EXPECT_EQ(ctx->ChannelGauge[k], nullptr);
    }
    EXPECT_TRUE(AllZero(ctx->DataBuffer));
    EXPECT_TRUE(AllZero(ctx->ChannelOpCode)); // 0 before the first handshake, not idle
    EXPECT_TRUE(AllZero(ctx->ChannelConnected));
    EXPECT_TRUE(AllZero(ctx->ChannelBusy));
    EXPECT_TRUE(AllZero(ctx->ChannelOkCount));
    EXPECT_TRUE(AllZero(ctx->ChannelNgCount));
    EXPECT_EQ(ctx->TotalOkCount + ctx->TotalNgCount + ctx->ProgramCounter + ctx->ResultsSinceLogSave, 0u);
    EXPECT_EQ(ctx->MemoryImageFlag + ctx->DataLoaded + ctx->ChipChosen + ctx->ReadDataValid, 0);
    EXPECT_TRUE(ctx->ChipName.empty());
    EXPECT_EQ(ctx->Form, nullptr);
    EXPECT_EQ(ctx->Clock, nullptr);
}

// Widths that wrap-around and the packet fields rely on.
static_assert(sizeof(VltContext::ChannelRxCount[0]) == 2);
static_assert(sizeof(VltContext::ChannelTimeout[0]) == 2);
static_assert(sizeof(VltContext::ChannelBlockPos[0]) == 2);
static_assert(sizeof(VltContext::TransferKB) == 2);
static_assert(sizeof(VltContext::QuantityLimit) == 4);
static_assert(sizeof(VltContext::ChannelOkCount[0]) == 4);
static_assert(OpIdle == 48 && OpSetup == 3 && OpDataBlocks == 5 && OpProgram == 7 && OpVerify == 10 &&
              OpReadInfo == 16 && OpReadChip == 21);
// The largest packet fits both per-channel buffers even fully escaped.
static_assert(4746 <= kPacketSize && 2 * 4746 + kFrameOverhead <= kWireSize);
static_assert(kRxBufferSize <= 0xFFFF); // the receive count is 16-bit

} // namespace
