#include "protocol/HandshakeReply.h"

#include <string>

#include "forms/Controls.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/ChannelFrame.h"
#include "protocol/ChannelOps.h"
#include "protocol/Frame.h"
#include "protocol/PortDiscovery.h"
#include "state/VltContext.h"

void HandleHandshakeReply(VltContext &ctx, int n, uint16_t rxCount) {
    const size_t k = static_cast<size_t>(n - 1);
    uint16_t length = 0;
    if (DecodeChannelFrame(ctx, n, rxCount, length) != kFrameOk)
        return;
    // A fresh copy each time: a match overwrites it with the full name.
    TDeviceNameField name = ExpectedDeviceName;
    if (CheckHandshakeName(ctx.PacketBuf[k].data(), length, name, kHandshakeNameOffset) != 0)
        return;
    const std::string device = DeviceNameText(name);

    ctx.ChannelConnected[k] = 1;
    ctx.ChannelGauge[k]->Enabled = true;
    TProgramVLT &form = *ctx.Form;
    if (n == 1)
        form.InfoPanel.Caption = device;
    form.DevSpdBtn(n).Enabled = true;
    MemoDeviceLine(ctx, n, Format(n == 1 ? "Find Device : %s!" : "Find Device: %s!", device));
    ctx.ChannelOpCode[k] = OpIdle;
    ctx.ChannelTimeout[k] = 500;
}
