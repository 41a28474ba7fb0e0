#pragma once
// The main window's side of data files: the open dialog and the loader of
// the chip family, the two loaders of the main window with their summaries,
// and the export of the data and read-back buffers.
#include <string>

struct VltContext;

// Toolbar "Load" and menu Execute1. A load that raises an error, a HEX file
// that the library rejects, or a file of which an open routine loaded
// nothing leaves DataLoaded at 0 (a raised error goes on to the caller's
// error display).
void FileOpenBtnClick(VltContext &ctx);

// Both loaders write their summary also when the load fails, so the viewer
// and the checksum lines show what the buffer then holds.
// Family 0: command text, register table, C array or binary file.
void LoadVltDataFile(VltContext &ctx, const std::string &fileName);
// Other families without an open routine: ".HEX" through the HEX library, or
// a binary file. Returns false, with an error box naming the file and the
// line, when the library rejects the file; the summary is then that of the
// filled buffer.
bool LoadHexOrBinFile(VltContext &ctx, const std::string &fileName);

void ShowHexFileSummary(VltContext &ctx);
void ShowCmdFileSummary(VltContext &ctx);

// Toolbar "Save" and menu SaveFile1: DataBuffer to a binary file.
void FileSaveBtnClick(VltContext &ctx);
// Menu SaveReadOutDatatoFile1: ReadBuffer to a binary file.
void SaveReadOutDatatoFile1Click(VltContext &ctx);

// A key press that reaches the form moves the focus to the toolbar.
void FormKeyPress(VltContext &ctx, char &key);
