#include "app/PortConnection.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "forms/Controls.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/PortDiscovery.h"
#include "serial/Comm.h"
#include "state/VltContext.h"

void SleepPause(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void BitBtnFreshClick(VltContext &ctx, const TPortScan &scan) {
    TProgramVLT &f = *ctx.Form;
    f.ComboBoxCOM.ClearItems();
    for (size_t k = 0; k < kChannels; ++k) {
        if (ctx.ChannelComm[k]->IsOpen())
            ctx.ChannelComm[k]->ClosePort();
        ctx.ChannelConnected[k] = 0;
        ctx.ChannelBusy[k] = 0;
    }
    for (int n = 1; n <= kChannels; ++n)
        f.DevSpdBtn(n).Enabled = false;
    EnumeratePorts(f.ComboBoxCOM, scan.DeviceMap ? scan.DeviceMap() : TSerialDeviceMap{});
}

void BitBtnFindCOMClick(VltContext &ctx, const TPortScan &scan) {
    TProgramVLT &f = *ctx.Form;
    f.ComboBoxCOM.ClearItems();
    for (size_t k = 0; k < kChannels; ++k) {
        ctx.ChannelRxCount[k] = 0;
        ctx.ChannelBusy[k] = 0;
        // Every port closes here; a channel that gets none back (fewer ports
        // listed, or the scan stopped by a failed open) must not look connected.
        ctx.ChannelConnected[k] = 0;
        TGauge &g = *ctx.ChannelGauge[k];
        g.Enabled = false;
        g.SetProgress(0);
        g.ForeColor = TColor::Blue;
        if (ctx.ChannelComm[k]->IsOpen())
            ctx.ChannelComm[k]->ClosePort();
    }
    for (int n = 1; n <= kChannels; ++n)
        f.DevSpdBtn(n).Enabled = false;
    EnumeratePorts(f.ComboBoxCOM, scan.DeviceMap ? scan.DeviceMap() : TSerialDeviceMap{});

    // Positional binding: list item i serves channel i + 1.
    const size_t bound = std::min<size_t>(f.ComboBoxCOM.Items.size(), kChannels);
    for (size_t k = 0; k < bound; ++k) {
        const int n = static_cast<int>(k) + 1;
        const std::string port = f.ComboBoxCOM.Items[k];
        ctx.ChannelTimeout[k] = 500;
        ctx.ChannelConnected[k] = 0;
        f.InfoPanel.Caption = "Searching Devices............";
        f.AddInfoLine(Format("Checking Device %d In %s............", n, port));
        TComm &comm = *ctx.ChannelComm[k];
        comm.SetCommName(port);
        comm.OpenPort();
        if (scan.Pause)
            scan.Pause(50);
        if (comm.IsOpen())
            SendProbe(ctx, n);
    }
}

void ComboBoxCOMChange(VltContext &) {}
