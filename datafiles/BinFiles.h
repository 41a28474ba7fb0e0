#pragma once
// Raw binary files: the data and read-back buffers saved as they are, and
// files loaded into DataBuffer from offset 0. None of the loaders clears the
// buffer first. A file that cannot be opened, read or written throws EInOutError.
#include <cstdint>
#include <string>

struct VltContext;

// DataBuffer bytes 0..n, n = low 16 bits of DataEndIndex, or 1023 when it is 0.
// A save that fails leaves the file as it was, and a new file is not left behind.
void SaveBufferToBinFile(VltContext &ctx, const std::string &fileName);
// The same range of ReadBuffer.
void SaveReadBufferToBinFile(VltContext &ctx, const std::string &fileName);

// Stores the file from offset 0 until its end or until MaxIndex + 1 bytes are in.
void LoadBinFile(VltContext &ctx, const std::string &fileName, uint16_t maxIndex);
// As LoadBinFile up to index EndIndex (at most 65,535); afterwards EndIndex is
// the last index read, 0xFFFFFFFF when the file is empty.
void LoadBinFileLen(VltContext &ctx, const std::string &fileName, uint32_t &endIndex);
// At most 4,096 bytes; RecordCount := the 4-byte words up to the last non-zero byte.
void LoadBin4K(VltContext &ctx, const std::string &fileName);

// Command records before the first one starting with 0xFF, at most 512.
uint16_t CountCmdRecords(const VltContext &ctx);
