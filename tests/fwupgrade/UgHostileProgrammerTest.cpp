// The upgrade tool against a programmer that is slow, silent, answers a reply twice,
// answers damaged or goes away, and an operator who starts, restarts and
// searches at any moment. The programmer answers in order. What must hold:
// a success is shown only when the programmer acknowledged every block (or
// the verify) of that very operation, one box per operation and never one
// inside another, and no operation runs on without end.
//
// UG_HOSTILE_SCENARIOS=N runs N scenarios (300 by default); UG_TRACE=seed
// prints the last events of that failing scenario (-1: of every one);
// UG_FOUND_ONLY=1 keeps the operator off the menu until the device answered.
// UG_CLEAN_PROBES=1 keeps the programmer and the line from losing or damaging
// a probe's answer (always so where the tool must work again at the end);
// UG_SEARCH_KEEPS_WIRE=1 lets the bytes on their way survive a search;
// UG_TRACE_LEN=N keeps N events, UG_TRACE_BYTES=1 adds every read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "UgReplies.h"
#include "forms/RecordingDialogs.h"
#include "fwupgrade/FirmWareUGForm.h"
#include "fwupgrade/UgHandlers.h"
#include "fwupgrade/UgProtocol.h"
#include "protocol/PortDiscovery.h"

namespace {

using namespace fwug;
using Kind = RecordingDialogs::Kind;

constexpr uint16_t kFirstBlock = 0x2000;
constexpr unsigned kBlocks = 12;

// What the programmer sent back, and for which operation of the tool.
struct Answer {
    int op;
    uint8_t cmd;
    uint16_t addr;
    bool good; // a success status, or the verify's right words
    bool damaged;
};

struct Request {
    int op;
    bool probe;
    uint8_t cmd;
    uint16_t addr;
};

class Bench {
public:
    // With `cleanProbes` the programmer and the line never lose nor damage a
    // probe's answer: a count of probes out that stays wrong is the tool's.
    Bench(uint32_t seed, bool cleanProbes) : rng(seed), cleanProbes(cleanProbes) {
        ctx.Form = &form;
        ctx.AboutForm = &about;
        ctx.Dialogs = &dialogs;
        ctx.ExpCheckSum1 = 0x10DB;
        ctx.ExpCheckSum2 = 0x4B5C;
        ctx.UgStartAddr = kFirstBlock;
        ctx.UgEndAddr = 0x4FFF;
        ctx.DeviceMap = [] { return TSerialDeviceMap{}; };
        dialogs.WhileOpen = [this](const RecordingDialogs::Call &c) { BoxOpen(c); };
    }

    // Runs the scenario; returns the first broken rule, empty when none.
    std::string Run(int ticks) {
        Call([&] {
            ctx.DeviceFound = 0;
            UgSendHandshake(ctx);
        });
        for (now = 0; now < ticks && fault.empty(); ++now) {
            Operator();
            Step();
        }
        // Left alone, everything ends.
        for (int t = 0; t < 14 * UgReplyTimeoutTicks && ctx.UgState != UgIdle && fault.empty(); ++t, ++now)
            Step();
        if (fault.empty() && ctx.UgState != UgIdle)
            Fail("an operation never ends");
        return fault;
    }

    // Then the programmer answers everything it holds, at once and intact,
    // and the operator checks once more: that check must succeed.
    std::string Settle() {
        calm = true;
        serviceLeft = std::min(serviceLeft, 5);
        neverAnswer = false;
        if (!plugged) {
            plugged = true;
            pending.clear();
            wire.clear();
            Search();
        }
        for (int t = 0;
             t < 40000 && fault.empty() && (!pending.empty() || !wire.empty() || ctx.UgState != UgIdle);
             ++t, ++now)
            Step();
        if (!fault.empty())
            return fault;
        // A probe's answer lost where the port was closed (a search) or its
        // half dropped is taken for a later one: each costs at most one
        // check that times out, never more, and never a success too early.
        const int lost = ctx.UgProbesOut;
        const int before = successes;
        for (int tries = 0; tries <= lost && successes == before && fault.empty(); ++tries) {
            NewOp(UgVerifyRunning);
            Call([&] { SpdBtnVerifyClick(ctx); });
            for (int t = 0;
                 t < 3 * UgReplyTimeoutTicks && (ctx.UgState != UgIdle || !wire.empty()) && fault.empty();
                 ++t, ++now)
                Step();
        }
        if (fault.empty() && successes != before + 1)
            Fail("everything answered, yet no verify of the next " + std::to_string(lost + 1) +
                 " succeeded (probes counted out: " + std::to_string(ctx.UgProbesOut) + ")");
        return fault;
    }

