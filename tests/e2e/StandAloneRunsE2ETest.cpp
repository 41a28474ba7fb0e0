// Stand-alone runs of simulated programmers, sent back to back, through the
// whole program: every result counted, and the panel saved at the 2000th.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Format.h"
#include "platform/SerialDeviceMap.h"
#include "protocol/Frame.h"
#include "tests/e2e/GangRig.h"
#include "tools/devsim/SimPackets.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kOk = 6;
constexpr uint8_t kNoReadProtection = 0x1E;
constexpr uint16_t kSteps = 3;

// OK mostly, two kinds of NG in between, differently on each channel.
uint8_t ResultOf(int n, size_t run) {
    if ((run + static_cast<size_t>(n)) % 7 == 0)
        return kNoReadProtection;
    if ((run * 3 + static_cast<size_t>(n)) % 11 == 0)
        return 0x2C;
    return kOk;
}

// The lines one run writes on channel n, without their prefix.
void AddRunTexts(std::vector<std::string> &out, int n, uint8_t result, uint32_t ok, uint32_t ng) {
    out.push_back(n == 1 ? std::string("Channel 1 : Initial Programming Interface ....")
                         : Format("Channel %d : Start Auto-Programming....", n));
    out.push_back(Format("Channel %d : Chip Blank Checking....", n));
    out.push_back(Format("Channel %d : Do Chip Erasing....", n));
    out.push_back(Format("Channel %d : Do Main Flash Programming....", n));
    out.push_back(Format("Channel %d : Do Main Flash Verification....", n));
    out.push_back(Format("Channel %d : OK=%d, NG=%d.", n, ok, ng));
    std::string done = Format("Channel %d : Progrmming Completed : ", n);
    if (result == kOk)
        done += n == 1 ? "Successed !" : "Successed!";
    else if (result == kNoReadProtection)
        done += "Error：芯片未设定读保护！";
    else
        done += Format("Failed : Error=0x%0.2x!", result);
    out.push_back(done);
}

// What the runs sent so far must show on each channel: its counts and its
// lines, in order.
struct TExpectedRuns {
    std::vector<std::string> Texts[kChannels];
    uint32_t Ok[kChannels] = {}, Ng[kChannels] = {};

    void Add(int n, uint8_t result) {
        const size_t k = static_cast<size_t>(n - 1);
        ++(result == kOk ? Ok[k] : Ng[k]);
        AddRunTexts(Texts[k], n, result, Ok[k], Ng[k]);
    }
    void ExpectShownBy(GangRig &r) const {
        for (int n = 1; n <= kChannels; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(r.Ctx().ChannelOkCount[r.k(n)], Ok[r.k(n)]);
            EXPECT_EQ(r.Ctx().ChannelNgCount[r.k(n)], Ng[r.k(n)]);
            EXPECT_EQ(r.ChannelTexts(n), Texts[r.k(n)]); // every report, in order
        }
    }
};

std::vector<std::string> TotalsLines(const std::vector<std::string> &lines) {
    std::vector<std::string> out;
    for (const auto &l : lines)
        if (l.rfind(">---- Total OK Number is : ", 0) == 0)
            out.push_back(l);
    return out;
}

std::vector<std::string> FileLines(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "the file ends with a whole line";
    return lines;
}

} // namespace

// Pumps until every channel has counted at least `runs` results.
bool EveryChannelCounted(GangRig &r, size_t runs) {
    return r.PumpUntil(
        [&] {
            for (int n = 1; n <= kChannels; ++n)
                if (r.Ctx().ChannelOkCount[r.k(n)] + r.Ctx().ChannelNgCount[r.k(n)] < runs)
                    return false;
            return true;
        },
        60000);
}

