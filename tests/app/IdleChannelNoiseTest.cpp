// An idle channel fed a long random stream of results mixed with what a bad
// line and a confused programmer add: stray replies, reports with a damaged
// header, short frames, noise, with or without their trailers, read in chunks
// cut anywhere. Every result must be counted once, and nothing else may
// write a line.
//
// IDLE_NOISE_RESULTS=N sends N results per mix (20,000 by default);
// IDLE_NOISE_DUMP=1 prints the bytes of the first rounds that went wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <random>
#include <utility>

#include "app/ReceiveEvents.h"
#include "protocol/ChannelOps.h"
#include "tests/protocol/EngineFixture.h"
#include "tests/protocol/ReplyFeed.h"

namespace {

struct Mix {
    const char *name;
    bool noiseWithDelimiters; // noise may hold 0xC0 and 0xDB
    int reportTrailerLost;    // a report's trailer may be missing (1) or hit by noise (2)
    bool doubledOpening;      // a report may open with its delimiter twice
    // Whether every result must come through. Where noise can look like a
    // report, or a report like noise, to the 8-bit sum, results can be lost
    // and junk lines written: the figures are printed, and what must hold
    // there is that nothing is counted twice.
    bool exact;
};

struct Figures {
    size_t results = 0, counted = 0, lost = 0, extra = 0, emptyLines = 0, strayLines = 0, rounds = 0,
           badRounds = 0;
};

class Stream {
public:
    Stream(const Mix &m, uint32_t seed) : mix(m), rng(seed) {
        r.Ctx->ChannelConnected[1] = 1;
        r.Ctx->ChannelOpCode[1] = OpIdle;
    }