    int ops = 0;
    int successes = 0;
    int boxes = 0;
    // The last events, to tell how a rule was broken.
    std::deque<std::string> trace;

private:
    int Pct() { return static_cast<int>(rng() % 100); }
    int Range(int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); }

    void Trace(const std::string &what) {
        trace.push_back(std::to_string(now) + " " + what);
        if (trace.size() > (std::getenv("UG_TRACE_LEN") ? std::stoul(std::getenv("UG_TRACE_LEN")) : 60u))
            trace.pop_front();
    }
    static std::string Name(uint8_t cmd, uint16_t addr) {
        if (cmd == UgCmdVerify)
            return "verify";
        return "block " + std::to_string((addr - kFirstBlock) / 0x400);
    }

    void Fail(const std::string &what) {
        if (!fault.empty())
            return;
        std::ostringstream s;
        s << "tick " << now << ", op " << op << ": " << what;
        fault = s.str();
    }

    // Every call into the tool: the frame it sent, if any, goes to the programmer.
    template <typename F> void Call(F f) {
        ctx.UgTxBuffer[0] = 0;
        const uint8_t out = ctx.UgProbesOut;
        f();
        if (ctx.UgProbesOut != out)
            Trace("probes counted out: " + std::to_string(ctx.UgProbesOut));
        if (ctx.UgTxBuffer[0] != kFrameDelimiter)
            return;
        if (std::equal(kProbeFrame.begin(), kProbeFrame.end(), ctx.UgTxBuffer.begin())) {
            Queue({op, true, 0, 0});
            return;
        }
        std::vector<uint8_t> rx(ctx.UgTxBuffer.begin(), ctx.UgTxBuffer.end());
        std::vector<uint8_t> pkt(kUgPacketSize);
        uint16_t len = 0, count = static_cast<uint16_t>(rx.size());
        if (DecodeFrame(rx, pkt, len, count) != kFrameOk) {
            Fail("the tool sent an undecodable frame");
            return;
        }
        Queue({op, false, pkt[0], GetU16(pkt, 1)});
    }

    void Queue(const Request &r) {
        if (!plugged)
            return;
        if (inBox > 0)
            Fail("a request went out while a box was open");
        Trace("op " + std::to_string(r.op) + " sends " +
              (r.probe ? std::string("probe") : Name(r.cmd, r.addr)));
        pending.push_back(r);
        if (pending.size() == 1)
            StartService();
    }

    // Most requests are served at once; some take longer than the 10 s the
    // tool waits, a few are never answered.
    void StartService() {
        if (calm) {
            serviceLeft = Range(0, 5);
            neverAnswer = false;
            return;
        }
        const int p = Pct();
        serviceLeft = p < 70 ? Range(0, 5) : p < 85 ? Range(6, 450) : Range(450, 900);
        neverAnswer = Pct() < 4 && !(cleanProbes && pending.front().probe);
    }