TEST(StandAloneRunsE2E, BackToBackRunsOnFourChannelsAreAllCountedAndTheLogHoldsThem) {
    constexpr size_t kRuns = 500; // per channel: the 2000th result is the last
    constexpr size_t kRunsPerWrite = 25;
    GangRig r;
    r.ShowAndConnect();
    r.Form().InfoMemo.Clear();

    TExpectedRuns want;
    for (int n = 1; n <= kChannels; ++n)
        for (size_t first = 0; first < kRuns; first += kRunsPerWrite) {
            std::vector<uint8_t> results;
            for (size_t run = first; run < first + kRunsPerWrite; ++run) {
                results.push_back(ResultOf(n, run));
                want.Add(n, results.back());
            }
            r.Dev(n).SendStandAloneRuns(results, kSteps);
        }
    const uint32_t totalOk = want.Ok[0] + want.Ok[1] + want.Ok[2] + want.Ok[3];
    const uint32_t totalNg = want.Ng[0] + want.Ng[1] + want.Ng[2] + want.Ng[3];
    ASSERT_EQ(totalOk + totalNg, 2000u);
    ASSERT_GT(totalNg, 100u);

    ASSERT_TRUE(EveryChannelCounted(r, kRuns))
        << "counted OK " << r.Ctx().TotalOkCount << " NG " << r.Ctx().TotalNgCount;

    want.ExpectShownBy(r);
    for (int n = 1; n <= kChannels; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(r.Ctx().ChannelOpCode[r.k(n)], OpIdle);
        EXPECT_EQ(r.Ctx().ChannelBusy[r.k(n)], 0);
    }
    EXPECT_EQ(r.Ctx().TotalOkCount, totalOk);
    EXPECT_EQ(r.Ctx().TotalNgCount, totalNg);
    EXPECT_TRUE(r.Dialogs.Calls.empty());

    // One totals line per result, each counting one more than the last.
    const auto totals = TotalsLines(r.Lines());
    ASSERT_EQ(totals.size(), 2000u);
    const std::string last = Format(">---- Total OK Number is : %d, NG is %d ----", totalOk, totalNg);
    EXPECT_EQ(totals.back(), last);
    for (size_t i = 0; i < totals.size(); ++i) {
        unsigned a = 0, b = 0;
        ASSERT_EQ(std::sscanf(totals[i].c_str(), ">---- Total OK Number is : %u, NG is %u ----", &a, &b), 2);
        ASSERT_EQ(a + b, i + 1) << totals[i];
    }

    // The 2000th result saved the panel as it stood then: everything up to
    // its totals line, which ends the file.
    EXPECT_EQ(r.Ctx().ResultsSinceLogSave, 0u);
    const fs::path log = r.Dir / "VLT_2026_03_09_14_05_07.log";
    ASSERT_TRUE(fs::exists(log));
    const auto saved = FileLines(log);
    const auto end = std::find(r.Lines().begin(), r.Lines().end(), last);
    ASSERT_NE(end, r.Lines().end());
    EXPECT_EQ(saved, std::vector<std::string>(r.Lines().begin(), end + 1));
    EXPECT_EQ(TotalsLines(saved).size(), 2000u);
}

