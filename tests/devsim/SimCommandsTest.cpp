// The simulated device against raw pty I/O: the probe, the gang programmer's
// commands as the host builds them, and the replies the host decodes.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <numeric>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/SerialDeviceMap.h"
#include "protocol/CommandPackets.h"
#include "protocol/Frame.h"
#include "protocol/SettingsBlock.h"
#include "state/VltContext.h"
#include "tests/devsim/PtyHost.h"
#include "tools/devsim/SimDevice.h"

namespace {

std::span<const uint8_t> Built(const VltContext &ctx, uint16_t len) {
    return std::span<const uint8_t>(ctx.PacketBuf[0]).first(len);
}

struct SimCommands : ::testing::Test {
    explicit SimCommands(TSimOptions opt = {}) : Dev(std::move(opt)), Host(Dev.PortPath()) {}
    std::vector<uint8_t> Exchange(std::span<const uint8_t> packet) {
        Host.SendPacket(packet);
        auto reply = Host.ReadPacket();
        EXPECT_TRUE(reply.has_value()) << "no reply to command " << int(packet[0]);
        return reply.value_or(std::vector<uint8_t>{});
    }
    uint8_t StatusOf(std::span<const uint8_t> packet) {
        auto reply = Exchange(packet);
        EXPECT_EQ(CheckReplyStatus(reply, static_cast<uint16_t>(reply.size())),
                  ReplyStatus(reply).value_or(0xEE));
        return ReplyStatus(reply).value_or(0xEE);
    }
    TSimDevice Dev;
    TPtyHost Host;
    std::unique_ptr<VltContext> Ctx = std::make_unique<VltContext>();
};

TEST(SimProbe, ReplyNamesTheDeviceAtOffset26) {
    struct Case {
        std::string suffix;
    };
    for (const Case &c : {Case{""}, Case{" V2.01"}}) {
        TSimOptions opt;
        opt.NameSuffix = c.suffix;
        TSimDevice dev(opt);
        TPtyHost host(dev.PortPath());
        host.SendProbe();
        auto reply = host.ReadPacket();
        ASSERT_TRUE(reply);
        std::string name = "Pelmor200VLT" + c.suffix;
        ASSERT_EQ(reply->size(), 26 + name.size() + 2);
        EXPECT_EQ((*reply)[0], 0xA3);
        EXPECT_EQ((*reply)[1], 0xA5);
        EXPECT_EQ((*reply)[2], 0x35);
        EXPECT_EQ((*reply)[3], name.size() - 1); // the name field holds N + 1 bytes
        EXPECT_EQ(std::string(reply->begin() + 26, reply->begin() + 26 + long(name.size())), name);
        EXPECT_EQ(dev.Counters().Probes, 1u);
        ASSERT_EQ(dev.ReceivedPackets().size(), 1u);
        EXPECT_TRUE(dev.ReceivedPackets()[0].IsProbe());
    }
}

TEST_F(SimCommands, StatusRepliesOfSimpleAndMalformedPackets) {
    const uint8_t closeDownload[] = {0x8A, 'R', 'E', 'S', 'T', 0xA8, 0x02, 0x00, 0x00, 0x00, 0, 0};
    std::vector<uint8_t> closing(std::begin(closeDownload), std::end(closeDownload));
    SealPacket(closing);
    std::vector<uint8_t> closeProgram = closing;
    closeProgram[0] = 0x86;
    SealPacket(closeProgram);
    std::vector<uint8_t> short100(100, 0x11), settings(128, 0);
    std::vector<uint8_t> eightBytes = {0x55, 0, 0, 0x3B, 0, 0, 0, 0};
    struct Case {
        const char *what;
        std::vector<uint8_t> packet;
        uint8_t status;
    } cases[] = {
        {"closing packet after a download", closing, 0x00},
        {"closing packet after programming", closeProgram, 0x00},
        {"unknown command", MakePacket(0x44, 0, 48, 0, settings), 0x25},
        {"data block of the wrong length", MakePacket(0x55, 0, 48, 0, short100), 0x20},
        {"information request of the wrong length", MakePacket(0x93, 0x37, 48, 0, short100), 0x20},
        {"packet with no room for a check word", eightBytes, 0x20},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StatusOf(c.packet), c.status) << c.what;
}

TEST_F(SimCommands, WrongCheckWordIsRejectedAndNothingStored) {
    Ctx->ChipFamily = 80;
    uint16_t len = BuildDataBlock(*Ctx, 1, 0x55, 0);
    std::vector<uint8_t> packet(Built(*Ctx, len).begin(), Built(*Ctx, len).end());
    packet[100] ^= 0x01; // damaged after the check word was taken
    EXPECT_EQ(StatusOf(packet), 0x23);
    EXPECT_TRUE(Dev.DownloadedBlocks().empty());
    EXPECT_EQ(Dev.Counters().BadCheckWords, 1u);
}

TEST_F(SimCommands, UndecodableFramesGetNoReply) {
    const std::vector<uint8_t> cases[] = {
        {0xC0, 0x01, 0x02, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, // too short for a header
        {0xC0, 0x55, 0xDB, 0x41},                               // bad escape
    };
    uint64_t bad = 0;
    for (const auto &bytes : cases) {
        Host.Write(bytes);
        Host.SendProbe();
        auto reply = Host.ReadPacket();
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[0], 0xA3); // the first reply is the probe's
        EXPECT_EQ(Dev.Counters().BadFrames, ++bad);
    }
}

// An image chip (a family without its own setup): setup, two 4 KB blocks,
// program, then blocks read back by KB offset.
TEST_F(SimCommands, ImageDownloadProgramAndReadBack) {
    VltContext &ctx = *Ctx;
    ctx.ChipFamily = 80;
    ctx.ChipSubType = 3;
    ctx.ChipName = "IMG-80";
    ctx.TransferKB = 8;
    for (size_t i = 0; i < 8192; ++i)
        ctx.DataBuffer[i] = static_cast<uint8_t>(i * 7 + (i >> 8));

    EXPECT_EQ(StatusOf(Built(ctx, BuildSetupPacket(ctx, 1, 0x53, 0, "image.bin"))), 0x00);
    TSimSetup setup = Dev.LastSetup();
    EXPECT_TRUE(setup.Valid);
    EXPECT_EQ(setup.ChipName, "IMG-80");
    EXPECT_EQ(setup.FileName, "image.bin");
    EXPECT_EQ(setup.Settings[kSbFamily], 80);
    EXPECT_EQ(GetU16(setup.Settings, kSbTransferKB), 8);

    for (uint16_t kb : {0, 4})
        EXPECT_EQ(StatusOf(Built(ctx, BuildDataBlock(ctx, 1, 0x55, kb))), 0x00) << kb;
    ASSERT_EQ(Dev.DownloadedBlocks(), (std::vector<uint16_t>{0, 4}));
    auto block4 = Dev.DownloadedBlock(4);
    EXPECT_TRUE(std::equal(block4.begin(), block4.end(), ctx.DataBuffer.begin() + 4096));
    EXPECT_EQ(Dev.ChipImage()[0], 0xFF) << "downloading alone does not program";

    EXPECT_EQ(StatusOf(Built(ctx, BuildFullPacket(ctx, 1, 0x95, 0))), 0x00);
    auto image = Dev.ChipImage();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 8192, ctx.DataBuffer.begin()));
    EXPECT_EQ(image[8192], 0xFF);

    auto reply = Exchange(Built(ctx, BuildSettingsPacket(ctx, 1, 0x9B, 4)));
    ASSERT_EQ(reply.size(), 4106u);
    EXPECT_EQ(CheckReplyStatus(reply, 4106), 0);
    EXPECT_EQ(reply[0], 0x9B);
    EXPECT_EQ(GetU16(reply, kPktArgument), 4);
    EXPECT_EQ(GetU16(reply, kPktLength), 4096);
    EXPECT_TRUE(std::equal(reply.begin() + 8, reply.begin() + 4104, ctx.DataBuffer.begin() + 4096));
    EXPECT_EQ(Dev.Commands(), (std::vector<uint8_t>{0x53, 0x55, 0x55, 0x95, 0x9B}));
}

