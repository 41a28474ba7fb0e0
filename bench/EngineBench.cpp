// Benchmarks of the protocol engine: how long the host takes from the last
// byte of a reply to the next block queued for writing, and a whole 64 KB
// download on four channels against simulated programmers.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/ReceiveEvents.h"
#include "app/VltProgram.h"
#include "bench/DownloadRig.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "protocol/ChannelOps.h"
#include "protocol/Frame.h"
#include "serial/Comm.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"

namespace {

// A pseudo-terminal whose far side is read and thrown away, so the writer
// thread never stalls.
class DrainedPty {
public:
    DrainedPty() {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        Path = ptsname(Master);
        Reader = std::thread([this] {
            std::vector<char> buf(65536);
            while (!Stop.load())
                if (read(Master, buf.data(), buf.size()) <= 0)
                    break;
        });
    }
    ~DrainedPty() {
        Stop.store(true);
        close(Master);
        Reader.join();
    }
    std::string Path;

private:
    int Master = -1;
    std::atomic<bool> Stop{false};
    std::thread Reader;
};

std::vector<uint8_t> StatusFrame(uint8_t status) {
    std::vector<uint8_t> p(kPktOverhead + 1);
    PutPacketHeader(p, 0x55, 0, 80, 1, 1);
    p[kPktPayload] = status;
    SealPacket(p);
    std::vector<uint8_t> wire(64);
    wire.resize(EncodeFrame(p, wire));
    return wire;
}

// The data-block acknowledgement of a running download is handed to the
// receive handler; timed from its last byte (the closing delimiter) to the
// return, by which the next 4 KB block is built, encoded and queued.
void BM_ReplyToNextBlockQueued(benchmark::State &state) {
    TPumpQueue queue;
    RecordingDialogs dialogs;
    TFixedClock clock;
    auto form = std::make_unique<TProgramVLT>();
    form->Clock = &clock;
    auto ctx = std::make_unique<VltContext>();
    ctx->Form = form.get();
    ctx->Dialogs = &dialogs;
    ctx->Clock = &clock;
    ctx->ChannelGauge[0] = &form->GaugeBar1;
    DrainedPty pty;
    TComm comm(queue);
    SetDeclaredPortValues(comm, 5);
    comm.SetCommName(pty.Path);
    comm.OpenPort();
    ctx->ChannelComm[0] = &comm;
    ctx->ChannelConnected[0] = 1;
    ctx->MemoryImageFlag = 1;
    ctx->ChipFamily = 80;
    ctx->TransferKB = 64;
    ctx->ChannelOpCode[0] = OpDataBlocks;
    BeginOperation(*ctx, 1);

    const auto frame = StatusFrame(0);
    const size_t last = frame.size() - 1 - kFrameTrailerLength; // the closing 0xC0
    for (auto _ : state) {
        ctx->ChannelBlockPos[0] = 0; // never the last block
        ctx->ChannelRxCount[0] = 0;
        SPxCommReceiveData(*ctx, 1, frame.data(), static_cast<uint16_t>(last));
        const auto t0 = std::chrono::steady_clock::now();
        SPxCommReceiveData(*ctx, 1, frame.data() + last, 1);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        if (ctx->ChannelOpCode[0] != OpDataBlocks || ctx->PacketBuf[0][0] != 0x55)
            state.SkipWithError("the next block was not sent");
        queue.Pump(); // writer notices
    }
    comm.ClosePort();
}
BENCHMARK(BM_ReplyToNextBlockQueued)->UseManualTime()->MinTime(0.5);

// A 64 KB download (setup, 16 blocks, closing) on four channels at once,
// from the click to the last channel idle.
void BM_Download64KBOnFourChannels(benchmark::State &state) {
    TSimGang gang(4);
    TPumpQueue queue;
    RecordingDialogs dialogs;
    TFixedClock clock;
    TVltProgram program(queue, dialogs, clock);
    program.ProgramPath = "/tmp/pelmor-bench/Pelmor200VLT";
    program.PortScan.DeviceMap = [map = MapOf(gang)] { return map; };
    program.PortScan.Pause = [](unsigned) {};
    program.Show();
    VltContext &ctx = program.Context();
    if (!queue.PumpUntil([&] { return AllConnected(ctx); }, std::chrono::seconds(10))) {
        state.SkipWithError("programmers did not answer");
        return;
    }
    PrepareImage(program);
    auto idle = [&] { return AllIdle(ctx); };
    for (auto _ : state) {
        program.Form().SpdBtnDownLoad.Click();
        if (!queue.PumpUntil(idle, std::chrono::seconds(30))) {
            state.SkipWithError("download did not finish");
            break;
        }
        for (size_t k = 0; k < 4; ++k)
            if (ctx.ChannelOpCode[k] != OpIdle ||
                ctx.Form->GaugeBar(static_cast<int>(k) + 1).ForeColor != TColor::Blue)
                state.SkipWithError("a channel failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * 65536);
    program.ClosePorts();
}
BENCHMARK(BM_Download64KBOnFourChannels)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