    // One round: junk and results, then a report with its trailer so that
    // the round is decided when its bytes are all in.
    void Round(Figures &f) {
        std::vector<uint8_t> bytes;
        size_t ok = 0, ng = 0;
        const int items = Range(1, 6);
        for (int i = 0; i < items; ++i) {
            if (Pct() < 60)
                Junk(bytes, std::exchange(nextNoNoise, false));
            nextNoNoise = false;
            const bool good = Pct() < 50;
            // The next item must not be noise: a report without its trailer
            // and noise after it cannot be told from noise.
            const bool lose = i + 1 < items && mix.reportTrailerLost != 0 && Pct() < 10;
            Append(bytes, good, lose);
            if (lose && mix.reportTrailerLost == 1)
                nextNoNoise = true;
            ++(good ? ok : ng);
        }
        const uint32_t okBefore = r.Ctx->ChannelOkCount[1], ngBefore = r.Ctx->ChannelNgCount[1];
        r.Form->InfoMemo.Clear();
        size_t at = 0;
        while (at < bytes.size()) {
            const int p = Pct();
            size_t n = p < 25 ? 1 : p < 75 ? static_cast<size_t>(Range(1, 64)) : bytes.size() - at;
            n = std::min(n, bytes.size() - at);
            SPxCommReceiveData(*r.Ctx, 2, bytes.data() + at, static_cast<uint16_t>(n));
            at += n;
        }
        r.Ctx->ResultsSinceLogSave = 0; // no log file: this is about counting
        const size_t gotOk = r.Ctx->ChannelOkCount[1] - okBefore, gotNg = r.Ctx->ChannelNgCount[1] - ngBefore;
        f.results += ok + ng;
        f.counted += gotOk + gotNg;
        f.lost += (ok > gotOk ? ok - gotOk : 0) + (ng > gotNg ? ng - gotNg : 0);
        f.extra += (gotOk > ok ? gotOk - ok : 0) + (gotNg > ng ? gotNg - ng : 0);
        bool bad = ok != gotOk || ng != gotNg;
        for (const auto &line : r.Lines()) {
            if (line.size() >= 12 && line.compare(line.size() - 11, 11, "Device 2 : ") == 0) {
                ++f.emptyLines;
                bad = true;
            } else if (line.find("OK=") == std::string::npos && line.find("Completed") == std::string::npos &&
                       line.rfind(">----", 0) != 0) {
                ++f.strayLines;
                bad = true;
            }
        }
        ++f.rounds;
        if (bad && std::getenv("IDLE_NOISE_DUMP") && f.badRounds < 4) {
            std::cout << mix.name << ": ok " << ok << "/" << gotOk << " ng " << ng << "/" << gotNg << ":";
            for (uint8_t b : bytes)
                std::cout << ' ' << std::hex << int(b) << std::dec;
            std::cout << "\n";
        }
        if (bad)
            ++f.badRounds;
    }

private:
    int Pct() { return static_cast<int>(rng() % 100); }
    int Range(int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); }
    uint8_t NoiseByte() {
        const uint8_t b = static_cast<uint8_t>(rng());
        if (mix.noiseWithDelimiters)
            return b;
        return b == kFrameDelimiter || b == kFrameEscape ? 0x5A : b;
    }
    void Noise(std::vector<uint8_t> &out) {
        for (int i = Range(1, 24); i > 0; --i)
            out.push_back(NoiseByte());
    }
    // A frame that is not taken, its trailer kept or not, noise after it or not.
    void Junk(std::vector<uint8_t> &out, bool frameFirst) {
        std::vector<uint8_t> frame;
        switch (Range(0, frameFirst ? 2 : 3)) {
        case 0:
            frame = Framed(StatusReply(static_cast<uint8_t>(Range(0, 0x40))));
            break;
        case 1: {
            auto p = Report(0xF0, 6);
            p[static_cast<size_t>(Range(1, 7))] ^= static_cast<uint8_t>(Range(1, 255)); // its sum fails
            frame = Framed(p);
            break;
        }
        case 2:
            frame = {kFrameDelimiter};
            for (int i = Range(0, 6); i > 0; --i)
                frame.push_back(static_cast<uint8_t>(Range(1, 0xBF)));
            frame.push_back(kFrameDelimiter);
            frame.insert(frame.end(), kFrameTrailerLength, kFrameTrailerByte);
            break;
        default:
            Noise(out);
            return;
        }
        if (Pct() < 50)
            frame.resize(frame.size() - kFrameTrailerLength);
        out.insert(out.end(), frame.begin(), frame.end());
        if (Pct() < 60)
            Noise(out);
    }
    void Append(std::vector<uint8_t> &out, bool good, bool loseTrailer) {
        auto frame = Framed(Report(0xF0, good ? 6 : 0x2C));
        if (mix.doubledOpening && Pct() < 10)
            frame.insert(frame.begin(), kFrameDelimiter);
        if (loseTrailer) {
            frame.resize(frame.size() - kFrameTrailerLength);
            if (mix.reportTrailerLost == 2)
                Noise(frame);
        }
        out.insert(out.end(), frame.begin(), frame.end());
    }

    Mix mix;
    bool nextNoNoise = false;
    std::mt19937 rng;
    EngineState r;
};

size_t ResultsWanted() {
    const char *v = std::getenv("IDLE_NOISE_RESULTS");
    return v ? static_cast<size_t>(std::atol(v)) : 20000;
}

TEST(IdleChannelNoise, EveryResultCountedOnceAndNoLineFromJunk) {
    const Mix mixes[] = {
        {"frames not taken, noise without delimiters", false, 0, false, true},
        {"the same, noise may hold delimiters", true, 0, false, false},
        {"the same, a report's trailer missing, a frame or a report after it", false, 1, false, false},
        {"the same, a report's trailer hit by noise", false, 2, false, false},
        {"the same, a report opening with a doubled delimiter", false, 0, true, false},
    };
    const size_t wanted = ResultsWanted();
    for (const Mix &m : mixes) {
        Figures f;
        Stream s(m, 20261211);
        while (f.results < wanted)
            s.Round(f);
        std::cout << m.name << ": " << f.results << " results in " << f.rounds << " rounds, counted "
                  << f.counted << ", lost " << f.lost << ", extra " << f.extra << ", empty lines "
                  << f.emptyLines << ", stray lines " << f.strayLines << ", rounds wrong " << f.badRounds
                  << "\n";
        EXPECT_EQ(f.extra, 0u) << m.name;
        if (!m.exact)
            continue;
        EXPECT_EQ(f.lost, 0u) << m.name;
        EXPECT_EQ(f.emptyLines, 0u) << m.name;
        EXPECT_EQ(f.strayLines, 0u) << m.name;
    }
}

} // namespace

