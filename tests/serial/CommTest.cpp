#include "serial/Comm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/EventQueue.h"
#include "serial/LineSettings.h"
#include "serial/LineSpeed.h"
#include "serial/PosixPort.h"
#include "tests/serial/PtyPair.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kLimit = 10000ms;

// A component on a pseudo-terminal with the gang programmer's settings,
// recording every event.
struct CommOnPty : ::testing::Test {
    TPumpQueue Queue;
    TPtyPair Pty;
    std::unique_ptr<TComm> Comm = std::make_unique<TComm>(Queue);
    std::vector<std::vector<uint8_t>> Blocks;
    int Hangups = 0;
    int Empties = 0;

    void SetUp() override {
        SetDeclaredPortValues(*Comm, 5);
        Comm->SetCommName(Pty.SlavePath);
        Comm->OnReceiveData = [this](TComm &sender, const uint8_t *buf, uint16_t n) {
            EXPECT_EQ(&sender, Comm.get());
            EXPECT_EQ(buf[n], 0) << "block ends in a spare zero byte";
            Blocks.emplace_back(buf, buf + n);
        };
        Comm->OnRequestHangup = [this](TComm &) { ++Hangups; };
        Comm->OnSendDataEmpty = [this](TComm &) { ++Empties; };
    }
    void TearDown() override {
        if (Comm)
            Comm->ClosePort();
    }
    size_t Received() const {
        size_t n = 0;
        for (const auto &b : Blocks)
            n += b.size();
        return n;
    }
    std::vector<uint8_t> Joined() const {
        std::vector<uint8_t> all;
        for (const auto &b : Blocks)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }
    speed_t FarSpeed() const {
        termios t = FarSettings();
        return ::cfgetospeed(&t);
    }
    termios FarSettings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(Pty.Master, &t), 0);
        return t;
    }
    // Pumps until cond holds, looking at it again every few milliseconds even
    // when no event arrives.
    bool WaitUntil(const std::function<bool()> &cond) {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (!Queue.PumpUntil(cond, 5ms))
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
        return true;
    }
    // Waits until a thread has queued an event, without running it.
    bool WaitPending() {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (Queue.Pending() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return Queue.Pending() > 0;
    }
};

TEST(CommDefaults, ConstructorDefaultsAndDeclaredValues) {
    TPumpQueue q;
    TComm c(q);
    EXPECT_EQ(c.CommName(), "COM2");
    EXPECT_EQ(c.BaudRate(), 9600u);
    EXPECT_FALSE(c.ParityCheck());
    EXPECT_FALSE(c.Outx_CtsFlow());
    EXPECT_FALSE(c.Outx_DsrFlow());
    EXPECT_EQ(c.DtrControl(), TDtrControl::DtrEnable);
    EXPECT_FALSE(c.DsrSensitivity());
    EXPECT_TRUE(c.TxContinueOnXoff());
    EXPECT_TRUE(c.Outx_XonXoffFlow());
    EXPECT_TRUE(c.Inx_XonXoffFlow());
    EXPECT_FALSE(c.ReplaceWhenParityError());
    EXPECT_FALSE(c.IgnoreNullChar());
    EXPECT_EQ(c.RtsControl(), TRtsControl::RtsEnable);
    EXPECT_EQ(c.XonLimit(), 500);
    EXPECT_EQ(c.XoffLimit(), 500);
    EXPECT_EQ(c.ByteSize(), TByteSize::_8);
    EXPECT_EQ(c.Parity(), TParity::None);
    EXPECT_EQ(c.StopBits(), TStopBits::_1);
    EXPECT_EQ(c.XonChar(), 0x11);
    EXPECT_EQ(c.XoffChar(), 0x13);
    EXPECT_EQ(c.ReplacedChar(), 0);
    EXPECT_EQ(c.ReadIntervalTimeout(), 100u);
    EXPECT_EQ(c.ReadTotalTimeoutMultiplier(), 0u);
    EXPECT_EQ(c.ReadTotalTimeoutConstant(), 0u);
    EXPECT_EQ(c.WriteTotalTimeoutMultiplier(), 0u);
    EXPECT_EQ(c.WriteTotalTimeoutConstant(), 0u);
    EXPECT_FALSE(c.IsOpen());

    SetDeclaredPortValues(c, 3);
    EXPECT_EQ(c.CommName(), "COM2");
    EXPECT_EQ(c.BaudRate(), 1000000u);
    EXPECT_EQ(c.DtrControl(), TDtrControl::DtrDisable);
    EXPECT_EQ(c.RtsControl(), TRtsControl::RtsDisable);
    EXPECT_FALSE(c.TxContinueOnXoff());
    EXPECT_FALSE(c.Outx_XonXoffFlow());
    EXPECT_FALSE(c.Inx_XonXoffFlow());
    EXPECT_EQ(c.XonLimit(), 10);
    EXPECT_EQ(c.XoffLimit(), 10);
    EXPECT_EQ(c.StopBits(), TStopBits::_2);
    EXPECT_EQ(c.XonChar(), '0');
    EXPECT_EQ(c.XoffChar(), '0');
    EXPECT_EQ(c.ReadIntervalTimeout(), 3u);
}