    void Serve() {
        if (pending.empty() || !plugged)
            return;
        if (serviceLeft-- > 0)
            return;
        const Request r = pending.front();
        pending.pop_front();
        if (neverAnswer)
            Trace("programmer never answers op " + std::to_string(r.op));
        if (!neverAnswer) {
            // A reply may come twice. A probe's answer carries nothing that
            // tells two apart, so one sent twice would end the wait for
            // answers owed one answer early: a programmer that does so is
            // beyond what the tool can see, and is not played here.
            const int copies = !calm && !r.probe && Pct() < 8 ? 2 : 1;
            std::vector<uint8_t> frame;
            Answer a{r.op, r.cmd, r.addr, true, false};
            if (r.probe) {
                frame = ugtest::ProbeReply("Pelmor200VLT");
            } else if (r.cmd == UgCmdDataBlock) {
                const int p = Pct();
                const uint8_t status = calm || p < 88 ? 0 : p < 94 ? 6 : 0x2C;
                a.good = status == 0 || status == 6;
                frame = ugtest::StatusReply(r.cmd, r.addr, status);
            } else {
                a.good = calm || Pct() < 85;
                frame = a.good ? ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C)
                               : ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DA, 0x4B5C);
            }
            for (int c = 0; c < copies; ++c) {
                auto bytes = frame;
                if (!calm && !(cleanProbes && r.probe) && Pct() < 5) {
                    // Line noise hits a byte between the delimiters.
                    bytes[static_cast<size_t>(Range(1, static_cast<int>(bytes.size()) - 7))] ^=
                        static_cast<uint8_t>(Range(1, 255));
                    if (!r.probe)
                        answers.push_back({a.op, a.cmd, a.addr, a.good, true});
                } else if (!r.probe) {
                    answers.push_back(a);
                }
                Noise();
                Trace(std::string("programmer answers op ") + std::to_string(r.op) + " " +
                      (r.probe ? std::string("probe") : Name(r.cmd, r.addr)) +
                      (a.good ? " good" : " FAILED") + (bytes != frame ? " damaged" : ""));
                wire.insert(wire.end(), bytes.begin(), bytes.end());
            }
        }
        if (!pending.empty())
            StartService();
    }

    // Now and then junk on the line: bytes without a delimiter, or a stray frame.
    void Noise() {
        if (calm)
            return;
        const int p = Pct();
        if (p < 3) {
            for (int i = Range(1, 20); i > 0; --i) {
                uint8_t b = static_cast<uint8_t>(rng());
                wire.push_back(b == kFrameDelimiter ? 0x5A : b);
            }
        } else if (p < 5) {
            wire.push_back(kFrameDelimiter);
            for (int i = Range(0, 14); i > 0; --i) {
                uint8_t b = static_cast<uint8_t>(rng());
                wire.push_back(b == kFrameDelimiter ? 0x5A : b);
            }
            wire.push_back(kFrameDelimiter);
        }
    }

    // Reads cut anywhere: one byte, a few, or all that is there.
    void Deliver() {
        if (wire.empty())
            return;
        const int p = Pct();
        size_t n = p < 30 ? 1 : p < 70 ? static_cast<size_t>(Range(1, 40)) : wire.size();
        n = std::min(n, wire.size());
        std::vector<uint8_t> chunk(wire.begin(), wire.begin() + static_cast<long>(n));
        wire.erase(wire.begin(), wire.begin() + static_cast<long>(n));
        if (std::getenv("UG_TRACE_BYTES")) {
            std::ostringstream hex;
            for (uint8_t b : chunk)
                hex << ' ' << std::hex << int(b);
            Trace("read" + hex.str());
        }
        Call([&] { SPxComm1ReceiveData(ctx, chunk.data(), static_cast<uint16_t>(chunk.size())); });
    }

    void Step() {
        Serve();
        Deliver();
        if (Pct() < 50)
            Deliver();
        Call([&] { Timer1Timer(ctx); });
        if (ctx.UgState != UgIdle) {
            if (++runningTicks > 13 * UgReplyTimeoutTicks + 10)
                Fail("an operation runs on past every time-out");
        } else {
            runningTicks = 0;
        }
    }

    // While a box is open its event loop goes on: bytes and ticks come.
    void BoxOpen(const RecordingDialogs::Call &c) {
        ++boxes;
        Trace("box: " + c.text);
        if (inBox > 0)
            Fail("a box opened over another: " + c.text);
        if (resulted)
            Fail("a second box for one operation: " + c.text);
        resulted = true;
        if (c.kind == Kind::Information) {
            ++successes;
            CheckSuccess();
        }
        ++inBox;
        for (int t = Range(0, 30); t > 0 && fault.empty(); --t) {
            Serve();
            Deliver();
            Call([&] { Timer1Timer(ctx); });
        }
        --inBox;
    }

    void CheckSuccess() {
        auto acked = [&](uint8_t cmd, uint16_t addr) {
            for (const Answer &a : answers)
                if (a.op == op && a.cmd == cmd && a.addr == addr && a.good && !a.damaged)
                    return true;
            return false;
        };
        if (opKind == UgUpgradeRunning) {
            for (unsigned b = 0; b < kBlocks; ++b)
                if (!acked(UgCmdDataBlock, static_cast<uint16_t>(kFirstBlock + 0x400 * b))) {
                    Fail("success shown, but block " + std::to_string(b) +
                         " of this upgrade was not acknowledged");
                    return;
                }
        } else if (opKind == UgVerifyRunning) {
            if (!acked(UgCmdVerify, 0x4FFF))
                Fail("success shown, but the programmer did not acknowledge this verify");
        } else {
            Fail("success shown with no operation started");
        }
    }

    void NewOp(uint8_t kind) {
        ++op;
        ++ops;
        opKind = kind;
        resulted = false;
        Trace("operator starts op " + std::to_string(op) +
              (kind == UgUpgradeRunning  ? " upgrade"
               : kind == UgVerifyRunning ? " verify"
                                         : " search"));
    }

    void Operator() {
        const int p = Pct();
        if (!plugged) {
            if (p < 2) {
                // Plugged back in and searched for: a new programmer, nothing owed.
                plugged = true;
                pending.clear();
                wire.clear();
                Search();
            }
            return;
        }
        if (p >= 3)
            return;
        if (std::getenv("UG_FOUND_ONLY") && ctx.DeviceFound == 0)
            return;
        const int what = Range(0, 99);
        if (what < 40) {
            NewOp(UgUpgradeRunning);
            Call([&] { SpdBtnDownLoadClick(ctx); });
        } else if (what < 75) {
            NewOp(UgVerifyRunning);
            Call([&] { SpdBtnVerifyClick(ctx); });
        } else if (what < 92) {
            Search();
        } else {
            // Unplugged: what was on its way and what the programmer held are gone.
            plugged = false;
            Trace("unplugged");
            pending.clear();
            wire.clear();
            Call([&] { SPxComm1RequestHangup(ctx); });
        }
    }

    // A search abandons the operation, reopens the port (losing what was on
    // its way) and probes.
    void Search() {
        NewOp(UgIdle);
        resulted = true; // a search shows no result box of its own
        Call([&] { BitBtnFindClick(ctx); });
        if (!searchKeepsWire)
            wire.clear();
        Call([&] {
            ctx.DeviceFound = 0;
            UgSendHandshake(ctx);
        });
    }

    std::mt19937 rng;
    TFirmWareUG form;
    TAboutForm about;
    RecordingDialogs dialogs;
    UgContext ctx;

    std::deque<Request> pending;
    int serviceLeft = 0;
    bool neverAnswer = false;
    bool plugged = true;
    bool calm = false;
    bool cleanProbes;
    // The search's reopening of the port loses nothing on its way.
    bool searchKeepsWire = std::getenv("UG_SEARCH_KEEPS_WIRE") != nullptr;
    std::deque<uint8_t> wire;
    std::vector<Answer> answers;

    int now = 0;
    int op = 0;
    uint8_t opKind = UgIdle;
    bool resulted = true;
    int inBox = 0;
    int runningTicks = 0;
    std::string fault;
};