namespace {

struct Channel : EngineState {
    Channel() {
        Ctx->ChannelConnected[1] = 1;
        Ctx->ChannelOpCode[1] = OpIdle;
    }
    void Receive(const std::vector<uint8_t> &bytes) {
        SPxCommReceiveData(*Ctx, 2, bytes.data(), static_cast<uint16_t>(bytes.size()));
    }
};

} // namespace

// The shortest streams of the figures above, read whole and cut at every byte.
TEST(IdleChannelNoise, AfterAFrameNotTakenNoiseWritesNoLineAndAReportIsKept) {
    const auto stray = Framed(StatusReply(0));
    // With the stray reply's trailer before them, five 0xFF and these three
    // add up to 0: read as a report, the frame passes the sum test.
    const std::vector<uint8_t> noise = {0x01, 0x02, 0x02};
    auto doubled = Framed(Report(0xF0, 6));
    doubled.insert(doubled.begin(), kFrameDelimiter); // a report opening with its delimiter twice
    auto bare = Framed(Report(0xF0, 6));
    bare.resize(bare.size() - kFrameTrailerLength); // its trailer hit by the noise after it
    const auto next = Framed(Report(0xF0, 0x2C));
    struct Case {
        const char *name;
        std::vector<std::vector<uint8_t>> parts;
        uint32_t ok, ng;
    };
    const Case cases[] = {
        {"noise, then a report opening with a doubled delimiter", {stray, noise, doubled}, 1, 0},
        {"a report whose trailer is noise", {stray, bare, {0x11, 0x22, 0x33}, next}, 1, 1},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> stream;
        for (const auto &p : c.parts)
            stream.insert(stream.end(), p.begin(), p.end());
        size_t emptyLines = 0, wrongCounts = 0;
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            Channel ch;
            ch.Receive({stream.begin(), stream.begin() + static_cast<long>(cut)});
            ch.Receive({stream.begin() + static_cast<long>(cut), stream.end()});
            emptyLines +=
                static_cast<size_t>(std::count(ch.Lines().begin(), ch.Lines().end(), DevLine(2, "")));
            wrongCounts += ch.Ctx->ChannelOkCount[1] != c.ok || ch.Ctx->ChannelNgCount[1] != c.ng;
        }
        EXPECT_EQ(emptyLines, 0u) << c.name << ", of " << stream.size() << " cuts";
        EXPECT_EQ(wrongCounts, 0u) << c.name << ", of " << stream.size() << " cuts";
    }
}

// A report that comes whole after a frame not taken, and whose first trailer
// byte was hit, waits for the next frame to be judged. When the programmer
// has nothing more to send (the last chip of a shift), its result is never
// counted; a line error or a command started on the channel meanwhile loses
// it for good.
TEST(IdleChannelNoise, AReportWholeAfterAFrameNotTakenIsCountedWithoutWaitingForAnother) {
    auto stray = Framed(StatusReply(0));
    stray.resize(stray.size() - kFrameTrailerLength);
    auto hit = Framed(Report(0xF0, 6));
    hit[hit.size() - kFrameTrailerLength] = 0x7F; // its first trailer byte hit by noise
    struct Case {
        const char *name;
        void (*then)(Channel &);
    };
    const Case cases[] = {
        {"nothing follows", [](Channel &) {}},
        {"then a line error", [](Channel &ch) { SPxCommReceiveError(*ch.Ctx, 2, 0); }},
        {"then a command starts on the channel", [](Channel &ch) { BeginOperation(*ch.Ctx, 2); }},
    };
    std::vector<uint8_t> stream = stray;
    stream.insert(stream.end(), hit.begin(), hit.end());
    for (const Case &c : cases) {
        size_t wrong = 0;
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            Channel ch;
            ch.Receive({stream.begin(), stream.begin() + static_cast<long>(cut)});
            ch.Receive({stream.begin() + static_cast<long>(cut), stream.end()});
            c.then(ch);
            wrong += ch.Ctx->ChannelOkCount[1] != 1;
        }
        EXPECT_EQ(wrong, 0u) << c.name << ": the result not counted, of " << stream.size() << " cuts";
    }
}

