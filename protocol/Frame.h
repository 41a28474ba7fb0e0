#pragma once
// The byte layer shared by both programs: packet layout, check words,
// frame encoding and decoding, reply status.
//
// Ranges are given by first and last index, both included (16-bit); a range
// whose last index is below its first is empty. Bytes past the end of the
// given buffer are never read: a range is cut at the buffer's end.
#include <cstddef>
#include <cstdint>
#include <span>

#include "state/CheckWords.h"

// Packet: command, argument (u16), 0x3B, family, sub-type, payload length
// N (u16), payload, check word (u16); little-endian throughout.
constexpr size_t kPktCommand = 0;
constexpr size_t kPktArgument = 1;
constexpr size_t kPktMarker = 3;
constexpr size_t kPktFamily = 4;
constexpr size_t kPktSubType = 5;
constexpr size_t kPktLength = 6;
constexpr size_t kPktPayload = 8;
constexpr size_t kPktHeaderSize = 8;
constexpr size_t kPktOverhead = 10; // header and check word
constexpr uint8_t kPacketMarker = 0x3B;

// Frame: 0xC0, the stuffed packet, 0xC0, five 0xFF.
constexpr uint8_t kFrameDelimiter = 0xC0;
constexpr uint8_t kFrameEscape = 0xDB;
constexpr uint8_t kEscapedDelimiter = 0xDC;
constexpr uint8_t kEscapedEscape = 0xDD;
constexpr uint8_t kFrameTrailerByte = 0xFF;
constexpr size_t kFrameTrailerLength = 5;
constexpr size_t kFrameOverhead = 7; // two delimiters and the trailer

// DecodeFrame results.
constexpr uint8_t kFrameOk = 0;
constexpr uint8_t kFrameIncomplete = 0x20; // no closing delimiter yet, nothing consumed
constexpr uint8_t kFrameBad = 0x2A;        // consumed but unusable

// CheckReplyStatus result for a damaged reply.
constexpr uint8_t kStatusChecksumError = 0x23;

// Two characters to a byte, unchecked: 'A'..'Z' -> c - 0x37, 'a'..'z' -> c - 0x57,
// others c - 0x30, each modulo 256; result (16 * high + low) modulo 256.
uint8_t HexPairToByte(char high, char low);

// Encodes `packet` (its whole length L >= 1) into `dest` and returns the frame
// length L + E + 7 (E = bytes that are 0xC0 or 0xDB). Returns 0 and writes
// nothing when the frame would not fit `dest`.
uint16_t EncodeFrame(std::span<const uint8_t> packet, std::span<uint8_t> dest);

// True when the first `count` bytes of `rx` hold at least two 0xC0.
bool PacketComplete(std::span<const uint8_t> rx, uint16_t count);

// Index of the delimiter that closes the first frame of `rx`, as DecodeFrame
// finds it (a doubled opening delimiter opens the frame); `count` when none.
uint16_t ClosingDelimiterAt(std::span<const uint8_t> rx, uint16_t count);

// Decodes the first frame of `rx` (holding `rxCount` bytes) into `packet`.
// Returns kFrameIncomplete with nothing changed while no closing delimiter
// is there. Otherwise the bytes through the closing delimiter (or through a
// bad escape) are consumed, the rest moved to the front and `rxCount`
// lowered; the result is kFrameOk with `decodedLen` set, or kFrameBad (a bad
// escape, fewer than 8 bytes, or a frame longer than `packet`, which is
// never written past its end; decodedLen is then 0, or the short length).
uint8_t DecodeFrame(std::span<uint8_t> rx, std::span<uint8_t> packet, uint16_t &decodedLen,
                    uint16_t &rxCount);

// True when a decoded reply of `len` bytes holds a header and a check word,
// and the check word matches.
bool ReplyCheckWordGood(std::span<const uint8_t> packet, uint16_t len);

// Checks a decoded reply of `len` bytes: kStatusChecksumError when its check
// word is wrong (or it is too short to hold a header and check word), 0 when
// it carries more than 2 payload bytes, else its status byte (offset 8).
uint8_t CheckReplyStatus(std::span<const uint8_t> packet, uint16_t len);

// Little-endian helpers for packet fields.
inline void PutU16(std::span<uint8_t> buf, size_t at, uint16_t v) {
    buf[at] = static_cast<uint8_t>(v);
    buf[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline uint16_t GetU16(std::span<const uint8_t> buf, size_t at) {
    return static_cast<uint16_t>(buf[at] | (buf[at + 1] << 8));
}

// Writes the 8-byte header of a command packet.
void PutPacketHeader(std::span<uint8_t> packet, uint8_t command, uint16_t argument, uint8_t family,
                     uint8_t subType, uint16_t payloadLen);

// Stores the check word over bytes 0..7+N at 8+N, N read from the header;
// returns the packet length 10+N (0 when it would not fit the buffer).
uint16_t SealPacket(std::span<uint8_t> packet);