// The same rules, each in the shortest sequence that broke one, against a
// scripted programmer that answers what the tool sent, in order.
class UgGivenUpOn : public ::testing::Test {
protected:
    UgGivenUpOn() { Fresh(); }
    void Fresh() {
        ctx = UgContext{};
        dialogs.Calls.clear();
        sent.clear();
        failing.clear();
        ctx.Form = &form;
        ctx.AboutForm = &about;
        ctx.Dialogs = &dialogs;
        ctx.ExpCheckSum1 = 0x10DB;
        ctx.ExpCheckSum2 = 0x4B5C;
        ctx.UgStartAddr = kFirstBlock;
        ctx.UgEndAddr = 0x4FFF;
        ctx.DeviceMap = [] { return TSerialDeviceMap{}; };
        ctx.DeviceFound = 1;
    }
    // Runs f as operation `op` of the operator; what it sends is queued for the programmer.
    template <typename F> void Do(F f) {
        ctx.UgTxBuffer[0] = 0;
        f();
        if (ctx.UgTxBuffer[0] != kFrameDelimiter)
            return;
        if (std::equal(kProbeFrame.begin(), kProbeFrame.end(), ctx.UgTxBuffer.begin())) {
            sent.push_back({op, true, 0, 0});
            return;
        }
        std::vector<uint8_t> rx(ctx.UgTxBuffer.begin(), ctx.UgTxBuffer.end()), pkt(kUgPacketSize);
        uint16_t len = 0, count = static_cast<uint16_t>(rx.size());
        ASSERT_EQ(DecodeFrame(rx, pkt, len, count), kFrameOk);
        sent.push_back({op, false, pkt[0], GetU16(pkt, 1)});
    }
    void Start(void (*start)(UgContext &)) {
        ++op;
        Do([&] { start(ctx); });
    }
    void TimeOut() {
        Do([&] {
            for (int t = 0; t < UgReplyTimeoutTicks && ctx.UgState != UgIdle; ++t)
                Timer1Timer(ctx);
        });
    }
    // The programmer answers the next `n` requests, the ones sent meanwhile too.
    void Answer(size_t n = SIZE_MAX) {
        for (; n > 0 && !sent.empty(); --n) {
            const Request r = sent.front();
            sent.pop_front();
            const bool bad = failing.count({r.op, r.addr}) > 0;
            std::vector<uint8_t> bytes;
            if (r.probe)
                bytes = ugtest::ProbeReply("Pelmor200VLT");
            else if (r.cmd == UgCmdDataBlock)
                bytes = ugtest::StatusReply(r.cmd, r.addr, bad ? 0x2C : 0);
            else
                bytes = bad ? ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DA, 0x4B5C)
                            : ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C);
            Do([&] { SPxComm1ReceiveData(ctx, bytes.data(), static_cast<uint16_t>(bytes.size())); });
        }
    }
    // The programmer answers all requests sent so far, in one read.
    void AnswerInOneRead() {
        std::vector<uint8_t> all;
        for (; !sent.empty(); sent.pop_front()) {
            const Request r = sent.front();
            const auto bytes = r.probe ? ugtest::ProbeReply("Pelmor200VLT")
                               : r.cmd == UgCmdDataBlock
                                   ? ugtest::StatusReply(r.cmd, r.addr, 0)
                                   : ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C);
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        Feed(all);
    }
    void Feed(const std::vector<uint8_t> &bytes) {
        Do([&] { SPxComm1ReceiveData(ctx, bytes.data(), static_cast<uint16_t>(bytes.size())); });
    }
    std::vector<std::string> Successes() const { return dialogs.Texts(Kind::Information); }

    TFirmWareUG form;
    TAboutForm about;
    RecordingDialogs dialogs;
    UgContext ctx;
    int op = 0;
    std::deque<Request> sent;
    // Requests (operation, address) the programmer answers with a failure.
    std::set<std::pair<int, uint16_t>> failing;
};