TEST_F(CommOnPty, DeclaredValuesReachTheLine) {
    Comm->OpenPort();
    ASSERT_TRUE(Comm->IsOpen());
    termios t = FarSettings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B1000000));
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B1000000));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_cflag & (PARENB | CRTSCTS));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL | ISTRIP));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(t.c_oflag & OPOST);
}

TEST_F(CommOnPty, BytesBothWaysInOrderInBlocksOfAtMost2048) {
    Comm->OpenPort();
    const auto in = Pattern(20000, 1);
    ASSERT_TRUE(Pty.Write(in));
    ASSERT_TRUE(Queue.PumpUntil([&] { return Received() >= in.size(); }, kLimit));
    EXPECT_EQ(Joined(), in);
    for (const auto &b : Blocks) {
        EXPECT_GE(b.size(), 1u);
        EXPECT_LE(b.size(), kCommReadBlock);
    }

    const std::vector<uint8_t> out = {0xC0, 0xA3, 0xA5, 0x35, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(Comm->SendData(out.data(), static_cast<uint16_t>(out.size())));
    EXPECT_EQ(Pty.Read(out.size()), out);
}

TEST_F(CommOnPty, ABlockWrittenAtOnceArrivesAsOneEvent) {
    // A wider interval than the programs' 5 ms keeps a loaded test machine
    // from splitting the block; the grouping is the same.
    Comm->SetReadIntervalTimeout(20);
    Comm->OpenPort();
    const auto in = Pattern(700, 2);
    ASSERT_TRUE(Pty.Write(in));
    ASSERT_TRUE(Queue.PumpUntil([&] { return Received() >= in.size(); }, kLimit));
    ASSERT_EQ(Blocks.size(), 1u);
    EXPECT_EQ(Blocks[0], in);
}

// The first request overfills the pty, so the frames behind it are queued
// while it is still being written and are themselves written in parts.
TEST_F(CommOnPty, FramesAreWrittenWholeAndInOrderWithOneEmptyNoticePerIdlePeriod) {
    Comm->OpenPort();
    ASSERT_TRUE(Queue.PumpUntil([&] { return Empties == 1; }, kLimit)) << "the writer starts idle";
    const auto filler = Pattern(32768, 3);
    const auto first = Pattern(9499, 4);
    const auto second = Pattern(9499, 5);
    for (const auto *f : {&filler, &first, &second})
        ASSERT_TRUE(Comm->SendData(f->data(), static_cast<uint16_t>(f->size())));

    std::vector<uint8_t> expected = filler;
    expected.insert(expected.end(), first.begin(), first.end());
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Pty.Read(expected.size()), expected);
    ASSERT_TRUE(Queue.PumpUntil([&] { return Empties == 2; }, kLimit));
    Comm->ClosePort();
    Queue.Pump();
    EXPECT_EQ(Empties, 2);
    EXPECT_EQ(Hangups, 0);
}

