#include "protocol/ChipInfoReport.h"

#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "state/VltContext.h"

namespace {

// Only channel 1 reads chip information.
constexpr int kInfoChannel = 1;

const std::array<uint8_t, kPacketSize> &Reply(const VltContext &ctx) {
    return ctx.PacketBuf[kInfoChannel - 1];
}

void Line(VltContext &ctx, const std::string &text) {
    MemoDeviceLine(ctx, kInfoChannel, text);
}

} // namespace

bool PrintChipInfoDefault(VltContext &ctx) {
    const auto &r = Reply(ctx);
    if ((ctx.VerifyFlags & 0x10) == 0)
        Line(ctx, Format(" Device ID=0x%0.2x.", r[10]));
    else
        Line(ctx, Format(" Device ID=0x%0.2x%0.2x.", r[11], r[10]));
    Line(ctx, Format(" PMBUs Address=0x%0.2x.", r[8]));
    Line(ctx, Format(" Revision ID =0x%0.2x.", r[9]));
    return true;
}

bool PrintChipInfoFam48(VltContext &ctx) {
    const auto &r = Reply(ctx);
    Line(ctx, Format(" Device Rev ID=0x%0.2x%0.2x.", r[8], r[9]));
    Line(ctx, Format(" Register Address 0x10 = 0x%0.2x.", r[12]));
    Line(ctx, Format(" Register Address 0x22 = 0x%0.2x.", r[10]));
    Line(ctx, Format(" Register Address 0x2F = 0x%0.2x.", r[11]));
    if (r[10] != 0)
        Line(ctx, "E-Fuse 1 and 2 has been used!");
    else if ((r[11] & 0xC0) != 0)
        Line(ctx, "E-Fuse 1 has been used!");
    else
        Line(ctx, "Chip is Blank!");
    return true;
}

bool PrintChipInfoFam5(VltContext &ctx) {
    const auto &r = Reply(ctx);
    if (r[9] != 0x53) {
        Line(ctx, "Read Device Failed!");
        return false;
    }
    std::string text = "Read Success : ID=";
    text += Format("Si%0.2x%0.2x", r[9], r[8]);
    text += CharOfCode(static_cast<uint8_t>(r[10] + 65));
    text += "-";
    text += CharOfCode(static_cast<uint8_t>(r[11] + 65));
    text += ",";
    text += Format("Address=0x%0.2x,", r[17]);
    switch (r[39]) {
    case 0x3F:
        text += "No Bank Empty!";
        break;
    case 0x0F:
        text += "1 Bank Empty!";
        break;
    case 0x03:
        text += "2 Banks Empty!";
        break;
    default:
        text += "3 Banks Empty!";
        break;
    }
    Line(ctx, text);
    return true;
}

bool PrintChipInfoFam16(VltContext &ctx) {
    const auto &r = Reply(ctx);
    std::string text = "Chip ID information is : ";
    for (size_t k = 8; k <= 13; ++k)
        text += Format("0x%0.2x ", r[k]);
    Line(ctx, text);
    return true;
}

bool PrintChipInfoFam64(VltContext &ctx) {
    const auto &r = Reply(ctx);
    std::string text = "Chip 1 Device ID :";
    for (size_t k = 8; k <= 10; ++k)
        text += Format("0x%0.2x,", r[k]);
    text += Format("0x%0.2x.", r[11]);
    Line(ctx, text);
    return true;
}
