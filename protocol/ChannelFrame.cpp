#include "protocol/ChannelFrame.h"

#include "protocol/Frame.h"
#include "state/VltContext.h"

uint8_t DecodeChannelFrame(VltContext &ctx, int n, uint16_t rxCount, uint16_t &length) {
    const size_t k = static_cast<size_t>(n - 1);
    uint16_t count = rxCount;
    length = 0;
    const uint8_t result = DecodeFrame(ctx.ChannelRxBuffer[k], ctx.PacketBuf[k], length, count);
    ctx.ChannelRxCount[k] = count;
    return result;
}
