#include "protocol/PortDiscovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "forms/Controls.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "serial/PosixPort.h"
#include "state/VltContext.h"
#include "tests/serial/PtyPair.h"

namespace {

namespace fs = std::filesystem;

// Two free ports reachable under the names COM7 and COM3.
struct TwoPorts : ::testing::Test {
    TPtyPair A, B;
    fs::path Dir;
    std::string Com7, Com3;
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "pelmor-ports-XXXXXX").string();
        Dir = ::mkdtemp(tmpl.data());
        Com7 = (Dir / "COM7").string();
        Com3 = (Dir / "COM3").string();
        fs::create_symlink(A.SlavePath, Com7);
        fs::create_symlink(B.SlavePath, Com3);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    TSerialDeviceMap Map() const {
        return {
            {"\\Device\\VCP0", Com7},        {"\\Device\\Serial0", B.SlavePath},
            {"\\device\\VCP2", B.SlavePath}, {"\\Device\\VCP3", (Dir / "COM9").string()},
            {"\\Device\\VCP1", Com3},        {"\\Device\\VCP4", "/dev/null"}, // no terminal
        };
    }
};

TEST_F(TwoPorts, ListsFreeVirtualPortsInMapOrderOrSorted) {
    TComboBox unsorted;
    EnumeratePorts(unsorted, Map());
    EXPECT_EQ(unsorted.Items, (std::vector<std::string>{Com7, Com3}));
    EXPECT_EQ(unsorted.Text, Com3);

    TComboBox sorted;
    sorted.Sorted = true;
    EnumeratePorts(sorted, Map());
    EXPECT_EQ(sorted.Items, (std::vector<std::string>{Com3, Com7}));
    EXPECT_EQ(sorted.Text, Com7);
}

TEST_F(TwoPorts, APortOpenElsewhereIsLeftOut) {
    TPumpQueue q;
    TComm comm(q);
    comm.SetCommName(Com7);
    comm.OpenPort();
    const int held = OpenPortExclusive(Com3);
    ASSERT_GE(held, 0);

    TComboBox combo;
    EnumeratePorts(combo, Map());
    EXPECT_TRUE(combo.Items.empty());
    EXPECT_EQ(combo.Text, "No Device Availiable");

    ClosePortHandle(held);
    combo.ClearItems();
    EnumeratePorts(combo, Map());
    EXPECT_EQ(combo.Items, std::vector<std::string>{Com3});
    // The test open let go of the port again.
    TComm other(q);
    other.SetCommName(Com3);
    EXPECT_NO_THROW(other.OpenPort());
    other.ClosePort();
    comm.ClosePort();
}

TEST_F(TwoPorts, APortHeldExclusivelyByAnotherProgramIsLeftOut) {
    TForeignHolder holder(Com7);
    TComboBox combo;
    EnumeratePorts(combo, Map());
    EXPECT_EQ(combo.Items, std::vector<std::string>{Com3});
    EXPECT_TRUE(holder.StillExclusive()) << "the test open leaves the other program's hold alone";
}

TEST(PortDiscovery, NoPortsGiveTheNoDeviceText) {
    TComboBox combo;
    combo.Text = "old";
    EnumeratePorts(combo, {});
    EXPECT_TRUE(combo.Items.empty());
    EXPECT_EQ(combo.Text, "No Device Availiable");
}

TEST(PortDiscovery, EnumeratesTheMapFileNamedByTheEnvironmentInFileOrder) {
    TPtyPair first, second;
    std::string tmpl = (fs::temp_directory_path() / "pelmor-env-XXXXXX").string();
    const fs::path dir = ::mkdtemp(tmpl.data());
    const fs::path file = dir / "ports.map";
    {
        std::FILE *f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "\\Device\\VCP0 %s\n\\Device\\VCP1 %s\n", first.SlavePath.c_str(),
                     second.SlavePath.c_str());
        std::fclose(f);
    }
    ::setenv(kSerialMapVariable, file.c_str(), 1);
    TComboBox combo;
    EnumeratePorts(combo);
    ::unsetenv(kSerialMapVariable);
    fs::remove_all(dir);
    EXPECT_EQ(combo.Items, (std::vector<std::string>{first.SlavePath, second.SlavePath}));
    EXPECT_EQ(combo.Text, second.SlavePath);
}

