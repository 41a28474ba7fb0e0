#pragma once
// TComm: owns one serial port and runs a reader and a writer thread while it is
// open. The threads never call application code: they post to the event queue
// given at construction, and every event below runs on the main thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/CommsError.h"
#include "serial/UucpLock.h"

class TEventQueue;
class TComm;
class TReadThread;
class TWriteThread;
struct TPortLink;
struct TCommToken;

enum class TDtrControl : uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : uint8_t { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
enum class TByteSize : uint8_t { _5, _6, _7, _8 };
enum class TParity : uint8_t { None, Odd, Even, Mark, Space };
enum class TStopBits : uint8_t { _1, _1_5, _2 };

// Buffer points to BufferLength received bytes followed by one zero byte; it is
// valid only during the call.
using TReceiveDataEvent = std::function<void(TComm &Sender, const uint8_t *Buffer, uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TComm &Sender, uint32_t EventMask)>;
using TModemStateChangeEvent = std::function<void(TComm &Sender, uint32_t ModemEvent)>;
using TRequestHangupEvent = std::function<void(TComm &Sender)>;
using TSendDataEmptyEvent = std::function<void(TComm &Sender)>;

// Line error bits of OnReceiveError.
inline constexpr uint32_t CommErrRxOver = 0x01;  // driver buffer overflow
inline constexpr uint32_t CommErrOverrun = 0x02; // hardware overrun
inline constexpr uint32_t CommErrParity = 0x04;
inline constexpr uint32_t CommErrFrame = 0x08;
inline constexpr uint32_t CommErrBreak = 0x10;
// Modem bits of OnModemStateChange.
inline constexpr uint32_t CommModemRing = 4;
inline constexpr uint32_t CommModemCarrier = 8; // carrier-detect line changed

// A received block holds at most this many bytes.
inline constexpr std::size_t kCommReadBlock = 2048;
// ClosePort waits this long for each thread.
inline constexpr int kCommThreadWaitMs = 10000;

class TComm {
public:
    explicit TComm(TEventQueue &queue);
    // Closes the port if the owner did not; events still queued for this
    // component are dropped from then on.
    ~TComm();
    TComm(const TComm &) = delete;
    TComm &operator=(const TComm &) = delete;

    // Opens CommName ("ttyUSB0" is /dev/ttyUSB0, a name with "/" is a path)
    // unless another program has it open or locked, and writes its lock file
    // into LockDir while it is open. Throws ECommsError; a line speed the
    // driver cannot set is "Cannot setup comm buffer".
    void OpenPort();
    // Stops both threads and closes the port; nothing when closed.
    void ClosePort();
    // Queues a copy of Length bytes for the writer; false when closed or Length 0.
    bool SendData(const uint8_t *Buffer, uint16_t Length);
    // The port handle is set.
    bool IsOpen() const;

    // The folder of the UUCP lock files (not a published property); a new
    // folder counts from the next open.
    const std::string &LockDir() const { return FLockDir; }
    void SetLockDir(const std::string &dir) { FLockDir = dir; }