TEST_F(SimCommands, ImageReadWrapsAtTheEndOfTheChip) {
    std::vector<uint8_t> tail(1024, 0x5A), head(1024, 0xA5);
    Dev.SetChipImage(65536 - 1024, tail);
    Dev.SetChipImage(0, head);
    // KB 63: the last KB of the chip, then its first three.
    auto reply = Exchange(Built(*Ctx, BuildSettingsPacket(*Ctx, 1, 0x9B, 63)));
    ASSERT_EQ(reply.size(), 4106u);
    EXPECT_EQ(reply[8], 0x5A);
    EXPECT_EQ(reply[8 + 1023], 0x5A);
    EXPECT_EQ(reply[8 + 1024], 0xA5);
    EXPECT_EQ(reply[8 + 2048], 0xFF);
}

// The setup packet is unscrambled with the build's constants by default; a
// packet scrambled with other constants, or with a damaged inner check word,
// is refused and starts no download.
TEST_F(SimCommands, SetupPacketNeedsTheBuildConstantsAndGoodInnerCheckWords) {
    VltContext &ctx = *Ctx;
    ctx.ChipFamily = 48;
    ctx.ChipName = "CHIP";
    struct Case {
        const char *what;
        std::array<uint8_t, 2> maskConst;
        size_t damageAt; // 0: none
        bool accepted;
    } cases[] = {
        {"build constants", kSetupMaskConst, 0, true},
        {"other constants", {uint8_t(kSetupMaskConst[0] ^ 0x01), kSetupMaskConst[1]}, 0, false},
        {"first inner check word damaged", kSetupMaskConst, kSetupCheck1At, false},
        {"second byte sum damaged", kSetupMaskConst, kSetupSum2At + 1, false},
    };
    for (const Case &c : cases) {
        uint16_t len = BuildSetupPacket(ctx, 1, 0x53, 0, "f.py");
        std::vector<uint8_t> p(Built(ctx, len).begin(), Built(ctx, len).end());
        // Back to plain with the build's mask, then scrambled as the case says.
        UnscrambleSetupPacket(p, kSetupMaskConst);
        if (c.damageAt)
            p[c.damageAt] ^= 0x40;
        ScrambleSetupPacket(p, c.maskConst);
        SealPacket(p);
        EXPECT_EQ(StatusOf(p), c.accepted ? 0x00 : 0x20) << c.what;
        EXPECT_EQ(Dev.LastSetup().Valid, c.accepted) << c.what;
    }
}

