#pragma once
// The chip in the simulated device's socket. An image chip keeps a 64 KB
// memory written from downloaded blocks; a register chip keeps a register
// space written and read back the way the host lays out each family's data.
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/SettingsBlock.h"

// Data area of a full packet and of a register read-out.
constexpr size_t kSimDataArea = 4096;
// Payload of a chip information reply.
constexpr size_t kSimInfoPayload = 64;

struct TSimChip {
    std::vector<uint8_t> Image;     // 65,536 bytes
    std::vector<uint8_t> Registers; // 65,536 bytes, addressed per family
};

// Families whose data is a register or command list; any other non-zero code
// carries a flat memory image.
bool SimIsRegisterFamily(uint8_t family);

// Writes the register data of a program packet (`data`: its 4096 data bytes)
// into the chip.
void SimProgramRegisters(TSimChip &chip, std::span<const uint8_t> settings, std::span<const uint8_t> data);

// Builds the 4096-byte read-out of a register chip for a verify or read
// packet carrying `data`: the layout the host's family rule reads.
void SimReadOutRegisters(const TSimChip &chip, std::span<const uint8_t> settings,
                         std::span<const uint8_t> data, std::span<uint8_t> out);

// The payload of a chip information reply (kSimInfoPayload bytes) from the
// configured bytes; family 48 reports its live registers 0x22, 0x2F, 0x10.
void SimChipInfoPayload(const TSimChip &chip, uint8_t family, std::span<const uint8_t> configured,
                        std::span<uint8_t> out);
