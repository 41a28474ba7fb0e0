#pragma once
// A simulated programmer device on a pseudo-terminal, for tests and the demo.
// The device owns the master side of a pty; the program under test opens
// PortPath() like a real serial port. One thread per device reads the master
// side, decodes frames, answers them and keeps the chip's memory. Every public
// call is thread-safe; the Inject* calls arm a fault for the next reply.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

// Sizes of the device's stores.
constexpr size_t kSimImageSize = 65536;     // chip memory of an image chip
constexpr size_t kSimRegisterSpace = 65536; // register space of a register chip
constexpr size_t kSimFwBlocks = 12;
constexpr size_t kSimFwBlockSize = 2048;
constexpr size_t kSimFwImageSize = kSimFwBlocks * kSimFwBlockSize;
constexpr size_t kSimKeyTableSize = 320;

struct TSimOptions {
    // The probe reply names "Pelmor200VLT" followed by this suffix.
    std::string NameSuffix;
    // Start contents of the chip.
    uint8_t ImageFill = 0xFF;
    uint8_t RegisterFill = 0x00;
    // Payload of the 0x93 reply (at least 40 bytes are sent; missing bytes
    // are zero). For family 48 bytes 2..4 are taken from registers 0x22,
    // 0x2F and 0x10 of page 0 at the time of the request.
    std::vector<uint8_t> ChipInfo = {0x21, 0x53, 0x00, 0x01};
    // The two constant bytes of the setup packet's mask; unset: the
    // program's own build constants.
    std::optional<std::array<uint8_t, 2>> SetupMaskConst;
    // Firmware upgrade: the image the device expects, the key table and the
    // constant bytes of the block masks. Empty image/table: the build's own.
    std::vector<uint8_t> FirmwareImage;
    std::vector<uint8_t> ImageKeyTable;
    std::optional<std::array<uint8_t, 2>> BlockMaskConst;
    // The checksum words a good upgrade reports.
    uint16_t ExpCheckSum1 = 0x10DB;
    uint16_t ExpCheckSum2 = 0x4B5C;
};

// One packet as the device decoded it from the wire (setup packets still
// scrambled, as sent).
struct TSimPacket {
    std::vector<uint8_t> Bytes;
    uint8_t Command() const { return Bytes.empty() ? 0 : Bytes[0]; }
    uint16_t Param() const { return Bytes.size() < 3 ? 0 : uint16_t(Bytes[1] | Bytes[2] << 8); }
    bool IsProbe() const;
};

struct TSimCounters {
    uint64_t BytesIn = 0;
    uint64_t Frames = 0;        // frames decoded (probes included)
    uint64_t BadFrames = 0;     // frames the codec rejected
    uint64_t BadCheckWords = 0; // packets answered with 0x23
    uint64_t Probes = 0;
    uint64_t Replies = 0;        // replies written
    uint64_t RepliesDropped = 0; // replies not written (silence, hang-up, write stall)
    uint64_t Reports = 0;        // progress reports and raw bytes written (one per call)
    uint64_t BytesOut = 0;       // bytes written to the program
    uint64_t HostCloses = 0;     // times the program side closed the port
};

// The setup packet after unscrambling.
struct TSimSetup {
    bool Valid = false;                  // magic and inner check words good
    std::vector<uint8_t> Plain;          // whole packet, bytes 8..1543 unscrambled
    std::array<uint8_t, 128> Settings{}; // the settings block
    std::string ChipName;                // text of the chip name field
    std::string FileName;                // text of the file name field
};

class TSimDevice {
public:
    explicit TSimDevice(TSimOptions opt = {});
    ~TSimDevice();
    TSimDevice(const TSimDevice &) = delete;
    TSimDevice &operator=(const TSimDevice &) = delete;

    // The path the program opens (/dev/pts/N).
    const std::string &PortPath() const { return SlavePath; }
    std::string DeviceName() const;