TEST(SimChipInfo, ReplyCarriesTheConfiguredBytes) {
    auto ctx = std::make_unique<VltContext>();
    TSimOptions opt;
    opt.ChipInfo = {0x21, 0x53, 0x00, 0x01};
    opt.ChipInfo.resize(40);
    opt.ChipInfo[17 - 8] = 0x70;
    opt.ChipInfo[39 - 8] = 0x0F;
    TSimDevice dev(opt);
    TPtyHost host(dev.PortPath());
    ctx->ChipFamily = 5;
    host.SendPacket(Built(*ctx, BuildSettingsPacket(*ctx, 1, 0x93, 0x37)));
    auto reply = host.ReadPacket();
    ASSERT_TRUE(reply);
    EXPECT_EQ(CheckReplyStatus(*reply, static_cast<uint16_t>(reply->size())), 0);
    EXPECT_EQ((*reply)[0], 0x93);
    const std::pair<size_t, uint8_t> expected[] = {{8, 0x21},  {9, 0x53},  {10, 0x00},
                                                   {11, 0x01}, {17, 0x70}, {39, 0x0F}};
    for (auto [at, value] : expected)
        EXPECT_EQ((*reply)[at], value) << "reply byte " << at;
}

TEST_F(SimCommands, ProgressReportsAddUpToZeroAndRunInStageOrder) {
    Dev.SendProgressReport(0x40, 0, 3, 10);
    auto report = Host.ReadPacket();
    ASSERT_TRUE(report);
    ASSERT_GE(report->size(), 8u);
    EXPECT_EQ(std::accumulate(report->begin(), report->begin() + 8, 0) % 256, 0);
    EXPECT_EQ((*report)[1], 0x40);
    EXPECT_EQ(GetU16(*report, 3), 3);
    EXPECT_EQ(GetU16(*report, 5), 10);

    Dev.SendStandAloneRun(0x1E, 2);
    std::vector<uint8_t> stages;
    uint8_t lastResult = 0;
    while (stages.empty() || stages.back() != 0xF0) {
        auto r = Host.ReadPacket();
        ASSERT_TRUE(r);
        EXPECT_EQ(std::accumulate(r->begin(), r->begin() + 8, 0) % 256, 0);
        stages.push_back((*r)[1]);
        lastResult = (*r)[2];
    }
    EXPECT_EQ(stages, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x40, 0x40, 0x70, 0xF0}));
    EXPECT_EQ(lastResult, 0x1E);
}