TEST_F(CommOnPty, SendDataRefusesAClosedPortAndAnEmptyBlock) {
    const uint8_t b = 0x55;
    EXPECT_FALSE(Comm->SendData(&b, 1));
    Comm->OpenPort();
    EXPECT_FALSE(Comm->SendData(&b, 0));
    ASSERT_TRUE(Comm->SendData(&b, 1));
    const uint8_t after = 0xAA; // whatever the refused calls wrote would come before it
    ASSERT_TRUE(Comm->SendData(&after, 1));
    EXPECT_EQ(Pty.Read(2), (std::vector<uint8_t>{b, after})) << "only the queued bytes are written";
}

TEST_F(CommOnPty, FarSideClosingGivesExactlyOneHangupRequest) {
    Comm->OpenPort();
    Pty.CloseMaster();
    ASSERT_TRUE(Queue.PumpUntil([&] { return Hangups >= 1; }, kLimit));
    EXPECT_TRUE(Comm->IsOpen()) << "the application closes the port on hang-up";
    // The writer fails on the gone device too, and ends: SendData then refuses.
    // Its failure posts nothing more, so the condition is looked at in slices.
    const uint8_t b = 1;
    EXPECT_TRUE(WaitUntil([&] { return !Comm->SendData(&b, 1); }));
    Comm->ClosePort();
    Queue.Pump();
    EXPECT_EQ(Hangups, 1);
}

TEST_F(CommOnPty, ClosingDuringAStalledWriteEndsItWithoutHangup) {
    Comm->OpenPort();
    std::vector<uint8_t> big(60000, 0x5A);
    ASSERT_TRUE(Comm->SendData(big.data(), static_cast<uint16_t>(big.size())));
    ASSERT_EQ(Pty.Read(100).size(), 100u) << "the write is under way";
    const auto start = std::chrono::steady_clock::now();
    Comm->ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kCommThreadWaitMs));
    EXPECT_FALSE(Comm->IsOpen());
    Queue.Pump();
    EXPECT_EQ(Hangups, 0);
}

TEST_F(CommOnPty, ClosingTwiceIsHarmlessAndThePortOpensAgain) {
    Comm->ClosePort();
    Comm->OpenPort();
    Comm->ClosePort();
    Comm->ClosePort();
    EXPECT_FALSE(Comm->IsOpen());
    Comm->OpenPort();
    ASSERT_TRUE(Pty.Write({1, 2, 3}));
    ASSERT_TRUE(Queue.PumpUntil([&] { return Received() == 3; }, kLimit));
    EXPECT_EQ(Hangups, 0);
}

TEST_F(CommOnPty, EventsQueuedBeforeCloseAreStillDelivered) {
    Comm->OpenPort();
    Queue.PumpUntil([&] { return Empties == 1; }, kLimit);
    ASSERT_TRUE(Pty.Write({7, 8, 9}));
    ASSERT_TRUE(WaitPending());
    Comm->ClosePort();
    Queue.Pump();
    EXPECT_EQ(Joined(), (std::vector<uint8_t>{7, 8, 9}));
}

TEST_F(CommOnPty, EventsQueuedBeforeDestructionAreDropped) {
    bool called = false;
    Comm->OnReceiveData = [&](TComm &, const uint8_t *, uint16_t) { called = true; };
    Comm->OpenPort();
    Queue.PumpUntil([&] { return Empties == 1; }, kLimit);
    ASSERT_TRUE(Pty.Write({7, 8, 9}));
    ASSERT_TRUE(WaitPending());
    Comm.reset(); // closes the port itself
    EXPECT_GT(Queue.Pump(), 0u);
    EXPECT_FALSE(called);
}