TEST(PortDiscovery, SendProbeWritesTheProbeOnTheChannelsPort) {
    TPumpQueue q;
    TPtyPair pty;
    auto ctx = std::make_unique<VltContext>();
    TComm comm(q);
    SetDeclaredPortValues(comm, 5);
    comm.SetCommName(pty.SlavePath);
    ctx->ChannelComm[1] = &comm;

    EXPECT_FALSE(SendProbe(*ctx, 2)) << "port closed";
    comm.OpenPort();
    ASSERT_TRUE(SendProbe(*ctx, 2));
    const std::vector<uint8_t> probe = {0xC0, 0xA3, 0xA5, 0x35, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(pty.Read(probe.size()), probe);
    EXPECT_TRUE(std::equal(probe.begin(), probe.end(), ctx->WireBuf[1].begin()));
    EXPECT_FALSE(SendProbe(*ctx, 3)) << "no port on channel 3";
    EXPECT_TRUE(std::equal(probe.begin(), probe.end(), ctx->WireBuf[2].begin()));
    EXPECT_FALSE(SendProbe(*ctx, 0));
    EXPECT_FALSE(SendProbe(*ctx, 5));
    comm.ClosePort();
}

// A probe reply: header, N, 22 bytes of anything, then the name bytes.
std::vector<uint8_t> Reply(uint8_t n, const std::string &name, uint8_t h2 = 0x35) {
    std::vector<uint8_t> p = {0xA3, 0xA5, h2, n};
    p.resize(26, 0x5A);
    p.insert(p.end(), name.begin(), name.end());
    return p;
}

TEST(PortDiscovery, CheckHandshakeName) {
    enum { Match, Bad, Mismatch };
    struct Case {
        const char *What;
        std::vector<uint8_t> Packet;
        int Result;
        std::string Name; // reported name on a match
    } cases[] = {
        {"the product identifier", Reply(11, "Pelmor200VLT"), Match, "Pelmor200VLT"},
        {"empty name field", Reply(0, "Pelmor200VLT"), Bad, ""},
        {"wrong header", Reply(11, "Pelmor200VLT", 0x36), Bad, ""},
        {"version suffix", Reply(16, "Pelmor200VLT-V2.1"), Match, "Pelmor200VLT-V2.1"},
        {"suffix beyond N is not read", Reply(13, "Pelmor200VLT-V2.1"), Match, "Pelmor200VLT-V"},
        {"lower case", Reply(11, "pelmor200vlt"), Mismatch, ""},
        {"first 11 characters only", Reply(10, "Pelmor200VLT"), Mismatch, ""},
        {"control byte ends the name", Reply(15, std::string("Pelmor200VLT\x01XYZ")), Match, "Pelmor200VLT"},
        {"high byte ends the name", Reply(15, std::string("Pelmor200VLT\x80XYZ")), Match, "Pelmor200VLT"},
        {"high byte inside the identifier",
         Reply(11, std::string("Pelmor\xC0"
                               "00VLT")),
         Mismatch, ""},
        {"longest name is cut to 255 characters", Reply(255, "Pelmor200VLT" + std::string(244, 'a')), Match,
         "Pelmor200VLT" + std::string(243, 'a')},
        {"packet ends inside the name field", Reply(40, "Pelmor200VLT-A"), Match, "Pelmor200VLT-A"},
        {"packet ends inside the identifier", Reply(11, "Pelmor200V"), Mismatch, ""},
        {"packet too short for its header", {0xA3, 0xA5, 0x35}, Bad, ""},
    };
    for (const auto &c : cases) {
        // Stale bytes after the packet must not become part of the name.
        std::vector<uint8_t> area = c.Packet;
        area.resize(600, 'X');
        TDeviceNameField field = ExpectedDeviceName;
        const uint8_t r = CheckHandshakeName(area.data(), c.Packet.size(), field, kHandshakeNameOffset);
        switch (c.Result) {
        case Match:
            EXPECT_EQ(r, 0) << c.What;
            EXPECT_EQ(DeviceNameText(field), c.Name) << c.What;
            EXPECT_EQ(field[255], 0) << c.What;
            break;
        case Bad:
            EXPECT_EQ(r, kHandshakeBadReply) << c.What;
            EXPECT_EQ(field, ExpectedDeviceName) << c.What;
            break;
        case Mismatch:
            EXPECT_NE(r, 0) << c.What;
            EXPECT_NE(r, kHandshakeBadReply) << c.What;
            EXPECT_EQ(field, ExpectedDeviceName) << c.What;
            break;
        }
    }
}

TEST(PortDiscovery, ExpectedDeviceNameIsTheIdentifierThenZeros) {
    EXPECT_EQ(DeviceNameText(ExpectedDeviceName), "Pelmor200VLT");
    EXPECT_TRUE(std::all_of(ExpectedDeviceName.begin() + 12, ExpectedDeviceName.end(),
                            [](uint8_t b) { return b == 0; }));
}

} // namespace
