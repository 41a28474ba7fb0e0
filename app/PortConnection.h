#pragma once
// Binding programmers to channels.
#include <functional>

struct VltContext;

// Blocking pause between opening a port and probing it.
using TPauseFn = std::function<void(unsigned milliseconds)>;
// The real pause: sleeps on the calling thread.
void SleepPause(unsigned milliseconds);

// "Fresh Device": closes the ports, unbinds every channel, lists the ports.
void BitBtnFreshClick(VltContext &ctx);
// "Connnect Device": lists the ports, binds the first four to channels 1..4
// and probes each that opened. Throws ECommsError when a port cannot be opened.
void BitBtnFindCOMClick(VltContext &ctx, const TPauseFn &pause);
// Choosing a port in the list changes no binding.
void ComboBoxCOMChange(VltContext &ctx);