// Driver counters (real USB ports; a pseudo-terminal has none) become the
// event bits.
TEST(CommLineEvents, CounterChangesBecomeEventBits) {
    struct Case {
        const char *What;
        void (*Change)(TLineCounters &);
        uint32_t Errors, Modem;
    } cases[] = {
        {"nothing", [](TLineCounters &) {}, 0, 0},
        {"frame", [](TLineCounters &c) { c.Frame += 1; }, CommErrFrame, 0},
        {"overrun", [](TLineCounters &c) { c.Overrun += 2; }, CommErrOverrun, 0},
        {"parity", [](TLineCounters &c) { c.Parity += 1; }, CommErrParity, 0},
        {"break", [](TLineCounters &c) { c.Break += 1; }, CommErrBreak, 0},
        {"buffer overrun", [](TLineCounters &c) { c.BufOverrun += 1; }, CommErrRxOver, 0},
        {"carrier", [](TLineCounters &c) { c.Carrier += 1; }, 0, CommModemCarrier},
        {"ring", [](TLineCounters &c) { c.Ring += 1; }, 0, CommModemRing},
        {"carrier, ring and frame",
         [](TLineCounters &c) {
             c.Carrier += 1;
             c.Ring += 3;
             c.Frame += 1;
         },
         CommErrFrame, CommModemCarrier | CommModemRing},
    };
    for (const auto &c : cases) {
        TLineCounters before;
        before.Frame = 7;
        before.Ring = 0xFFFFFFFFu; // counters wrap
        TLineCounters after = before;
        c.Change(after);
        EXPECT_EQ(LineErrorBits(before, after), c.Errors) << c.What;
        EXPECT_EQ(ModemBits(before, after), c.Modem) << c.What;
    }
}

TEST(CommOpen, FailuresLeaveThePortClosed) {
    char file[] = "/tmp/pelmor-comm-XXXXXX";
    int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    struct Case {
        std::string Name;
        const char *Message;
    } cases[] = {
        {"/dev/pelmor-no-such-port", kMsgErrorOpening},
        {"pelmor-no-such-port", kMsgErrorOpening},
        {"", kMsgErrorOpening},
        {file, kMsgNotCommHandle},
        {"/dev/null", kMsgCannotSetupBuffer},
    };
    TPumpQueue q;
    for (const auto &c : cases) {
        TComm comm(q);
        comm.SetCommName(c.Name);
        try {
            comm.OpenPort();
            ADD_FAILURE() << c.Name << " opened";
        } catch (const ECommsError &e) {
            EXPECT_STREQ(e.what(), c.Message) << c.Name;
        }
        EXPECT_FALSE(comm.IsOpen()) << c.Name;
        const uint8_t b = 0;
        EXPECT_FALSE(comm.SendData(&b, 1)) << c.Name;
    }
    // Nothing was left holding the file.
    int again = OpenPortExclusive(file);
    EXPECT_GE(again, 0);
    ClosePortHandle(again);
    ::unlink(file);
}

