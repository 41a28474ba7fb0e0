#include "serial/Comm.h"

#include <cstring>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

#include "platform/EventQueue.h"
#include "serial/LineSettings.h"
#include "serial/LineSpeed.h"
#include "serial/PortLink.h"
#include "serial/PortUsers.h"
#include "serial/PosixPort.h"
#include "serial/ReadThread.h"
#include "serial/WriteThread.h"

TComm::TComm(TEventQueue &queue) : Queue(queue), FToken(std::make_shared<TCommToken>()) {
    FToken->Comm = this;
}

TComm::~TComm() {
    ClosePort();
    FToken->Comm = nullptr;
}

bool TComm::IsOpen() const {
    return FLink != nullptr;
}

void TComm::OpenPort() {
    if (FLink)
        throw ECommsError(kMsgAlreadyOpened);
    // A port another program has locked is left untouched: not even opened.
    const std::string lockName = UucpLockName(FCommName);
    if (UucpLockHeld(FLockDir, lockName))
        throw ECommsError(kMsgErrorOpening);
    const int fd = OpenPortExclusive(FCommName);
    if (fd < 0)
        throw ECommsError(kMsgErrorOpening);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ClosePortHandle(fd);
        throw ECommsError(kMsgNotCommHandle);
    }
    // A character device without line settings is no serial port.
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ClosePortHandle(fd);
        throw ECommsError(kMsgCannotSetupBuffer);
    }
    // Programs that neither lock nor use exclusive mode: two readers would
    // split the bytes.
    if (DeviceOpenElsewhere(st.st_rdev)) {
        ClosePortHandle(fd);
        throw ECommsError(kMsgErrorOpening);
    }
    // Without a usable lock folder the port still opens; the checks above
    // keep it unshared all the same.
    TUucpLock lock;
    if (lock.Take(FLockDir, lockName) == TUucpLock::TResult::Held) {
        ClosePortHandle(fd);
        throw ECommsError(kMsgErrorOpening);
    }
    ::ioctl(fd, TIOCEXCL);

    std::shared_ptr<TPortLink> link;
    try {
        link = std::make_shared<TPortLink>(Queue, FToken, fd, std::move(lock));
    } catch (...) {
        ClosePortHandle(fd);
        throw ECommsError(kMsgErrorOpening);
    }
    FLink = link; // the port is open from here on
    ::tcflush(fd, TCIOFLUSH);
    FLink->SendEmpty.store(true);
    try {
        ApplyTimeouts();
        ApplyLineSettings();
    } catch (...) {
        FLink.reset();
        throw;
    }

    if (!FLink->CreateEvents()) {
        FLink.reset();
        throw ECommsError(kMsgCannotCreateEvent);
    }
    try {
        FReadThread = std::make_unique<TReadThread>(FLink);
        FReadThread->Start();
    } catch (...) {
        FReadThread.reset();
        FLink.reset();
        throw ECommsError(kMsgCannotCreateReader);
    }
    try {
        FWriteThread = std::make_unique<TWriteThread>(FLink);
        FWriteThread->Start();
    } catch (...) {
        StopReader();
        FWriteThread.reset();
        FLink.reset();
        throw ECommsError(kMsgCannotCreateWriter);
    }
}

void TComm::StopReader() {
    if (!FReadThread)
        return;
    FLink->SignalClose();
    ::tcflush(FLink->Fd, TCIFLUSH);
    FReadThread->WaitFor(kCommThreadWaitMs);
    FReadThread.reset();
}

void TComm::StopWriter() {
    if (!FWriteThread)
        return;
    FLink->SignalClose();
    ::tcflush(FLink->Fd, TCOFLUSH);
    FLink->SendEmpty.store(true);
    FWriteThread->WaitFor(kCommThreadWaitMs);
    FWriteThread.reset();
}

void TComm::ClosePort() {
    if (!FLink)
        return;
    StopReader();
    StopWriter();
    // The handles close with the last owner: here, unless a thread overran its wait.
    FLink.reset();
}

bool TComm::SendData(const uint8_t *Buffer, uint16_t Length) {
    if (!FLink || !FWriteThread || FWriteThread->Ended() || Length == 0 || Buffer == nullptr)
        return false;
    std::vector<uint8_t> block;
    try {
        block.assign(Buffer, Buffer + Length);
        block.push_back(0);
    } catch (...) {
        return false;
    }
    return FLink->QueueSend(std::move(block));
}

void TComm::ApplyLineSettings() {
    if (!FLink)
        return;
    const int fd = FLink->Fd;
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    ComposeTermios(*this, t);
    ::tcsetattr(fd, TCSANOW, &t);
    // Any rate the driver has; a line at another speed would garble every frame.
    const bool speedSet = SetLineSpeed(fd, FBaudRate);
    SetModemLine(fd, TIOCM_DTR, FDtrControl != TDtrControl::DtrDisable);
    if (FRtsControl != TRtsControl::RtsHandshake)
        SetModemLine(fd, TIOCM_RTS, FRtsControl != TRtsControl::RtsDisable);
    FLink->IgnoreNullChar.store(FIgnoreNullChar);
    if (!speedSet)
        throw ECommsError(kMsgCannotSetupBuffer);
}