// Noise on the line between the runs (junk, a bad escape, the tail of a frame
// whose start was lost, a frame that is no report, such frames followed by
// noise), written on its own or in one write with the run after it: every run
// is still counted.
TEST(StandAloneRunsE2E, NoiseBetweenRunsCostsNoResult) {
    constexpr size_t kRuns = 28;
    const auto report = SimFrame(SimProgressReport(0x40, 0, 1, kSteps));
    std::vector<std::vector<uint8_t>> noises = {
        {0x11, 0xC0, 0x22, 0x33},
        {0xC0, 0x11, 0xDB, 0x41, 0x22, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {report.begin() + 5, report.end()},
        {0xC0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    // A frame that is not taken, then noise that reads as a report when its
    // closing delimiter is read again as an opening one: with the trailer,
    // five 0xFF and three bytes adding up to 5; without, eight adding up to 0.
    const std::vector<uint8_t> afterTrailer = {0x01, 0x02, 0x02, 0x11, 0x22, 0x33};
    const std::vector<uint8_t> alone = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x40, 0x99};
    auto then = [](std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<uint8_t> request = {0x95, 0, 0, 0x3B, 0x30, 0, 0, 0};
    auto damagedHeader = SimFrame(SimProgressReport(0xF0, 6, 0, 0));
    damagedHeader[2] ^= 0x01;
    damagedHeader.resize(damagedHeader.size() - kFrameTrailerLength);
    noises.push_back(then(SimFrame(SimStatusReply(request, 0)), afterTrailer));
    noises.push_back(then(damagedHeader, alone));
    noises.push_back(then({0xC0, 0x11, 0x22, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, afterTrailer));
    GangRig r;
    r.ShowAndConnect();
    r.Form().InfoMemo.Clear();
    TExpectedRuns want;
    for (int n = 1; n <= kChannels; ++n) {
        for (size_t run = 0; run < kRuns; ++run) {
            const uint8_t result = ResultOf(n, run);
            want.Add(n, result);
            const auto &noise = noises[run % noises.size()];
            if (run / noises.size() % 2 == 0) {
                r.Dev(n).SendRaw(noise);
                r.Dev(n).SendStandAloneRun(result, kSteps);
            } else {
                // The noise and the run in one write.
                std::vector<uint8_t> wire = noise;
                const auto frames = SimStandAloneRunFrames(result, kSteps);
                wire.insert(wire.end(), frames.begin(), frames.end());
                r.Dev(n).SendRaw(std::move(wire));
            }
        }
    }
    ASSERT_TRUE(EveryChannelCounted(r, kRuns))
        << "counted OK " << r.Ctx().TotalOkCount << " NG " << r.Ctx().TotalNgCount;
    want.ExpectShownBy(r);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

// The demo's simulator: --reports with --runs sends its runs back to back on
// every device (the first after three seconds, when the program has long
// found them); the program counts each of them.
TEST(StandAloneRunsE2E, TheSimulatorsTimedRunsAreCounted) {
    constexpr size_t kRuns = 20;
    GangRig r(0);
    const std::string map = (r.Dir / "devsim.map").string();
    const std::string runs = std::to_string(kRuns);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t sim = fork();
    ASSERT_GE(sim, 0);
    if (sim == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(PELMOR_DEVSIM_EXE, PELMOR_DEVSIM_EXE, "--map", map.c_str(), "--reports", "3", "--runs",
              runs.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    struct Stopper {
        pid_t Pid;
        int Out;
        ~Stopper() {
            kill(Pid, SIGTERM);
            waitpid(Pid, nullptr, 0);
            close(Out);
        }
    } stopper{sim, out[0]};
    // It prints the ports once the map is written and they are served.
    std::string printed;
    while (printed.find("\\Device\\VCP3 ") == std::string::npos) {
        pollfd pf{out[0], POLLIN, 0};
        char buf[512];
        ASSERT_GT(poll(&pf, 1, 20000), 0) << printed;
        const ssize_t n = read(out[0], buf, sizeof buf);
        ASSERT_GT(n, 0) << printed;
        printed.append(buf, static_cast<size_t>(n));
    }
    r.Program.PortScan.DeviceMap = [&] { return ReadSerialDeviceMap(map.c_str()); };
    r.Program.Show();
    ASSERT_TRUE(r.PumpUntil([&] {
        for (int n = 1; n <= kChannels; ++n)
            if (r.Ctx().ChannelConnected[r.k(n)] == 0)
                return false;
        return true;
    }));

    ASSERT_TRUE(EveryChannelCounted(r, kRuns))
        << "counted OK " << r.Ctx().TotalOkCount << " NG " << r.Ctx().TotalNgCount;
    for (int n = 1; n <= kChannels; ++n) {
        SCOPED_TRACE(n);
        std::vector<std::string> done;
        for (const auto &t : r.ChannelTexts(n))
            if (t.find("Progrmming Completed") != std::string::npos)
                done.push_back(t);
        ASSERT_GE(done.size(), kRuns);
        // OK and NG in turn. Runs the device sent before the channel was
        // connected are not the program's: the turn may start with either.
        const std::string ok =
            Format("Channel %d : Progrmming Completed : ", n) + (n == 1 ? "Successed !" : "Successed!");
        const std::string ng =
            Format("Channel %d : Progrmming Completed : ", n) + "Error：芯片未设定读保护！";
        for (size_t i = 0; i < done.size(); ++i) {
            EXPECT_TRUE(done[i] == ok || done[i] == ng) << done[i];
            if (i > 0) {
                EXPECT_NE(done[i], done[i - 1]) << i;
            }
        }
    }
}