    // Published properties. Setters of all but CommName and Parity re-apply the
    // settings at once while the port is open, unless the value is unchanged;
    // a speed the driver cannot set throws ECommsError (the value stays).
    const std::string &CommName() const { return FCommName; }
    void SetCommName(const std::string &v) { FCommName = v; }
    uint32_t BaudRate() const { return FBaudRate; }
    void SetBaudRate(uint32_t v);
    bool ParityCheck() const { return FParityCheck; }
    void SetParityCheck(bool v);
    bool Outx_CtsFlow() const { return FOutx_CtsFlow; }
    void SetOutx_CtsFlow(bool v);
    bool Outx_DsrFlow() const { return FOutx_DsrFlow; }
    void SetOutx_DsrFlow(bool v);
    TDtrControl DtrControl() const { return FDtrControl; }
    void SetDtrControl(TDtrControl v);
    bool DsrSensitivity() const { return FDsrSensitivity; }
    void SetDsrSensitivity(bool v);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool v);
    bool Outx_XonXoffFlow() const { return FOutx_XonXoffFlow; }
    void SetOutx_XonXoffFlow(bool v);
    bool Inx_XonXoffFlow() const { return FInx_XonXoffFlow; }
    void SetInx_XonXoffFlow(bool v);
    bool ReplaceWhenParityError() const { return FReplaceWhenParityError; }
    void SetReplaceWhenParityError(bool v);
    bool IgnoreNullChar() const { return FIgnoreNullChar; }
    void SetIgnoreNullChar(bool v);
    TRtsControl RtsControl() const { return FRtsControl; }
    void SetRtsControl(TRtsControl v);
    uint16_t XonLimit() const { return FXonLimit; }
    void SetXonLimit(uint16_t v);
    uint16_t XoffLimit() const { return FXoffLimit; }
    void SetXoffLimit(uint16_t v);
    TByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TByteSize v);
    TParity Parity() const { return FParity; }
    void SetParity(TParity v) { FParity = v; }
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits v);
    char XonChar() const { return FXonChar; }
    void SetXonChar(char v);
    char XoffChar() const { return FXoffChar; }
    void SetXoffChar(char v);
    char ReplacedChar() const { return FReplacedChar; }
    void SetReplacedChar(char v);
    uint32_t ReadIntervalTimeout() const { return FReadIntervalTimeout; }
    void SetReadIntervalTimeout(uint32_t v);
    uint32_t ReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
    void SetReadTotalTimeoutMultiplier(uint32_t v);
    uint32_t ReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
    void SetReadTotalTimeoutConstant(uint32_t v);
    uint32_t WriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
    void SetWriteTotalTimeoutMultiplier(uint32_t v);
    uint32_t WriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
    void SetWriteTotalTimeoutConstant(uint32_t v);

    // Events, called on the main thread only when assigned.
    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TRequestHangupEvent OnRequestHangup;
    TSendDataEmptyEvent OnSendDataEmpty;

private:
    friend struct TPortLink;
    void ApplyLineSettings();
    void ApplyTimeouts();
    void StopReader();
    void StopWriter();
    template <typename T> void SetLine(T &field, T v);
    template <typename T> void SetTimeout(T &field, T v);
    // Runs one message posted by a thread (the hidden window's handler).
    void PortWindowProc(unsigned Msg, uint32_t Param, const uint8_t *Block);

    TEventQueue &Queue;
    std::unique_ptr<TReadThread> FReadThread;
    std::unique_ptr<TWriteThread> FWriteThread;
    std::shared_ptr<TPortLink> FLink;   // handle, close event, send queue; null while closed
    std::shared_ptr<TCommToken> FToken; // stands for this object in posted events

    std::string FLockDir = kUucpLockDir;
    std::string FCommName = "COM2";
    uint32_t FBaudRate = 9600;
    bool FParityCheck = false;
    bool FOutx_CtsFlow = false;
    bool FOutx_DsrFlow = false;
    TDtrControl FDtrControl = TDtrControl::DtrEnable;
    bool FDsrSensitivity = false;
    bool FTxContinueOnXoff = true;
    bool FOutx_XonXoffFlow = true;
    bool FInx_XonXoffFlow = true;
    bool FReplaceWhenParityError = false;
    bool FIgnoreNullChar = false;
    TRtsControl FRtsControl = TRtsControl::RtsEnable;
    uint16_t FXonLimit = 500;
    uint16_t FXoffLimit = 500;
    TByteSize FByteSize = TByteSize::_8;
    TParity FParity = TParity::None;
    TStopBits FStopBits = TStopBits::_1;
    char FXonChar = 0x11;
    char FXoffChar = 0x13;
    char FReplacedChar = 0x00;
    uint32_t FReadIntervalTimeout = 100;
    uint32_t FReadTotalTimeoutMultiplier = 0;
    uint32_t FReadTotalTimeoutConstant = 0;
    uint32_t FWriteTotalTimeoutMultiplier = 0;
    uint32_t FWriteTotalTimeoutConstant = 0;
};

// The values both programs declare for their ports (the upgrade tool then uses
// a read interval of 3 ms instead of 5).
void SetDeclaredPortValues(TComm &comm, uint32_t readIntervalMs);
