// Random and mutated input for every data-file parser, the HEX library and
// the load summaries: under the sanitizers nothing may read or write out of
// bounds, hang or throw anything but the programs' own errors. Fixed seed,
// bounded time.
#include "app/FileLoading.h"
#include "datafiles/AhexFiles.h"
#include "datafiles/BinFiles.h"
#include "datafiles/CArrayFiles.h"
#include "datafiles/CmdTextFiles.h"
#include "datafiles/ConfigRegFiles.h"
#include "datafiles/LoadSummaries.h"
#include "datafiles/ProjFiles.h"
#include "datafiles/RegTableFiles.h"
#include "datafiles/ScriptFiles.h"
#include "datafiles/TextFileReader.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "rhb/PelmorRHB.h"
#include "tests/datafiles/DataFileFixture.h"
#include "tests/datafiles/HexRecord.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeBudget = std::chrono::seconds(8); // per test
constexpr int kRounds = 1500;                         // per test, unless the budget runs out first

// Seeds per format: small, valid-looking files that mutations start from.
const std::vector<std::string> kSeeds = {
    "device cmd name len\n0x6C 0x21\tOUT SET\t2\tW\t0x0266\n0x6C 0x22\tX\t1\tR\t0x1\t0x2\t0x3\n",
    "unsigned char t[] = {\n0x01, 0x02, 0x03\n// c\n0x04,0x05,0x06,0x07,0x08,0x09,0x0A,0x0B\n};\n",
    "VOUT\t0x21\t5A\tReg\t3C\nIOUT\t0x22\t10\tRW\tReg\t01\nEND\n",
    "# DELAY 100 us\n# START CONFIGURATION PREAMBLE\n0x0001,0x11\n# END CONFIGURATION PREAMBLE\n"
    "# START CONFIGURATION REGISTERS\n0x0010,0x1234\n0x0011,0x22,0x33\n# END CONFIGURATION REGISTERS\n",
    "0000: 1111\n0001: 2222\n0010: 3333\n0100: 4444\n",
    "<Global>\n<Reg n=\"0x10\" v=\"0x1234\" s=\"2\"/>\n<Reg n=\"1\" v=\"2\" s=\"1\"/>\n</Global>\n",
    "import time\n# Efuse Write\ni2c.i2cw(0x50, 0x10, 0x3F)\ntime.sleep(5e-3)\ntime.sleep(2)\n",
    ":020000040000FA\n:0300100001020307\n:00000001FF\n",
};

std::string Repeat(const std::string &line, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += line;
    return s;
}