// The probe's answer says that nothing sent before that probe is still to
// come, not that nothing sent before the latest probe is. A request that
// went out while an earlier probe was unanswered is answered after it.
TEST_F(UgGivenUpOn, AnEarlierProbesAnswerDoesNotEndTheWaitForAnswersOwed) {
    Start(UgStartVerify);
    TimeOut();
    Start(UgStartVerify); // waits for its probe's answer, and is given up on too
    TimeOut();
    Start(UgStartVerify);
    Answer(2); // the first verify, late, and the second's probe
    TimeOut();
    Start(UgStartVerify);
    failing.insert({op, 0x4FFF}); // the checksums of the last verify differ
    Answer();
    TimeOut();
    EXPECT_EQ(Successes(), std::vector<std::string>{})
        << "the last verify was judged by an earlier one's answer";
}

// The same through the search: the menu starts an upgrade before the search's
// probe is answered, its first block goes out at once; the operator starts
// it again, and the search's probe answer ends the wait of the second.
TEST_F(UgGivenUpOn, TheSearchProbesAnswerDoesNotEndTheWaitOfAnUpgradeStartedTwice) {
    ctx.DeviceFound = 0;
    Do([&] { UgSendHandshake(ctx); }); // the search's probe
    Start(UgStartUpgrade);
    Start(UgStartUpgrade);
    failing.insert({op, kFirstBlock}); // block 0 of the second cannot be written
    Answer();
    TimeOut();
    EXPECT_EQ(Successes(), std::vector<std::string>{}) << "success, though block 0 of this upgrade failed";
}

