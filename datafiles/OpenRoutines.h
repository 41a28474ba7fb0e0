#pragma once
// The open routines of the chip families that have one: each prepares
// DataBuffer, loads the file by its extension and writes the load summary.
// A loader that throws (unreadable file, conversion error) ends the routine
// with that error after the summary of what the buffer then holds. The
// routines that can load nothing (another extension, a script refused at its
// first line) write the summary and return false: their buffer holds no data
// of the file.
#include <string>

struct VltContext;

void OpenHfgFile(VltContext &ctx, const std::string &fileName);            // family 224
bool OpenProjFile(VltContext &ctx, const std::string &fileName);           // family 24
bool OpenAhexFile(VltContext &ctx, const std::string &fileName);           // family 64
bool OpenVeltaPyFile(VltContext &ctx, const std::string &fileName);        // family 48
void OpenConfigTxtFile(VltContext &ctx, const std::string &fileName);      // family 5
void OpenBinFileAddDefaults(VltContext &ctx, const std::string &fileName); // family 16
void OpenRawBinFile(VltContext &ctx, const std::string &fileName);         // family 32