    // --- Fault injection (each arms the next reply only unless stated) ---
    // The next reply is a status-only reply with this status (probe replies
    // are left alone and keep it armed).
    void InjectStatus(uint8_t status);
    // The next reply goes out with a wrong check word.
    void InjectBadCheckWord();
    // The next `replies` replies are not sent (SIZE_MAX: silent for good).
    void InjectSilence(size_t replies = 1);
    // The next reply is written in chunks of `chunk` bytes with `pause` between.
    void InjectSplit(size_t chunk, std::chrono::milliseconds pause);
    // Only the first `keep` bytes of the next reply's write go out: the
    // program gets a beginning and then nothing.
    void InjectTruncate(size_t keep);
    // These bytes go out right before the next reply's frame, in the same write.
    void InjectGarbage(std::vector<uint8_t> bytes);
    // A second frame follows the next reply in the same write: this packet,
    // framed with a correct check word, or a copy of the reply when empty.
    void InjectSecondFrame(std::vector<uint8_t> packet = {});
    // The next reply is kept back until ReleaseHeld() sends it (with the
    // split armed for it, if any); HoldsReply() tells that it is waiting.
    void InjectHold();
    void ReleaseHeld();
    bool HoldsReply() const;
    // The next 0xBA reply carries these four words (bytes 8, 10, 24, 26).
    void InjectVerifyWords(uint16_t w8, uint16_t w10, uint16_t w24, uint16_t w26);
    // Closes the master side now; the program sees a hang-up. Final.
    void HangUp();
    void ClearFaults();

    // --- Stand-alone progress reports ---
    void SendProgressReport(uint8_t stage, uint8_t result, uint16_t current, uint16_t maximum);
    // A whole stand-alone run: start, blank check, erase, programming in
    // `steps` reports, verification, completion with `result` (6 = OK).
    void SendStandAloneRun(uint8_t result, uint16_t steps = 4);
    // Runs back to back, one per result code, all in one write: the program
    // gets many reports within one read interval.
    void SendStandAloneRuns(std::span<const uint8_t> results, uint16_t steps = 4);
    // Raw bytes to the program, as they stand.
    void SendRaw(std::vector<uint8_t> bytes);

    // --- Chip contents ---
    std::vector<uint8_t> ChipImage() const;
    void SetChipImage(size_t offset, const std::vector<uint8_t> &bytes);
    // Register chips: key is the family's register address (family 48:
    // page x 256 + register; command lists: command x 8 + byte 0..5).
    uint8_t Register(uint16_t key) const;
    void SetRegister(uint16_t key, uint8_t value);
    std::vector<uint8_t> RegisterSpace() const;
    // Blocks stored by 0x55 downloads: KB offset -> 4096 bytes.
    std::vector<uint8_t> DownloadedBlock(uint16_t kbOffset) const;
    std::vector<uint16_t> DownloadedBlocks() const;

    // --- Inspection ---
    // The packets received, oldest first (the latest 4096 are kept).
    std::vector<TSimPacket> ReceivedPackets() const;
    // Packets received since start, all of them counted.
    size_t PacketCount() const;
    std::vector<uint8_t> Commands() const; // command byte of each packet, probes as 0xA3
    TSimSetup LastSetup() const;
    // Firmware blocks stored by 0xB7, unscrambled (empty when not received).
    std::vector<uint8_t> FirmwareBlock(size_t block) const;
    TSimCounters Counters() const;
    bool HungUp() const;
    // True while bytes the device has decided to send are not all written:
    // once false, everything it answered so far is on the wire.
    bool Sending() const;
    // Waits (on a condition variable) until pred holds over the device or the
    // limit passes; returns pred's value.
    bool WaitFor(const std::function<bool(const TSimDevice &)> &pred,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;
    bool WaitForPackets(size_t n, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;

private:
    struct TState;
    void Run();
    void Wake();
    void NotifyChange();

    TSimOptions Opt;
    std::string SlavePath;
    int Master = -1;
    int WakeRead = -1;
    int WakeWrite = -1;
    mutable std::mutex Mutex;
    mutable std::condition_variable Changed;
    std::unique_ptr<TState> S; // guarded by Mutex
    std::thread Thread;
};

// Several devices and the serial device map naming their ports.
class TSimGang {
public:
    explicit TSimGang(size_t count = 4, const TSimOptions &opt = {});
    TSimDevice &Device(size_t i) { return *Devices.at(i); }
    size_t Size() const { return Devices.size(); }
    // Writes the map: one "\Device\VCP<i> <port path>" pair per line.
    void WriteDeviceMap(const std::string &path) const;

private:
    std::vector<std::unique_ptr<TSimDevice>> Devices;
};
