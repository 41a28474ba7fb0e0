// Fault injection: each armed fault visibly changes the next reply on the
// wire, and only that one.
#include <gtest/gtest.h>

#include <functional>
#include <poll.h>
#include <unistd.h>

#include "protocol/Frame.h"
#include "tests/devsim/PtyHost.h"
#include "tools/devsim/SimDevice.h"

namespace {

std::vector<uint8_t> ClosingPacket() {
    std::vector<uint8_t> p = {0x8A, 'R', 'E', 'S', 'T', 0xA8, 0x02, 0x00, 0x00, 0x00, 0, 0};
    SealPacket(p);
    return p;
}

std::vector<uint8_t> Framed(std::span<const uint8_t> packet) {
    std::vector<uint8_t> wire(2 * packet.size() + kFrameOverhead);
    wire.resize(EncodeFrame(packet, wire));
    return wire;
}

struct SimFaults : ::testing::Test {
    // The closing packet's reply as a clean device sends it.
    std::vector<uint8_t> CleanReply() {
        Host.SendPacket(ClosingPacket());
        auto r = Host.ReadPacket();
        EXPECT_TRUE(r);
        return r.value_or(std::vector<uint8_t>{});
    }
    // What the device writes for one closing packet: at least `expected`
    // bytes once the reply is counted, and whatever else came with them.
    std::vector<uint8_t> RawReply(size_t expected) {
        uint64_t before = Dev.Counters().Replies;
        Host.SendPacket(ClosingPacket());
        EXPECT_TRUE(Dev.WaitFor([before](const TSimDevice &d) { return d.Counters().Replies > before; }));
        return Host.ReadRaw(expected);
    }
    TSimDevice Dev;
    TPtyHost Host{Dev.PortPath()};
};

TEST_F(SimFaults, InjectedStatusAndBadCheckWordAffectOneReplyEach) {
    Dev.InjectStatus(0x45);
    auto reply = CleanReply();
    EXPECT_EQ(ReplyStatus(reply), 0x45);
    EXPECT_EQ(CheckReplyStatus(reply, uint16_t(reply.size())), 0x45);

    Dev.InjectBadCheckWord();
    reply = CleanReply();
    EXPECT_EQ(ReplyStatus(reply), 0x00);
    EXPECT_EQ(CheckReplyStatus(reply, uint16_t(reply.size())), 0x23);

    reply = CleanReply();
    EXPECT_EQ(CheckReplyStatus(reply, uint16_t(reply.size())), 0x00);
}

TEST_F(SimFaults, InjectedStatusReplacesADataReply) {
    Dev.InjectStatus(0x60);
    std::vector<uint8_t> settings(128, 0);
    settings[1] = 0x3B;
    Host.SendPacket(MakePacket(0x9B, 0, 80, 0, settings));
    auto reply = Host.ReadPacket();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->size(), 12u);
    EXPECT_EQ(CheckReplyStatus(*reply, 12), 0x60);
}

TEST_F(SimFaults, SilenceDropsTheReplyButTheCommandStillActs) {
    Dev.InjectSilence();
    std::vector<uint8_t> block(4096, 0x77);
    Host.SendPacket(MakePacket(0x55, 8, 80, 0, block));
    ASSERT_TRUE(Dev.WaitFor([](const TSimDevice &d) { return d.Counters().RepliesDropped == 1; }));
    EXPECT_EQ(Dev.DownloadedBlock(8), block);
    // The next bytes on the wire are the closing packet's reply, which
    // echoes the packet with status 0: nothing came before it.
    EXPECT_EQ(RawReply(Framed(ClosingPacket()).size()), Framed(ClosingPacket()));
}