// A damaged frame that ends an operation may be noise, not the answer: the
// answer is still to come, and must not count for the next operation.
TEST_F(UgGivenUpOn, TheAnswerAfterNoiseThatEndedAnOperationDoesNotCountForTheNext) {
    // Noise on the line while the programmer works: a frame of junk.
    const std::vector<uint8_t> noise = {0xC0, 0x12, 0x34, 0x56, 0x78, 0x9A,
                                        0xBC, 0xDE, 0x01, 0x23, 0x45, 0xC0};
    struct Case {
        const char *name;
        void (*start)(UgContext &);
        uint16_t firstAddr;
    };
    for (const Case &c :
         {Case{"upgrade", UgStartUpgrade, kFirstBlock}, Case{"verify", UgStartVerify, 0x4FFF}}) {
        SCOPED_TRACE(c.name);
        Fresh();
        Start(c.start);
        Feed(noise);
        ASSERT_EQ(dialogs.Texts(Kind::Error), std::vector<std::string>{"数据包校验和不正确！"});
        Start(c.start); // at once again
        failing.insert({op, c.firstAddr});
        Answer();
        TimeOut();
        EXPECT_EQ(Successes(), std::vector<std::string>{}) << "judged by the answer to the operation before";
    }
}

// Waiting for every probe's answer must not hold the tool for good: an
// answer that comes while nothing runs still counts, and so does each of
// several answers that come in one read. The next operation then runs.
TEST_F(UgGivenUpOn, EveryProbesAnswerCountsWhenItComesWhileIdleOrWithOthers) {
    struct Case {
        const char *name;
        bool inOneRead;
    };
    for (const Case &c : {Case{"answers while nothing runs", false}, Case{"answers in one read", true}}) {
        SCOPED_TRACE(c.name);
        Fresh();
        Start(UgStartVerify);
        TimeOut();
        Start(UgStartVerify); // sends the probe, and is given up on too
        TimeOut();
        if (c.inOneRead) {
            Start(UgStartVerify); // one more probe; then every answer at once
            AnswerInOneRead();
        } else {
            Answer(); // the late verify and the probe's answer, with nothing running
            Start(UgStartVerify);
            EXPECT_FALSE(sent.empty() || sent.back().probe) << "nothing owed: the verify goes out at once";
        }
        Answer();
        TimeOut();
        EXPECT_EQ(Successes(), std::vector<std::string>{"操作成功！"});
    }
}

int ScenarioCount() {
    const char *v = std::getenv("UG_HOSTILE_SCENARIOS");
    return v ? std::atoi(v) : 300;
}

// Runs the scenarios; with `settle`, each ends with the programmer answering
// all it holds and one more check that must succeed.
void RunScenarios(bool settle) {
    const int scenarios = ScenarioCount();
    int failed = 0, ops = 0, successes = 0, boxes = 0;
    std::vector<std::string> first;
    std::map<std::string, int> kinds;
    for (int s = 0; s < scenarios; ++s) {
        Bench b(static_cast<uint32_t>(s + 1), settle || std::getenv("UG_CLEAN_PROBES") != nullptr);
        std::string fault = b.Run(8000);
        if (settle && fault.empty())
            fault = b.Settle();
        ops += b.ops;
        successes += b.successes;
        boxes += b.boxes;
        if (!fault.empty()) {
            const char *trace = std::getenv("UG_TRACE");
            if (trace && (std::atoi(trace) == s + 1 || std::atoi(trace) == -1))
                for (const auto &t : b.trace)
                    std::cout << t << "\n";
            ++failed;
            const size_t colon = fault.find(": ");
            std::string kind = fault.substr(colon + 2);
            if (kind.rfind("success shown, but block", 0) == 0)
                kind = "success shown, but a block of this upgrade was not acknowledged";
            if (kind.rfind("everything answered", 0) == 0)
                kind = "everything answered, yet the next verify failed";
            ++kinds[kind.substr(0, kind.find(": "))];
            if (first.size() < 10)
                first.push_back("seed " + std::to_string(s + 1) + ": " + fault);
        }
    }
    std::cout << scenarios << " scenarios, " << ops << " operations and searches, " << boxes << " boxes, "
              << successes << " successes, " << failed << " scenarios broke a rule\n";
    for (const auto &[kind, count] : kinds)
        std::cout << "  " << count << " x " << kind << "\n";
    for (const auto &f : first)
        ADD_FAILURE() << f;
    EXPECT_EQ(failed, 0);
}

