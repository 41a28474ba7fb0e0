#pragma once
// Binding programmers to channels.
#include <functional>

#include "platform/SerialDeviceMap.h"

struct VltContext;

// Blocking pause between opening a port and probing it.
using TPauseFn = std::function<void(unsigned milliseconds)>;
// The real pause: sleeps on the calling thread.
void SleepPause(unsigned milliseconds);

// Where the connect scan finds its ports and how it pauses; tests replace both.
struct TPortScan {
    std::function<TSerialDeviceMap()> DeviceMap = [] { return SerialDeviceMap(); };
    TPauseFn Pause = SleepPause;
};

// "Fresh Device": closes the ports, unbinds every channel, lists the ports.
void BitBtnFreshClick(VltContext &ctx, const TPortScan &scan);
// "Connnect Device": lists the ports, binds the first four to channels 1..4
// and probes each that opened. Throws ECommsError when a port cannot be opened.
void BitBtnFindCOMClick(VltContext &ctx, const TPortScan &scan);
// Choosing a port in the list changes no binding.
void ComboBoxCOMChange(VltContext &ctx);