TEST_F(CommOnPty, OpeningAnOpenPortFailsAndLeavesItWorking) {
    Comm->OpenPort();
    TComm other(Queue);
    other.SetCommName(Pty.SlavePath);
    struct Case {
        TComm *Target;
        const char *Message;
    } cases[] = {{Comm.get(), kMsgAlreadyOpened}, {&other, kMsgErrorOpening}};
    for (const auto &c : cases) {
        try {
            c.Target->OpenPort();
            ADD_FAILURE() << c.Message;
        } catch (const ECommsError &e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
    EXPECT_TRUE(Comm->IsOpen());
    EXPECT_FALSE(other.IsOpen());
    EXPECT_LT(OpenPortExclusive(Pty.SlavePath), 0) << "held exclusively";
    ASSERT_TRUE(Pty.Write({4, 5}));
    ASSERT_TRUE(Queue.PumpUntil([&] { return Received() == 2; }, kLimit));
}

TEST_F(CommOnPty, APortHeldExclusivelyByAnotherProgramIsNotOpened) {
    TForeignHolder holder(Pty.SlavePath);
    try {
        Comm->OpenPort();
        ADD_FAILURE() << "opened a port another program holds";
    } catch (const ECommsError &e) {
        EXPECT_STREQ(e.what(), kMsgErrorOpening);
    }
    EXPECT_FALSE(Comm->IsOpen());
    EXPECT_TRUE(holder.StillExclusive()) << "the other program's hold is left as it was";
    holder.Release();
    Comm->OpenPort();
    EXPECT_TRUE(Comm->IsOpen());
}

TEST_F(CommOnPty, BaudRateReappliesAtOnceUnlessUnchanged) {
    Comm->OpenPort();
    // The far side moves the speed; writing the current value must not undo it.
    termios t = FarSettings();
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ASSERT_EQ(::tcsetattr(Pty.Master, TCSANOW, &t), 0);
    Comm->SetBaudRate(1000000);
    EXPECT_EQ(FarSpeed(), static_cast<speed_t>(B9600));
    Comm->SetBaudRate(115200);
    EXPECT_EQ(FarSpeed(), static_cast<speed_t>(B115200));
}

// A pseudo-terminal takes any rate, so the far side shows what was asked for.
TEST_F(CommOnPty, RatesWithoutAStandardCodeReachTheLine) {
    for (uint32_t rate : {250000u, 123457u, 1000000u}) {
        Comm->SetBaudRate(rate);
        Comm->OpenPort();
        uint32_t output = 0, input = 0;
        ASSERT_TRUE(ReadLineSpeed(Pty.Master, output, input));
        EXPECT_EQ(output, rate);
        EXPECT_EQ(input, rate);
        Comm->ClosePort();
    }
    Comm->OpenPort();
    Comm->SetBaudRate(76543);
    uint32_t output = 0, input = 0;
    ASSERT_TRUE(ReadLineSpeed(Pty.Master, output, input));
    EXPECT_EQ(output, 76543u) << "re-applied while open";
}

TEST_F(CommOnPty, ASpeedTheDriverCannotSetIsAnError) {
    auto openError = [this] {
        try {
            Comm->OpenPort();
            return std::string();
        } catch (const ECommsError &e) {
            return std::string(e.what());
        }
    };
    Comm->SetBaudRate(0);
    EXPECT_EQ(openError(), kMsgCannotSetupBuffer);
    EXPECT_FALSE(Comm->IsOpen());
    Comm->SetBaudRate(1000000);
    EXPECT_EQ(openError(), "") << "the failed open left nothing behind";
    try {
        Comm->SetBaudRate(0);
        ADD_FAILURE() << "a speed of 0 was taken";
    } catch (const ECommsError &e) {
        EXPECT_STREQ(e.what(), kMsgCannotSetupBuffer);
    }
    EXPECT_TRUE(Comm->IsOpen());
    EXPECT_EQ(FarSpeed(), static_cast<speed_t>(B1000000)) << "the line keeps its speed";
}

TEST(CommLineSettings, TheDriversRateCountsWithinTwoPercent) {
    const struct {
        uint32_t Asked, Actual;
        bool Matches;
    } cases[] = {
        {1000000, 1000000, true},  {1000000, 980000, true},
        {1000000, 1020000, true},  {1000000, 979999, false},
        {1000000, 1020001, false}, {250000, 9600, false},
        {115200, 115107, true},    {0, 0, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SpeedMatches(c.Asked, c.Actual), c.Matches) << c.Asked << " ran at " << c.Actual;
}

// A pseudo-terminal forces 8 data bits and clears PARENB, but keeps PARODD.
TEST_F(CommOnPty, ParityWaitsForTheNextReapply) {
    Comm->OpenPort();
    Comm->SetParity(TParity::Odd);
    EXPECT_FALSE(FarSettings().c_cflag & PARODD);
    Comm->SetStopBits(TStopBits::_1);
    const termios t = FarSettings();
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST(CommLineSettings, PropertiesMapToTermios) {
    struct Case {
        const char *What;
        void (*Set)(TComm &);
        tcflag_t termios::*Flags;
        tcflag_t Mask, Expected;
    } cases[] = {
        {"declared: 8 data bits", [](TComm &) {}, &termios::c_cflag, CSIZE, CS8},
        {"declared: two stop bits", [](TComm &) {}, &termios::c_cflag, CSTOPB, CSTOPB},
        {"declared: no parity, no CTS flow", [](TComm &) {}, &termios::c_cflag, PARENB | CRTSCTS, 0},
        {"declared: no XON/XOFF, no parity check", [](TComm &) {}, &termios::c_iflag, IXON | IXOFF | INPCK,
         0},
        {"declared: raw input", [](TComm &) {}, &termios::c_lflag, ICANON | ECHO | ISIG, 0},
        {"7 data bits", [](TComm &c) { c.SetByteSize(TByteSize::_7); }, &termios::c_cflag, CSIZE, CS7},
        {"5 data bits", [](TComm &c) { c.SetByteSize(TByteSize::_5); }, &termios::c_cflag, CSIZE, CS5},
        {"odd parity", [](TComm &c) { c.SetParity(TParity::Odd); }, &termios::c_cflag,
         PARENB | PARODD | CMSPAR, PARENB | PARODD},
        {"even parity", [](TComm &c) { c.SetParity(TParity::Even); }, &termios::c_cflag,
         PARENB | PARODD | CMSPAR, PARENB},
        {"mark parity", [](TComm &c) { c.SetParity(TParity::Mark); }, &termios::c_cflag,
         PARENB | PARODD | CMSPAR, PARENB | PARODD | CMSPAR},
        {"space parity", [](TComm &c) { c.SetParity(TParity::Space); }, &termios::c_cflag,
         PARENB | PARODD | CMSPAR, PARENB | CMSPAR},
        {"one stop bit", [](TComm &c) { c.SetStopBits(TStopBits::_1); }, &termios::c_cflag, CSTOPB, 0},
        {"one and a half stop bits", [](TComm &c) { c.SetStopBits(TStopBits::_1_5); }, &termios::c_cflag,
         CSTOPB, CSTOPB},
        {"CTS flow", [](TComm &c) { c.SetOutx_CtsFlow(true); }, &termios::c_cflag, CRTSCTS, CRTSCTS},
        {"RTS handshake", [](TComm &c) { c.SetRtsControl(TRtsControl::RtsHandshake); }, &termios::c_cflag,
         CRTSCTS, CRTSCTS},
        {"XON/XOFF out", [](TComm &c) { c.SetOutx_XonXoffFlow(true); }, &termios::c_iflag, IXON | IXOFF,
         IXON},
        {"XON/XOFF in", [](TComm &c) { c.SetInx_XonXoffFlow(true); }, &termios::c_iflag, IXON | IXOFF, IXOFF},
        {"parity check drops bad bytes", [](TComm &c) { c.SetParityCheck(true); }, &termios::c_iflag,
         INPCK | IGNPAR, INPCK | IGNPAR},
        {"parity check replaces bad bytes",
         [](TComm &c) {
             c.SetParityCheck(true);
             c.SetReplaceWhenParityError(true);
         },
         &termios::c_iflag, INPCK | IGNPAR, INPCK},
    };
    TPumpQueue q;
    for (const auto &c : cases) {
        TComm comm(q);
        SetDeclaredPortValues(comm, 5);
        c.Set(comm);
        termios t{};
        t.c_iflag = ICRNL | IXANY;
        t.c_lflag = ICANON | ECHO | ISIG;
        t.c_cflag = CS5 | PARENB;
        ComposeTermios(comm, t);
        EXPECT_EQ(t.*(c.Flags) & c.Mask, c.Expected) << c.What;
    }
    TComm comm(q);
    comm.SetBaudRate(1000000);
    comm.SetXonChar(0x21);
    comm.SetXoffChar(0x22);
    termios t{};
    ComposeTermios(comm, t);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B1000000));
    EXPECT_EQ(t.c_cc[VSTART], 0x21);
    EXPECT_EQ(t.c_cc[VSTOP], 0x22);
}

TEST_F(CommOnPty, IgnoreNullCharDropsZeroBytes) {
    Comm->SetIgnoreNullChar(true);
    Comm->OpenPort();
    ASSERT_TRUE(Pty.Write({0, 1, 0, 2, 0}));
    ASSERT_TRUE(Queue.PumpUntil([&] { return Received() == 2; }, kLimit));
    EXPECT_EQ(Joined(), (std::vector<uint8_t>{1, 2}));
}

} // namespace
