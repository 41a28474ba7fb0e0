#pragma once
// What the download benchmarks share: four simulated programmers in the
// program's port map, the channel states they wait for, and the 64 KB image.
#include <string>

#include "app/VltProgram.h"
#include "forms/ProgramVLTForm.h"
#include "platform/SerialDeviceMap.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"

inline TSerialDeviceMap MapOf(TSimGang &gang) {
    TSerialDeviceMap map;
    for (size_t i = 0; i < gang.Size(); ++i)
        map.push_back({"\\Device\\VCP" + std::to_string(i), gang.Device(i).PortPath()});
    return map;
}

inline bool AllConnected(const VltContext &ctx) {
    for (size_t k = 0; k < 4; ++k)
        if (!ctx.ChannelConnected[k])
            return false;
    return true;
}

inline bool AllIdle(const VltContext &ctx) {
    for (size_t k = 0; k < 4; ++k)
        if (ctx.ChannelBusy[k])
            return false;
    return true;
}

// A chip of family 80 with a 64 KB image loaded, as the download wants it.
inline void PrepareImage(TVltProgram &program) {
    VltContext &ctx = program.Context();
    ctx.ChipFamily = 80;
    program.Form().MCUNameEdit.SetText("ImageChip");
    for (size_t i = 0; i < kBufferSize; ++i)
        ctx.DataBuffer[i] = static_cast<uint8_t>(i * 31 + 7);
    ctx.TransferKB = 64;
    ctx.RecordCount = 65535;
    ctx.DataLoaded = 1;
}
