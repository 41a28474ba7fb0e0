#pragma once
// The program's side of a simulated device's pseudo-terminal for the tests:
// raw writes and reads, and frames decoded with the project's codec.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TPtyHost {
public:
    explicit TPtyHost(const std::string &path);
    ~TPtyHost();
    TPtyHost(const TPtyHost &) = delete;
    TPtyHost &operator=(const TPtyHost &) = delete;

    void Write(std::span<const uint8_t> bytes);
    // Frames the packet (as it stands, check word included) and writes it.
    void SendPacket(std::span<const uint8_t> packet);
    void SendProbe();

    // Reads until a frame decodes (result 0); the decoded packet, or nothing
    // when the limit passes first. Frames the codec rejects are skipped.
    std::optional<std::vector<uint8_t>> ReadPacket(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Reads raw bytes until at least `n` are buffered (or the limit passes)
    // and hands over everything buffered.
    std::vector<uint8_t> ReadRaw(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // The poll events of the port after waiting up to the limit for any.
    short WaitEvents(std::chrono::milliseconds limit = std::chrono::seconds(5));
    int Fd() const { return FdNo; }

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);
    int FdNo = -1;
    std::vector<uint8_t> Rx;
};

// A packet: header, payload and its check word.
std::vector<uint8_t> MakePacket(uint8_t command, uint16_t argument, uint8_t family, uint8_t subType,
                                std::span<const uint8_t> payload);
// The status byte of a status-only reply (payload length 2), or nothing.
std::optional<uint8_t> ReplyStatus(std::span<const uint8_t> reply);