TEST(SimPort, DeviceSurvivesTheProgramClosingAndReopeningThePort) {
    TSimDevice dev;
    auto closes = [&dev](uint64_t n) {
        return dev.WaitFor([n](const TSimDevice &d) { return d.Counters().HostCloses >= n; });
    };
    {
        TPtyHost first(dev.PortPath());
        first.SendProbe();
        ASSERT_TRUE(first.ReadPacket());
    }
    ASSERT_TRUE(closes(1));
    // A reply still being written when the port closes must not reach the
    // next open: a real port loses what was in flight.
    dev.InjectSplit(8, std::chrono::milliseconds(30));
    {
        TPtyHost quick(dev.PortPath());
        quick.SendProbe();
        ASSERT_TRUE(dev.WaitFor([](const TSimDevice &d) { return d.Counters().Probes >= 2; }));
    }
    ASSERT_TRUE(closes(2));

    TPtyHost host(dev.PortPath());
    host.SendProbe();
    auto reply = host.ReadPacket();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->size(), 26u + 12u + 2u);
    EXPECT_EQ((*reply)[0], 0xA3);
    ASSERT_TRUE(dev.WaitFor([](const TSimDevice &d) { return d.Counters().Replies >= 3; }));
    EXPECT_EQ(host.ReadPacket(std::chrono::milliseconds(0)), std::nullopt);
}

// An open of the program's side by the device would make the port look in
// use by another program whenever the device runs as its own process.
TEST(SimPort, DeviceNeverOpensTheProgramsSide) {
    TSimDevice dev;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    // Closes are watched too: inotify merges an event into an identical unread one.
    ASSERT_GE(::inotify_add_watch(watch, dev.PortPath().c_str(), IN_OPEN | IN_CLOSE), 0);
    const uint64_t rounds = 3;
    for (uint64_t n = 1; n <= rounds; ++n) {
        {
            TPtyHost host(dev.PortPath());
            host.SendProbe();
            ASSERT_TRUE(host.ReadPacket());
        }
        // The device has handled the close once it counts it.
        ASSERT_TRUE(dev.WaitFor([n](const TSimDevice &d) { return d.Counters().HostCloses >= n; }));
    }
    uint64_t opens = 0;
    alignas(inotify_event) char events[4096];
    ssize_t got;
    while ((got = ::read(watch, events, sizeof events)) > 0)
        for (char *p = events; p < events + got;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
            opens += (reinterpret_cast<inotify_event *>(p)->mask & IN_OPEN) != 0;
    ::close(watch);
    EXPECT_EQ(opens, rounds) << "only the program's own opens";
}

TEST(SimGang, DeviceMapListsEachPortUnderItsVcpName) {
    TSimGang gang(2);
    std::string path = ::testing::TempDir() + "devsim-map-" + std::to_string(getpid()) + ".txt";
    gang.WriteDeviceMap(path);
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "\\Device\\VCP0 " + gang.Device(0).PortPath());
    EXPECT_EQ(lines[1], "\\Device\\VCP1 " + gang.Device(1).PortPath());
    EXPECT_NE(gang.Device(0).PortPath(), gang.Device(1).PortPath());
    // The programs' own reader of the map takes it as written.
    EXPECT_EQ(ReadSerialDeviceMap(path.c_str()),
              (TSerialDeviceMap{{"\\Device\\VCP0", gang.Device(0).PortPath()},
                                {"\\Device\\VCP1", gang.Device(1).PortPath()}}));
}

} // namespace
