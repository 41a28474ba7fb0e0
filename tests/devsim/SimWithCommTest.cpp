// The simulated device behind the real serial component: what the programs
// see through TComm and the main-thread queue.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/EventQueue.h"
#include "protocol/Frame.h"
#include "serial/Comm.h"
#include "tests/devsim/PtyHost.h"
#include "tools/devsim/SimDevice.h"

namespace {

using namespace std::chrono_literals;

struct SimWithComm : ::testing::Test {
    void SetUp() override {
        SetDeclaredPortValues(*Comm, 5);
        Comm->SetCommName(Dev.PortPath());
        Comm->OnReceiveData = [this](TComm &, const uint8_t *buf, uint16_t n) {
            Rx.insert(Rx.end(), buf, buf + n);
        };
        Comm->OnRequestHangup = [this](TComm &) { ++Hangups; };
        Comm->OpenPort();
    }
    void TearDown() override { Comm->ClosePort(); }
    // Sends a packet (or raw bytes) and pumps until a whole frame decoded.
    std::optional<std::vector<uint8_t>> Exchange(std::span<const uint8_t> wire) {
        Rx.clear();
        EXPECT_TRUE(Comm->SendData(wire.data(), static_cast<uint16_t>(wire.size())));
        std::vector<uint8_t> packet(10240);
        uint16_t len = 0;
        bool got = Queue.PumpUntil(
            [&] {
                uint16_t count = static_cast<uint16_t>(Rx.size());
                return PacketComplete(Rx, count) && DecodeFrame(Rx, packet, len, count) == kFrameOk;
            },
            10000ms);
        if (!got)
            return std::nullopt;
        return std::vector<uint8_t>(packet.begin(), packet.begin() + len);
    }
    TSimDevice Dev;
    TPumpQueue Queue;
    std::unique_ptr<TComm> Comm = std::make_unique<TComm>(Queue);
    std::vector<uint8_t> Rx;
    int Hangups = 0;
};

const std::vector<uint8_t> kProbe = {0xC0, 0xA3, 0xA5, 0x35, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

TEST_F(SimWithComm, ProbeAndALargeReplyPassThroughTheComponent) {
    auto reply = Exchange(kProbe);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], 0xA3);

    // A block full of bytes that need escaping: the longest frame a reply makes.
    Dev.SetChipImage(0, std::vector<uint8_t>(4096, 0xC0));
    std::vector<uint8_t> settings(128, 0);
    auto request = MakePacket(0x9B, 0, 80, 0, settings);
    std::vector<uint8_t> wire(2 * request.size() + kFrameOverhead);
    wire.resize(EncodeFrame(request, wire));
    reply = Exchange(wire);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 4106u);
    EXPECT_EQ(CheckReplyStatus(*reply, 4106), 0);
    EXPECT_EQ((*reply)[8 + 4095], 0xC0);
}

TEST_F(SimWithComm, PortClosedAndOpenedAgainStillAnswers) {
    ASSERT_TRUE(Exchange(kProbe));
    Comm->ClosePort();
    ASSERT_TRUE(Dev.WaitFor([](const TSimDevice &d) { return d.Counters().HostCloses == 1; }));
    Comm->OpenPort();
    auto reply = Exchange(kProbe);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], 0xA3);
}

TEST_F(SimWithComm, HangUpReachesTheComponentAsAHangupRequest) {
    ASSERT_TRUE(Exchange(kProbe));
    Dev.HangUp();
    EXPECT_TRUE(Queue.PumpUntil([&] { return Hangups > 0; }, 10000ms));
}

} // namespace