TEST_F(SimFaults, ReplyWriteWithGarbageASecondFrameOrCutShort) {
    const std::vector<uint8_t> garbage = {0x12, 0x34, 0xFF, 0x00};
    const std::vector<uint8_t> frame = Framed(ClosingPacket());
    struct Case {
        const char *what;
        std::function<void(TSimDevice &)> arm;
        std::vector<uint8_t> expected;
    };
    std::vector<uint8_t> withGarbage = garbage, twice = frame, withReport = frame;
    withGarbage.insert(withGarbage.end(), frame.begin(), frame.end());
    twice.insert(twice.end(), frame.begin(), frame.end());
    std::vector<uint8_t> report = {0x88, 0xF0, 0x06, 0, 0, 0, 0, 0x82, 0, 0};
    PutU16(report, 8, FrameChecksum(report, 0, 7));
    auto reportFrame = Framed(report);
    withReport.insert(withReport.end(), reportFrame.begin(), reportFrame.end());
    const Case cases[] = {
        {"garbage before the frame", [&](TSimDevice &d) { d.InjectGarbage(garbage); }, withGarbage},
        {"a copy of the reply after it", [](TSimDevice &d) { d.InjectSecondFrame(); }, twice},
        {"a given packet after it",
         [&](TSimDevice &d) { d.InjectSecondFrame(std::vector<uint8_t>(report.begin(), report.end() - 2)); },
         withReport},
        {"the reply cut short", [](TSimDevice &d) { d.InjectTruncate(6); },
         std::vector<uint8_t>(frame.begin(), frame.begin() + 6)},
    };
    for (const Case &c : cases) {
        c.arm(Dev);
        EXPECT_EQ(RawReply(c.expected.size()), c.expected) << c.what;
        EXPECT_EQ(RawReply(frame.size()), frame) << c.what << ": the next reply is clean";
    }
}

TEST_F(SimFaults, SplitReplyArrivesInChunksThatAssembleToTheFrame) {
    const auto pause = std::chrono::milliseconds(20);
    Dev.InjectSplit(5, pause);
    const auto frame = Framed(ClosingPacket());
    auto start = std::chrono::steady_clock::now();
    Host.SendPacket(ClosingPacket());
    auto got = Host.ReadRaw(frame.size());
    auto lastAt = std::chrono::steady_clock::now();
    EXPECT_EQ(got, frame);
    // The last chunk cannot arrive before the pauses between the chunks passed.
    long pauses = static_cast<long>((frame.size() + 4) / 5) - 1;
    EXPECT_GE(lastAt - start, pauses * pause);
    EXPECT_EQ(RawReply(frame.size()), frame) << "the next reply is unaffected";
}

TEST_F(SimFaults, ClearFaultsDisarmsEverything) {
    Dev.InjectStatus(0x45);
    Dev.InjectBadCheckWord();
    Dev.InjectGarbage({1, 2, 3});
    Dev.InjectSecondFrame();
    Dev.InjectSilence(SIZE_MAX);
    Dev.InjectTruncate(3);
    Dev.ClearFaults();
    EXPECT_EQ(RawReply(Framed(ClosingPacket()).size()), Framed(ClosingPacket()));
}

TEST_F(SimFaults, PermanentSilenceAnswersNothing) {
    Dev.InjectSilence(SIZE_MAX);
    for (uint64_t n = 1; n <= 3; ++n) {
        Host.SendProbe();
        ASSERT_TRUE(Dev.WaitFor([n](const TSimDevice &d) { return d.Counters().RepliesDropped == n; }));
    }
    EXPECT_EQ(Dev.Counters().Replies, 0u);
    EXPECT_EQ(Host.ReadRaw(1, std::chrono::milliseconds(0)), std::vector<uint8_t>{});
}

TEST_F(SimFaults, HangUpClosesTheDeviceSide) {
    Host.SendProbe();
    ASSERT_TRUE(Host.ReadPacket());
    Dev.HangUp();
    EXPECT_TRUE(Dev.HungUp());
    short ev = Host.WaitEvents();
    EXPECT_TRUE(ev & POLLHUP) << ev;
    uint8_t b;
    EXPECT_LE(read(Host.Fd(), &b, 1), 0);
}

} // namespace