void TComm::ApplyTimeouts() {
    if (!FLink)
        return;
    FLink->ReadInterval.store(FReadIntervalTimeout);
    FLink->ReadTotalMultiplier.store(FReadTotalTimeoutMultiplier);
    FLink->ReadTotalConstant.store(FReadTotalTimeoutConstant);
    // Write time-outs only split a write: the writer continues with the rest,
    // so they change nothing here.
}

void TComm::PortWindowProc(unsigned Msg, uint32_t Param, const uint8_t *Block) {
    switch (Msg) {
    case PortMsgReceiveData:
        if (OnReceiveData && Block)
            OnReceiveData(*this, Block, static_cast<uint16_t>(Param));
        break;
    case PortMsgReceiveError:
        if (OnReceiveError)
            OnReceiveError(*this, Param);
        break;
    case PortMsgRequestHangup:
        if (OnRequestHangup)
            OnRequestHangup(*this);
        break;
    case PortMsgModemState:
        if (OnModemStateChange)
            OnModemStateChange(*this, Param);
        break;
    case PortMsgSendEmpty:
        if (OnSendDataEmpty)
            OnSendDataEmpty(*this);
        break;
    default:
        break;
    }
}

template <typename T> void TComm::SetLine(T &field, T v) {
    if (field == v)
        return;
    field = v;
    ApplyLineSettings();
}

template <typename T> void TComm::SetTimeout(T &field, T v) {
    if (field == v)
        return;
    field = v;
    ApplyTimeouts();
}

void TComm::SetBaudRate(uint32_t v) {
    SetLine(FBaudRate, v);
}
void TComm::SetParityCheck(bool v) {
    SetLine(FParityCheck, v);
}
void TComm::SetOutx_CtsFlow(bool v) {
    SetLine(FOutx_CtsFlow, v);
}
void TComm::SetOutx_DsrFlow(bool v) {
    SetLine(FOutx_DsrFlow, v);
}
void TComm::SetDtrControl(TDtrControl v) {
    SetLine(FDtrControl, v);
}
void TComm::SetDsrSensitivity(bool v) {
    SetLine(FDsrSensitivity, v);
}
void TComm::SetTxContinueOnXoff(bool v) {
    SetLine(FTxContinueOnXoff, v);
}
void TComm::SetOutx_XonXoffFlow(bool v) {
    SetLine(FOutx_XonXoffFlow, v);
}
void TComm::SetInx_XonXoffFlow(bool v) {
    SetLine(FInx_XonXoffFlow, v);
}
void TComm::SetReplaceWhenParityError(bool v) {
    SetLine(FReplaceWhenParityError, v);
}
void TComm::SetIgnoreNullChar(bool v) {
    SetLine(FIgnoreNullChar, v);
}
void TComm::SetRtsControl(TRtsControl v) {
    SetLine(FRtsControl, v);
}
void TComm::SetXonLimit(uint16_t v) {
    SetLine(FXonLimit, v);
}
void TComm::SetXoffLimit(uint16_t v) {
    SetLine(FXoffLimit, v);
}
void TComm::SetByteSize(TByteSize v) {
    SetLine(FByteSize, v);
}
void TComm::SetStopBits(TStopBits v) {
    SetLine(FStopBits, v);
}
void TComm::SetXonChar(char v) {
    SetLine(FXonChar, v);
}
void TComm::SetXoffChar(char v) {
    SetLine(FXoffChar, v);
}
void TComm::SetReplacedChar(char v) {
    SetLine(FReplacedChar, v);
}
void TComm::SetReadIntervalTimeout(uint32_t v) {
    SetTimeout(FReadIntervalTimeout, v);
}
void TComm::SetReadTotalTimeoutMultiplier(uint32_t v) {
    SetTimeout(FReadTotalTimeoutMultiplier, v);
}
void TComm::SetReadTotalTimeoutConstant(uint32_t v) {
    SetTimeout(FReadTotalTimeoutConstant, v);
}
void TComm::SetWriteTotalTimeoutMultiplier(uint32_t v) {
    SetTimeout(FWriteTotalTimeoutMultiplier, v);
}
void TComm::SetWriteTotalTimeoutConstant(uint32_t v) {
    SetTimeout(FWriteTotalTimeoutConstant, v);
}

void SetDeclaredPortValues(TComm &comm, uint32_t readIntervalMs) {
    comm.SetBaudRate(1000000);
    comm.SetParityCheck(false);
    comm.SetOutx_CtsFlow(false);
    comm.SetOutx_DsrFlow(false);
    comm.SetDtrControl(TDtrControl::DtrDisable);
    comm.SetDsrSensitivity(false);
    comm.SetTxContinueOnXoff(false);
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetReplaceWhenParityError(false);
    comm.SetIgnoreNullChar(false);
    comm.SetRtsControl(TRtsControl::RtsDisable);
    comm.SetXonLimit(10);
    comm.SetXoffLimit(10);
    comm.SetByteSize(TByteSize::_8);
    comm.SetParity(TParity::None);
    comm.SetStopBits(TStopBits::_2);
    comm.SetXonChar('0');
    comm.SetXoffChar('0');
    comm.SetReplacedChar(0);
    comm.SetReadIntervalTimeout(readIntervalMs);
    comm.SetReadTotalTimeoutMultiplier(0);
    comm.SetReadTotalTimeoutConstant(0);
    comm.SetWriteTotalTimeoutMultiplier(0);
    comm.SetWriteTotalTimeoutConstant(0);
}