// Seeds in the same order whose data ends near the 64 KB of DataBuffer (or the
// limits of the format), where the bounds of the parsers are.
const std::vector<std::string> &BigSeeds() {
    static const std::vector<std::string> seeds = [] {
        const std::string cmd = "0x6C 0x21\tN\t1\tW\t0x0102\t0x0304\t0x0506\n";
        const std::string arr = "0x21, 0x01, 0x02, 0x01, 0x04, 0x03, 0x06, 0x05,\n";
        std::string ahex;
        for (unsigned b = 0; b < 33; ++b)
            for (unsigned w = 0; w < 256; ++w) {
                char line[32];
                std::snprintf(line, sizeof line, "%04X: %04X\n", (b * 0x200 + w) & 0xFFFF, w);
                ahex += line;
            }
        std::string hex = HexRecord(2, 0, {0x0F, 0xFF}) +
                          HexRecord(0, 0x0008, std::vector<uint8_t>(16, 0xC3)) +
                          HexRecord(2, 0, {0x00, 0x00});
        for (unsigned a = 0xC000; a < 0x10000; a += 32)
            hex += HexRecord(0, a, std::vector<uint8_t>(32, static_cast<uint8_t>(a >> 8)));
        hex += HexRecord(0, 0xFFF0, std::vector<uint8_t>(32, 0xA5)) + HexRecord(4, 0, {0x00, 0x00}) +
               HexRecord(0, 0xFFFF, {1, 2}) + ":00000001FF\n";
        return std::vector<std::string>{
            Repeat(cmd, 8191) + "0x6C 0x22\tN\t1\tW\tbad\n" + cmd + cmd,
            "unsigned char t[] = {\n" + Repeat(arr, 8191) + "0x22, 0x01, bad\n" + arr + arr + "};\n",
            Repeat("VOUT\t0x21\t5A\tReg\t3C\n", 16385),
            "# START CONFIGURATION PREAMBLE\n" + Repeat("0x0010,0x5A\n", 100) +
                "# END CONFIGURATION PREAMBLE\n# START CONFIGURATION REGISTERS\n" +
                Repeat("0x0011,0x1234\n", 16285) + "0x0012,0x01,0x02,0x03\n" + Repeat("0x0013,0x5A\n", 2),
            ahex,
            "<Global>\n" + Repeat("<Reg n=\"0x10\" v=\"0x5A\" s=\"1\"/>\n", 21844) +
                Repeat("<Reg n=\"0x10\" v=\"0x1234\" s=\"2\"/>\n", 2) + "</Global>\n",
            "import time\n" + Repeat("i2c.i2cw(0x50,0x10,0x3F)\n", 16382) +
                "time.sleep(0.01)\ni2c.i2cw(1,2)\n" + "time.sleep(0." +
                std::string(kMaxLineLength - 14, '0') + "1)\n" + "i2c.i2cw(1,2,3)\n",
            hex,
        };
    }();
    return seeds;
}

const std::vector<std::string> kTokens = {"0x",        "0X1F",
                                          "\t",        ",",
                                          " ",         ")",
                                          "(",         "\"",
                                          "<Reg",      "</Global>",
                                          ":",         "\r",
                                          "\n",        "e-",
                                          "#",         "}",
                                          "{",         "Reg",
                                          "END",       "$",
                                          "-",         "99999999999",
                                          "i2c.i2cw(", "time.sleep(",
                                          "<Global>",  "# START CONFIGURATION REGISTERS\n",
                                          ":10000000", "FFFF",
                                          "\xFF",      std::string(1, '\0')};

class Mutator {
public:
    explicit Mutator(uint32_t seed) : Rng(seed) {}
    size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(Rng); }
    uint8_t Byte() { return static_cast<uint8_t>(Below(256)); }

    // A mutation of seed `seed` (often) or of any seed, now and then of one
    // near 64 KB.
    std::string Next(size_t seed) {
        const auto &seeds = Below(6) ? kSeeds : BigSeeds();
        std::string s = seeds[Below(4) ? seed : Below(seeds.size())];
        const size_t steps = 1 + Below(4);
        for (size_t i = 0; i < steps; ++i)
            Mutate(s);
        return s;
    }

private:
    void Mutate(std::string &s) {
        const size_t at = Below(s.size() + 1);
        switch (Below(9)) {
        case 0:
            if (!s.empty())
                s[Below(s.size())] = static_cast<char>(Byte());
            break;
        case 1:
            s.insert(at, 1, static_cast<char>(Byte()));
            break;
        case 2:
            s.erase(at, Below(16));
            break;
        case 3:
            s.insert(at, kTokens[Below(kTokens.size())]);
            break;
        case 4: { // repeat a piece, now and then into a file larger than any buffer
            const std::string piece = s.substr(at, 1 + Below(40));
            const size_t times = Below(8) == 0 ? 1 + Below(40000) : 1 + Below(4);
            std::string rep;
            for (size_t k = 0; k < times && rep.size() < 800000; ++k)
                rep += piece;
            s.insert(at, rep);
            break;
        }
        case 5:
            s.resize(at);
            break;
        case 8: { // repeat a whole line, so that big files stay well formed
            const size_t from = s.rfind('\n', at == 0 ? 0 : at - 1);
            const size_t begin = from == std::string::npos ? 0 : from + 1;
            const size_t endl = s.find('\n', begin);
            if (endl == std::string::npos)
                break;
            const std::string line = s.substr(begin, endl + 1 - begin);
            std::string rep;
            for (size_t k = 1 + Below(40000); k > 0 && rep.size() < 800000; --k)
                rep += line;
            s.insert(begin, rep);
            break;
        }
        case 6:
            s.insert(at, kSeeds[Below(kSeeds.size())]);
            break;
        default: { // a run of random bytes
            const size_t n = Below(64);
            for (size_t k = 0; k < n; ++k)
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(std::min(at, s.size())),
                         static_cast<char>(Byte()));
            break;
        }
        }
    }
    std::mt19937 Rng;
};