// The same, whatever the byte of the trailer that was hit and whatever it
// became, a delimiter or an escape among them.
TEST(IdleChannelNoise, AReportWholeAfterAFrameNotTakenIsCountedWhicheverTrailerByteWasHit) {
    auto stray = Framed(StatusReply(0));
    stray.resize(stray.size() - kFrameTrailerLength);
    size_t wrong = 0, tried = 0;
    for (size_t at = 0; at < kFrameTrailerLength; ++at)
        for (uint8_t value : {uint8_t{0x7F}, uint8_t{0x00}, kFrameDelimiter, kFrameEscape}) {
            auto hit = Framed(Report(0xF0, 6));
            hit[hit.size() - kFrameTrailerLength + at] = value;
            std::vector<uint8_t> stream = stray;
            stream.insert(stream.end(), hit.begin(), hit.end());
            for (size_t cut = 0; cut < stream.size(); ++cut) {
                Channel ch;
                ch.Receive({stream.begin(), stream.begin() + static_cast<long>(cut)});
                ch.Receive({stream.begin() + static_cast<long>(cut), stream.end()});
                SPxCommReceiveError(*ch.Ctx, 2, 0);
                ++tried;
                if (ch.Ctx->ChannelOkCount[1] != 1 || ch.Ctx->ChannelNgCount[1] != 0) {
                    ++wrong;
                    ADD_FAILURE() << "trailer byte " << at << " hit to 0x" << std::hex << int(value)
                                  << std::dec << ", cut at " << cut << ": ok " << ch.Ctx->ChannelOkCount[1];
                    break;
                }
            }
        }
    EXPECT_EQ(wrong, 0u) << "of " << tried << " streams";
}

// A frame of nothing whose trailer was lost, then noise that by chance adds
// up to 0 and, at once, a report: the noise frame opens with a doubled
// delimiter. The random mix above meets it about once in 50,000 results.
TEST(IdleChannelNoise, NoiseAfterAnEmptyFrameWritesNoLineAndTheReportAfterItCounts) {
    std::vector<uint8_t> stream = {
        kFrameDelimiter, kFrameDelimiter, 0x42, 0x03, 0xfb, 0x00, 0x02, 0xaf, 0x68, 0xa7};
    const auto report = Framed(Report(0xF0, 0x2C));
    stream.insert(stream.end(), report.begin(), report.end());
    size_t wrong = 0, emptyLines = 0;
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        Channel ch;
        ch.Receive({stream.begin(), stream.begin() + static_cast<long>(cut)});
        ch.Receive({stream.begin() + static_cast<long>(cut), stream.end()});
        wrong += ch.Ctx->ChannelOkCount[1] != 0 || ch.Ctx->ChannelNgCount[1] != 1;
        emptyLines += static_cast<size_t>(std::count(ch.Lines().begin(), ch.Lines().end(), DevLine(2, "")));
    }
    EXPECT_EQ(wrong, 0u) << "the report not counted, of " << stream.size() + 1 << " cuts";
    EXPECT_EQ(emptyLines, 0u) << "of " << stream.size() + 1 << " cuts";
}
