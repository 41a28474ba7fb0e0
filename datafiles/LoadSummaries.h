#pragma once
// The load summaries of the per-family open routines: buffer checksums
// (ImageSum, ImageCheckWord), the index globals, the data viewer and the
// lines of the information panel.
#include <cstdint>
#include <string>

struct VltContext;

// 57 full stops, added to the panel without a prefix.
extern const char *const kDotsLine;

// ImageCheckWord := check word, ImageSum := byte sum of DataBuffer[first..last],
// then the ACC line and the CRC line.
void ImageChecksumsOver(VltContext &ctx, uint16_t first, uint16_t last);

void HfgChecksums(VltContext &ctx);
// The block CRCs of an .ahex table (at most its 32 headers), each written into
// its header, then the buffer checksums.
void AhexChecksums(VltContext &ctx);
void PyChecksums(VltContext &ctx);
void ConfigTxtChecksums(VltContext &ctx);
void BinDefaultsChecksums(VltContext &ctx);
void RawBinChecksums(VltContext &ctx);
// Family 0: index globals and checksums over 0..4095; its caller prints the rest.
void BufferChecksums0(VltContext &ctx);

void ShowHfgSummary(VltContext &ctx);  // family 224
void ShowProjSummary(VltContext &ctx); // family 24
void ShowAhexSummary(VltContext &ctx); // family 64, an .ahex block table
// Family 64 after a binary load: the image keeps the file's bytes, so no
// block CRCs are written into it.
void ShowAhexImageSummary(VltContext &ctx);
void ShowPySummary(VltContext &ctx);          // family 48
void ShowConfigTxtSummary(VltContext &ctx);   // family 5
void ShowBinDefaultsSummary(VltContext &ctx); // family 16
void ShowRawBinSummary(VltContext &ctx);      // family 32

// Runs the load, then the summary. The summary also follows a load that fails
// with an error, before the error goes on: the viewer and the checksum lines
// then show what the buffer holds, not the file loaded before.
template <typename Load, typename Summary> void LoadThenSummarise(Load &&load, Summary &&summary) {
    try {
        load();
    } catch (...) {
        summary();
        throw;
    }
    summary();
}

// Panel helpers: a dots line, and a line through AddInfoLine.
void AddDotsLine(VltContext &ctx);
void AddSummaryLine(VltContext &ctx, const std::string &text);