class HostileInput : public DataFileTest {
protected:
    HostileInput() {
        Ctx.ReadBuffer.fill(kCanary);
        Form->Clock = &FixedClock;
        Ctx.Clock = &FixedClock;
        Ctx.Form = Form.get();
    }
    // Runs `body` on fresh inputs until the rounds or the time budget run out.
    void Drive(uint32_t seed, const std::function<void(Mutator &, int)> &body) {
        Mutator m(seed);
        const auto end = Clock::now() + kTimeBudget;
        for (int round = 0; round < kRounds && Clock::now() < end; ++round) {
            body(m, round);
            // Keep the panel from growing without end.
            if (Form->InfoMemo.Lines.size() > 1000)
                Form->InfoMemo.Clear();
            Dialogs.Calls.clear();
        }
    }
    // Runs a loader; only the programs' own errors may come out.
    template <typename F> void Expect(F &&load) {
        try {
            load();
        } catch (const EConvertError &) {
        } catch (const EInOutError &) {
        }
    }

    bool ReadBufferIntact() const {
        return std::all_of(Ctx.ReadBuffer.begin(), Ctx.ReadBuffer.end(),
                           [](uint8_t b) { return b == kCanary; });
    }

    static constexpr uint8_t kCanary = 0xC3;
    TFixedClock FixedClock;
    std::unique_ptr<TProgramVLT> Form = std::make_unique<TProgramVLT>();
};

TEST_F(HostileInput, EveryTextParser) {
    using Parser = void (*)(VltContext &, const std::string &);
    // In the order of their seeds.
    const Parser parsers[] = {ParseCmdTxtFile,
                              ParseCArrayFile,
                              ParseRegTableFile,
                              ParseConfigRegFile,
                              ParseAhexFile,
                              ParseProjFile,
                              [](VltContext &c, const std::string &f) { ParseVeltaPyFile(c, f); }};
    const auto path = Dir.Path("in.txt");
    Drive(0x5EED01, [&](Mutator &m, int round) {
        for (size_t i = 0; i < std::size(parsers); ++i) {
            Dir.Write("in.txt", m.Next(i));
            // Start from leftovers of earlier rounds: the parsers must not trust them.
            if (round % 3 == 0)
                Ctx.DataBuffer.fill(m.Byte());
            Ctx.DataEndIndex = static_cast<uint32_t>(m.Below(70000));
            Expect([&] { parsers[i](Ctx, path); });
            // ReadBuffer lies right behind DataBuffer: a write past the end lands there.
            ASSERT_TRUE(ReadBufferIntact());
            if (parsers[i] == ParseAhexFile) {
                // The block table never holds more than its 32 headers.
                EXPECT_LE(Ctx.RecordCount, 32);
                EXPECT_LE(Ctx.DataEndIndex, kBufferSize);
            }
        }
    });
}

