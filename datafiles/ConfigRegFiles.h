#pragma once
// Configuration-register files of family 5: a preamble, a register section, a
// postamble and a delay line. Each record line gives a 4-byte record:
// address (little-endian), then one two-byte value or up to two one-byte values.
#include <cstdint>
#include <string>

struct VltContext;

// Sets RecordCount, PreambleCount, PostambleCount and ConfigDelay. Each load
// starts the two section counts and the delay from 0, so a file without those
// sections never inherits the previous file's. Text that is not a number
// throws EConvertError.
void ParseConfigRegFile(VltContext &ctx, const std::string &fileName);

// Stores one record line at `pos`; when it held an address, `count` goes up by
// one and `pos` by 4. Returns false, storing nothing more, when a byte of the
// line would lie past DataBuffer.
bool ParseConfigRegLine(VltContext &ctx, const std::string &line, uint32_t &pos, uint16_t &count);
