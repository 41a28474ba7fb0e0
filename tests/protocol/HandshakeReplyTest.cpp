#include <gtest/gtest.h>

#include "protocol/HandshakeReply.h"
#include "tests/protocol/EngineFixture.h"
#include "tests/protocol/ProbeReply.h"
#include "tests/protocol/ReplyFeed.h"

namespace {

struct Rig : EngineState {
    Rig() {
        for (int n = 1; n <= 4; ++n) {
            Form->GaugeBar(n).Enabled = false;
            Form->DevSpdBtn(n).Enabled = false;
        }
        Form->InfoPanel.Caption = "Searching Devices............";
    }
    void Answer(int n, const std::vector<uint8_t> &packet) {
        HandleHandshakeReply(ctx(), n, FeedReply(ctx(), n, packet));
    }
};

} // namespace

TEST(HandshakeReply, RecognisesTheProgrammerByItsName) {
    struct Case {
        const char *name;
        std::vector<uint8_t> reply;
        const char *shown; // nullptr: ignored
    };
    auto badHeader = ProbeReply("Pelmor200VLT");
    badHeader[2] = 0x36;
    const Case cases[] = {
        {"identifier", ProbeReply("Pelmor200VLT"), "Pelmor200VLT"},
        {"with a version suffix", ProbeReply("Pelmor200VLT-V1.8 B"), "Pelmor200VLT-V1.8 B"},
        {"control byte ends the name", ProbeReply(std::string("Pelmor200VLT\x01XYZ")), "Pelmor200VLT"},
        {"lower case", ProbeReply("pelmor200vlt"), nullptr},
        {"first 11 characters only", ProbeReply("Pelmor200VL"), nullptr},
        {"empty name field", ProbeReply("Pelmor200VLT", 0), nullptr},
        {"wrong header", badHeader, nullptr},
        {"another device", ProbeReply("Other200VLTxx"), nullptr},
    };
    for (int n : {1, 3}) {
        for (const Case &t : cases) {
            SCOPED_TRACE(testing::Message() << t.name << " on channel " << n);
            Rig r;
            const size_t k = static_cast<size_t>(n - 1);
            r.Answer(n, t.reply);
            if (!t.shown) {
                EXPECT_EQ(r.ctx().ChannelConnected[k], 0);
                EXPECT_EQ(r.ctx().ChannelOpCode[k], 0);
                EXPECT_FALSE(r.Form->DevSpdBtn(n).Enabled);
                EXPECT_FALSE(r.Form->GaugeBar(n).Enabled);
                EXPECT_TRUE(r.Lines().empty());
                continue;
            }
            EXPECT_EQ(r.ctx().ChannelConnected[k], 1);
            EXPECT_EQ(r.ctx().ChannelOpCode[k], OpIdle);
            EXPECT_EQ(r.ctx().ChannelTimeout[k], 500);
            EXPECT_TRUE(r.Form->DevSpdBtn(n).Enabled);
            EXPECT_TRUE(r.Form->GaugeBar(n).Enabled);
            const std::string text = n == 1 ? "Find Device : " : "Find Device: ";
            EXPECT_EQ(r.Lines(), std::vector<std::string>{DevLine(n, text + t.shown + "!")});
            EXPECT_EQ(r.Form->InfoPanel.Caption,
                      n == 1 ? std::string(t.shown) : "Searching Devices............");
        }
    }
}

TEST(HandshakeReply, FrameThatDoesNotDecodeIsIgnored) {
    Rig r;
    const std::vector<uint8_t> bad = {0xC0, 0xA3, 0xDB, 0x41, 0xC0};
    std::copy(bad.begin(), bad.end(), r.ctx().ChannelRxBuffer[1].begin());
    HandleHandshakeReply(r.ctx(), 2, static_cast<uint16_t>(bad.size()));
    EXPECT_EQ(r.ctx().ChannelConnected[1], 0);
    EXPECT_TRUE(r.Lines().empty());
}