TEST(UgHostileProgrammer, NoSuccessWithoutEveryAcknowledgementOneBoxAtATimeNoHang) {
    RunScenarios(false);
}

// Once the programmer has answered everything, the tool works again: no
// count of probes still out is left standing.
TEST(UgHostileProgrammer, OnceEverythingIsAnsweredTheNextCheckSucceeds) {
    RunScenarios(true);
}

} // namespace

namespace {

// A probe's answer that is half in when the tool clears its receive buffer
// (an operation starts, or one ends by time-out) is never counted, though the
// programmer sent it whole: the count of probes out then stays one too high,
// and every later upgrade or check waits for an answer that cannot come.
TEST_F(UgGivenUpOn, AProbesAnswerHalfInWhenTheReceiveBufferIsClearedStillCounts) {
    struct Case {
        const char *name;
        bool searching; // the probe is the search's; otherwise an operation's after a time-out
        bool timeOut;   // the operation waiting for it times out (else the operator starts another)
    };
    const Case cases[] = {
        {"the search's probe, an operation started from the menu meanwhile", true, false},
        {"an operation's probe, the operator starts another meanwhile", false, false},
        {"an operation's probe, the operation times out meanwhile", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        if (c.searching) {
            ctx.DeviceFound = 0;
            Do([&] { UgSendHandshake(ctx); });
        } else {
            Start(UgStartVerify);
            TimeOut();
            Start(UgStartVerify); // sends the probe
            Answer(1);            // the verify given up on, late
        }
        ASSERT_FALSE(sent.empty());
        ASSERT_TRUE(sent.front().probe);
        sent.pop_front();
        const auto probe = ugtest::ProbeReply("Pelmor200VLT");
        const size_t half = probe.size() / 2;
        Feed({probe.begin(), probe.begin() + static_cast<long>(half)});
        if (c.timeOut) {
            Do([&] {
                for (int t = 0; t < UgReplyTimeoutTicks; ++t)
                    Timer1Timer(ctx);
            });
        } else {
            Start(UgStartVerify);
        }
        Feed({probe.begin() + static_cast<long>(half), probe.end()});
        Answer(); // everything else, in order
        TimeOut();
        if (c.timeOut) {
            dialogs.Calls.clear();
            Start(UgStartVerify);
            Answer();
            TimeOut();
        }
        EXPECT_EQ(ctx.UgProbesOut, 0) << "counted out, though every probe was answered";
        EXPECT_EQ(Successes(), std::vector<std::string>{"操作成功！"})
            << "the programmer answered everything, yet the check after it failed";
    }
}

} // namespace

namespace {

// The programmer answers the search's probe and the first block of an
// upgrade started from the menu meanwhile in one read: the upgrade goes on.
TEST_F(UgGivenUpOn, AnUpgradeStartedBeforeTheSearchWasAnsweredGoesOnWhenBothAnswersComeInOneRead) {
    ctx.DeviceFound = 0;
    Do([&] { UgSendHandshake(ctx); });
    Start(UgStartUpgrade);
    ASSERT_EQ(sent.size(), 2u);
    ASSERT_FALSE(sent.back().probe) << "nothing owed: block 0 goes out at once";
    AnswerInOneRead();
    ASSERT_FALSE(sent.empty()) << "block 0 answered, yet block 1 never went out";
    EXPECT_FALSE(sent.back().probe);
    EXPECT_EQ(sent.back().addr, kFirstBlock + 0x400);
}

} // namespace