TEST_F(HostileInput, HexLibraryRejectsOrLoadsButNeverCorrupts) {
    const auto path = Dir.Path("in.hex");
    std::vector<uint8_t> before(kBufferSize), buf(kBufferSize);
    Drive(0x5EED02, [&](Mutator &m, int) {
        std::string text = m.Next(kSeeds.size() - 1);
        if (m.Below(2) == 0)
            text = kSeeds.back() + text; // often a valid start
        Dir.Write("in.hex", text);
        const uint8_t fill = m.Byte();
        std::fill(buf.begin(), buf.end(), fill);
        before = buf;
        int32_t line = -1, stored = -1;
        const int code = DoOpenFile_HEX_Routine(path.c_str(), buf.data(), &line, &stored);
        ASSERT_GE(code, RHB_OK);
        ASSERT_LE(code, RHB_NO_END_RECORD);
        if (code != RHB_OK) {
            EXPECT_TRUE(buf == before);
            EXPECT_GT(line, 0);
            EXPECT_EQ(stored, 0);
        } else {
            EXPECT_EQ(line, 0);
            EXPECT_GE(stored, 0);
        }
    });
}

TEST_F(HostileInput, SummariesOverAnyBufferAndCounts) {
    using Summary = void (*)(VltContext &);
    const Summary summaries[] = {
        ShowHfgSummary,         ShowProjSummary,   ShowAhexSummary,  ShowPySummary,      ShowConfigTxtSummary,
        ShowBinDefaultsSummary, ShowRawBinSummary, BufferChecksums0, ShowHexFileSummary, ShowCmdFileSummary};
    Drive(0x5EED03, [&](Mutator &m, int round) {
        // Whole-buffer patterns some rounds, random bytes in others.
        if (round % 4 == 0)
            Ctx.DataBuffer.fill(m.Byte());
        else
            for (size_t i = 0; i < 512; ++i)
                Ctx.DataBuffer[m.Below(kBufferSize)] = m.Byte();
        auto u16 = [&] { return static_cast<uint16_t>(m.Below(65536)); };
        auto u32 = [&] {
            return m.Below(2) ? static_cast<uint32_t>(m.Below(65536))
                              : static_cast<uint32_t>(m.Below(1u << 31)) * 2 + 1;
        };
        Ctx.RecordCount = u16();
        Ctx.PreambleCount = u16();
        Ctx.PostambleCount = u16();
        Ctx.ConfigDelay = u16();
        Ctx.DataKB = static_cast<uint16_t>(m.Below(4) ? m.Below(65) : u16());
        Ctx.DataEndIndex = u32();
        Ctx.ChecksumStart = u32();
        Ctx.ChecksumEnd = u32();
        Ctx.ChipSubType = m.Byte();
        Ctx.ChipFamily = m.Below(2) ? 80 : m.Byte();
        Ctx.RegEnd = m.Byte();
        Ctx.FamilyParam1 = m.Byte();
        Ctx.VerifyFlags = m.Byte();
        // Filling the viewer is slow under the sanitizers: only now and then.
        Ctx.Form = round % 8 == 0 ? Form.get() : nullptr;
        // Summaries write at most the ahex table and the first records; the rest stays.
        const std::vector<uint8_t> rest(Ctx.DataBuffer.begin() + 256, Ctx.DataBuffer.end());
        summaries[m.Below(std::size(summaries))](Ctx);
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), Ctx.DataBuffer.begin() + 256));
        ASSERT_TRUE(ReadBufferIntact());
    });
}

TEST_F(HostileInput, BinaryLoadersOfAnySize) {
    const auto path = Dir.Path("in.bin");
    Drive(0x5EED04, [&](Mutator &m, int) {
        const size_t n = m.Below(4) == 0 ? 65536 + m.Below(10000) : m.Below(5000);
        std::string bytes(n, '\0');
        for (auto &c : bytes)
            c = static_cast<char>(m.Byte());
        Dir.Write("in.bin", bytes);
        LoadBinFile(Ctx, path, static_cast<uint16_t>(m.Below(65536)));
        uint32_t end = static_cast<uint32_t>(m.Below(2) ? 0xFFFF : m.Below(1u << 31) * 2);
        LoadBinFileLen(Ctx, path, end);
        EXPECT_TRUE(end == 0xFFFFFFFFu || end < kBufferSize);
        LoadBin4K(Ctx, path);
        EXPECT_LE(Ctx.RecordCount, 1024);
        ASSERT_TRUE(ReadBufferIntact());
    });
}

} // namespace
