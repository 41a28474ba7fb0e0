#include "datafiles/OpenRoutines.h"

#include <algorithm>

#include "chips/FamilySetup.h"
#include "chips/RegisterLists.h"
#include "datafiles/AhexFiles.h"
#include "datafiles/BinFiles.h"
#include "datafiles/ConfigRegFiles.h"
#include "datafiles/FileNames.h"
#include "datafiles/LoadSummaries.h"
#include "datafiles/ProjFiles.h"
#include "datafiles/ScriptFiles.h"
#include "forms/Dialogs.h"
#include "state/VltContext.h"

namespace {

void Clear(VltContext &ctx, size_t count, uint8_t value) {
    std::fill_n(ctx.DataBuffer.begin(), count, value);
}

} // namespace

void OpenHfgFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 4096, 0x00);
    LoadThenSummarise(
        [&] {
            LoadBinFile(ctx, fileName, 4095);
            ctx.RecordCount = static_cast<uint16_t>(CountImageEntries(ctx));
        },
        [&] { ShowHfgSummary(ctx); });
}

bool OpenProjFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 4096, 0x00);
    const std::string ext = UpperFileExt(fileName);
    bool loaded = true;
    LoadThenSummarise(
        [&] {
            if (ext == ".BIN")
                LoadBin4K(ctx, fileName);
            else if (ext == ".PROJ")
                ParseProjFile(ctx, fileName);
            else
                loaded = false;
        },
        [&] { ShowProjSummary(ctx); });
    return loaded;
}

bool OpenAhexFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 8192, 0x00);
    const std::string ext = UpperFileExt(fileName);
    bool loaded = true;
    LoadThenSummarise(
        [&] {
            if (ext == ".BIN")
                LoadBin4K(ctx, fileName);
            else if (ext == ".AHEX")
                ParseAhexFile(ctx, fileName);
            else
                loaded = false;
        },
        [&] {
            // Block CRCs belong to a block table; a binary image keeps the file's bytes.
            if (ext == ".BIN")
                ShowAhexImageSummary(ctx);
            else
                ShowAhexSummary(ctx);
        });
    return loaded;
}

bool OpenVeltaPyFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 8192, 0x00);
    const std::string ext = UpperFileExt(fileName);
    bool loaded = true;
    LoadThenSummarise(
        [&] {
            if (ext == ".BIN") {
                LoadBin4K(ctx, fileName);
            } else if (ext == ".PY") {
                loaded = ParseVeltaPyFile(ctx, fileName);
            } else {
                ctx.Dialogs->Message("File Error,Please Check!");
                loaded = false;
            }
        },
        [&] { ShowPySummary(ctx); });
    return loaded;
}

void OpenConfigTxtFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 16384, 0xFF);
    LoadThenSummarise(
        [&] {
            if (UpperFileExt(fileName) == ".TXT") {
                ParseConfigRegFile(ctx, fileName);
            } else {
                LoadBinFile(ctx, fileName, 4095);
                ctx.RecordCount = CountCmdRecords(ctx);
            }
        },
        [&] { ShowConfigTxtSummary(ctx); });
}

void OpenBinFileAddDefaults(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 4096, 0x00);
    LoadThenSummarise(
        [&] {
            LoadBinFile(ctx, fileName, 4095);
            LoadDefaultFlags(ctx);
        },
        [&] { ShowBinDefaultsSummary(ctx); });
}

void OpenRawBinFile(VltContext &ctx, const std::string &fileName) {
    Clear(ctx, 4096, 0x00);
    ctx.DataEndIndex = 0xFFFF;
    LoadThenSummarise([&] { LoadBinFileLen(ctx, fileName, ctx.DataEndIndex); },
                      [&] { ShowRawBinSummary(ctx); });
}
