#pragma once
// The upgrade tool's working data: protocol state, buffers, and the window,
// port and dialogs it works through. One object per program, created by the
// program object or a test and passed by reference.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/SerialDeviceMap.h"

class TComm;
class TDialogs;

namespace fwug {

struct TFirmWareUG;
struct TAboutForm;

constexpr size_t kUgPacketSize = 4004;
constexpr size_t kUgRxBufferSize = 15360;
// Largest encoded data block frame: 2,058 packet bytes, each possibly
// escaped, plus the 7 framing bytes.
constexpr size_t kUgTxBufferSize = 4123;

// UgState values.
enum : uint8_t { UgIdle = 0, UgVerifyRunning = 3, UgUpgradeRunning = 5 };

struct UgContext {
    uint16_t ExpCheckSum1 = 0;
    uint16_t ExpCheckSum2 = 0;
    uint16_t UgStartAddr = 0;
    uint16_t UgEndAddr = 0;
    uint8_t UgState = UgIdle;
    uint16_t UgRxCount = 0;
    // The delimiter at the front of UgRxBuffer closed a frame that was not
    // taken and is read again as an opening one. Meaningless once UgRxCount
    // was set back to 0.
    bool UgRxReopened = false;
    uint16_t UgCurAddr = 0;
    uint16_t UgBlockCount = 0;
    // Ticks of Timer1 left for the reply the running operation waits for.
    uint16_t UgTimeout = 0;
    // A request was given up on (its time ran out, or a new operation or a
    // search replaced the one that waited) and its answer may still come; no
    // probe answer since, which the programmer would send after it.
    bool UgAnswersOwed = false;
    // The running operation has sent the probe and waits for its answer
    // before it sends its first request: what comes before that answer are
    // the owed answers.
    bool UgSyncing = false;
    // Probes sent whose answer has not come, and how many of them were sent
    // before the last request: the programmer answers in order, so their
    // answers come before that request's and say nothing of it. The answer to
    // a probe sent after it is what ends the answers owed.
    uint8_t UgProbesOut = 0;
    uint8_t UgProbesBeforeRequest = 0;
    uint8_t DeviceFound = 0;
    std::array<uint8_t, kUgPacketSize> UgPacket{};
    std::array<uint8_t, kUgRxBufferSize> UgRxBuffer{};
    std::array<uint8_t, kUgTxBufferSize> UgTxBuffer{};

    TFirmWareUG *Form = nullptr;
    TAboutForm *AboutForm = nullptr;
    TComm *SPxComm1 = nullptr;
    TDialogs *Dialogs = nullptr;

    // The serial device map the port list is made from; the process's own
    // map (SerialDeviceMap) when unset.
    std::function<TSerialDeviceMap()> DeviceMap;
    // The pause between opening the port and sending the probe (50 ms).
    std::function<void(unsigned milliseconds)> Pause;
    // Closes the main window, which ends the program.
    std::function<void()> CloseWindow;
};

} // namespace fwug
