#include "platform/EventQueue.h"
#include "protocol/CommandPackets.h"
#include "protocol/Frame.h"
#include "serial/Comm.h"
#include "state/VltContext.h"
#include "tests/serial/PtyPair.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The largest packet goes out through the channel's serial component and
// arrives on the device side as one frame that decodes back to the packet.
TEST(PacketSend, FullPacketReachesTheDevice) {
    TPtyPair pty;
    TPumpQueue queue;
    TComm comm(queue);
    comm.SetCommName(pty.SlavePath);
    comm.OpenPort();
    auto ctx = std::make_unique<VltContext>();
    for (size_t i = 0; i < 4096; ++i)
        ctx->DataBuffer[i] = static_cast<uint8_t>(i ^ 0xC0); // plenty to escape
    ctx->ChannelComm[1] = &comm;

    ASSERT_TRUE(SendFullPacket(*ctx, 2, 0x95, 0));
    const std::array<uint8_t, kPacketSize> sent = ctx->PacketBuf[1];

    std::array<uint8_t, kWireSize> frame{};
    const uint16_t wireLen = EncodeFrame(std::span<const uint8_t>(sent).first(4746), frame);
    std::vector<uint8_t> got = pty.Read(wireLen);
    ASSERT_EQ(got.size(), wireLen);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), frame.begin()));

    std::array<uint8_t, kPacketSize> decoded{};
    uint16_t count = wireLen, len = 0;
    ASSERT_EQ(DecodeFrame(got, decoded, len, count), kFrameOk);
    ASSERT_EQ(len, 4746);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.begin() + len, sent.begin()));
    EXPECT_EQ(CheckReplyStatus(decoded, len), 0);

    comm.ClosePort();
    EXPECT_FALSE(SendShortPacket(*ctx, 2, 0x86)); // a closed port refuses
}

} // namespace
