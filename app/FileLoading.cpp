#include "app/FileLoading.h"

#include <algorithm>
#include <array>

#include "datafiles/BinFiles.h"
#include "datafiles/CArrayFiles.h"
#include "datafiles/CmdTextFiles.h"
#include "datafiles/FileNames.h"
#include "datafiles/LoadSummaries.h"
#include "datafiles/OpenRoutines.h"
#include "datafiles/RegTableFiles.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "rhb/PelmorRHB.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

namespace {

struct TOpenFilter {
    const char *Filter;
    const char *DefaultExt;
};

TOpenFilter OpenFilterOf(uint8_t family) {
    switch (family) {
    case 224:
        return {"*.hfg,*.BIN|*.hfg;*.BIN;|All Files (*.*)|*.*", "*.hfg;*.Bin"};
    case 24:
        return {"All Project Files (*.proj,*.Bin)|*.proj;*.Bin|All Files (*.*)|*.*", "*.proj;*.Bin"};
    case 64:
        return {"All ahex Files (*.ahex)|*.ahex|All Files (*.*)|*.*", "*.ahex"};
    case 48:
        return {"All Velta Files (*.Bin,*.py)|*.BIN;*.py|All Files (*.*)|*.*", "*.py;*.Bin"};
    case 0:
    case 32:
        return {"All VLT Files (*.Bin,*.TXT,*.C)|*.BIN;*.TXT;*.C|All Files (*.*)|*.*", "*.TXT;*.C*;*.Bin"};
    default:
        return {"All Files (*.Bin,*.HEX)|*.BIN;*.HEX|All Files (*.*)|*.*", "*.HEX*;*.Bin"};
    }
}

// Runs the loader of the chip family; false when the load failed without an
// exception (a rejected HEX file, or a file of which nothing was loaded).
bool RunLoader(VltContext &ctx, const std::string &path) {
    switch (ctx.ChipFamily) {
    case 224:
        OpenHfgFile(ctx, path);
        return true;
    case 24:
        return OpenProjFile(ctx, path);
    case 64:
        return OpenAhexFile(ctx, path);
    case 48:
        return OpenVeltaPyFile(ctx, path);
    case 5:
        OpenConfigTxtFile(ctx, path);
        return true;
    case 16:
        OpenBinFileAddDefaults(ctx, path);
        return true;
    case 32:
        OpenRawBinFile(ctx, path);
        return true;
    case 0:
        LoadVltDataFile(ctx, path);
        return true;
    default:
        return LoadHexOrBinFile(ctx, path);
    }
}

uint8_t HexFillByte(const VltContext &ctx) {
    return ctx.ChipFamily == 80 && ctx.ChipSubType == 0 ? 0x00 : 0xFF;
}

// The data length table of sub-types 16-31, indexed by command code. Nothing
// fills it, so it holds zeros; it covers every code a record can hold.
constexpr std::array<uint8_t, 256> kCmdLengthTable{};

std::string HexErrorText(int code, const std::string &path, int32_t line) {
    if (code == RHB_UNREADABLE_FILE)
        return Format("HEX File Error : \"%s\" cannot be read!", path);
    const char *what = code == RHB_BAD_CHECKSUM         ? "record checksum error"
                       : code == RHB_UNSUPPORTED_RECORD ? "unknown record type"
                       : code == RHB_NO_END_RECORD      ? "no end-of-file record"
                                                        : "bad record";
    return Format("HEX File Error : \"%s\" line %d, %s!", path, line, what);
}

} // namespace

void FileOpenBtnClick(VltContext &ctx) {
    TProgramVLT &f = *ctx.Form;
    const TOpenFilter filter = OpenFilterOf(ctx.ChipFamily);
    f.OpenDialog1.Filter = filter.Filter;
    f.OpenDialog1.DefaultExt = filter.DefaultExt;
    const auto chosen = ctx.Dialogs->OpenFile(f.OpenDialog1);
    if (!chosen)
        return;
    const std::string path = *chosen;
    ctx.DataLoaded = 1;
    ctx.TransferKB = ctx.DataKB;
    f.EditDevAddr.SetText(Format("0x%0.2x", ctx.DeviceAddress));
    f.ProductEditX.SetText(path);
    f.EditFilName.SetText(FileNameOf(path));
    const std::string date = ctx.Clock->DateText();
    const std::string time = ctx.Clock->TimeText();
    f.AddInfoLine(Format("Load object file of \"%s\" at ", path) + date + "," + time);
    const uint16_t kbBefore = ctx.DataKB;
    bool loaded = false;
    try {
        loaded = RunLoader(ctx, path);
    } catch (...) {
        // Nothing half-loaded may reach the chips.
        ctx.DataLoaded = 0;
        throw;
    }
    if (!loaded)
        ctx.DataLoaded = 0;
    // A summary that sized the data anew (configuration files) sets how much
    // the download carries; taken before the load, its tail would stay behind.
    if (ctx.DataKB != kbBefore)
        ctx.TransferKB = ctx.DataKB;
    f.EditDevAddr.SetText(Format("0x%0.2x", ctx.DeviceAddress));
}

void LoadVltDataFile(VltContext &ctx, const std::string &fileName) {
    const std::string ext = UpperFileExt(fileName);
    std::fill_n(ctx.DataBuffer.begin(), 16384, 0xFF);
    LoadThenSummarise(
        [&] {
            if (ext == ".TXT") {
                const uint8_t kind = ctx.ChipSubType & 0xF0;
                if (kind == 0x10 || kind == 0x40)
                    ParseRegTableFile(ctx, fileName);
                else
                    ParseCmdTxtFile(ctx, fileName);
            } else if (ext == ".C") {
                ParseCArrayFile(ctx, fileName);
            } else {
                LoadBinFile(ctx, fileName, 4095);
                ctx.RecordCount = CountCmdRecords(ctx);
            }
        },
        [&] {
            ShowCmdFileSummary(ctx);
            if (ctx.ChipSubType < 16)
                ctx.DeviceAddress = 0;
        });
}

bool LoadHexOrBinFile(VltContext &ctx, const std::string &fileName) {
    const std::string ext = UpperFileExt(fileName);
    ctx.DataBuffer.fill(HexFillByte(ctx));
    if (ext == ".HEX") {
        int32_t line = 0;
        int32_t stored = 0;
        const int code = DoOpenFile_HEX_Routine(fileName.c_str(), ctx.DataBuffer.data(), &line, &stored);
        // A rejected file leaves the filled buffer: the viewer shows that, not the file before.
        ShowHexFileSummary(ctx);
        if (code != RHB_OK) {
            ctx.Dialogs->Error(HexErrorText(code, fileName, line));
            return false;
        }
        return true;
    }
    LoadThenSummarise([&] { LoadBinFile(ctx, fileName, 65535); }, [&] { ShowHexFileSummary(ctx); });
    return true;
}

void ShowHexFileSummary(VltContext &ctx) {
    AddDotsLine(ctx);
    AddSummaryLine(ctx, Format("Chip Device Address is : 0x%0.2x.", ctx.DeviceAddress));
    const auto start = static_cast<uint16_t>(ctx.ChecksumStart);
    if (ctx.ChipFamily == 80) {
        const uint8_t fill = HexFillByte(ctx);
        int last = 16383;
        while (last >= 0 && ctx.DataBuffer[static_cast<size_t>(last)] == fill)
            --last;
        ctx.RecordCount = static_cast<uint16_t>(last + 1);
        ctx.DataEndIndex = static_cast<uint32_t>(last); // 0xFFFFFFFF for an image of fill bytes only
        if (last >= 0) {
            ctx.ChecksumEnd = ctx.DataEndIndex | 0xFFF;
            ctx.RangeCheckWord =
                FrameChecksum(ctx.DataBuffer, start, static_cast<uint16_t>(ctx.DataEndIndex));
            ctx.RangeSum = SumFrom(ctx.DataBuffer, start, static_cast<uint16_t>(ctx.DataEndIndex), 0);
        } else {
            // No data: the range is empty, and the image is its first 4 KB block.
            ctx.ChecksumEnd = 0xFFF;
            ctx.RangeCheckWord = 0;
            ctx.RangeSum = 0;
        }
        ctx.TransferKB = static_cast<uint16_t>((ctx.ChecksumEnd + 1) / 1024);
        AddSummaryLine(ctx, Format("HEX File Actual Data End Address = 0x%0.4x", ctx.DataEndIndex));
        AddSummaryLine(ctx, Format("Chip Actual Data ACC CheckSum = 0x%0.4x.", ctx.RangeSum));
        AddSummaryLine(ctx, Format("Chip Actual Data CRC CheckSum = 0x%0.4x.", ctx.RangeCheckWord));
    }
    ImageChecksumsOver(ctx, start, static_cast<uint16_t>(ctx.ChecksumEnd));
    AddDotsLine(ctx);
    FillHexViewer(ctx);
}

void ShowCmdFileSummary(VltContext &ctx) {
    if ((ctx.ChipSubType & 0xF0) == 0x10) {
        for (uint32_t i = 0; i <= ctx.RecordCount && i < 32; ++i)
            ctx.DataBuffer[4 * i + 2] = kCmdLengthTable[ctx.DataBuffer[4 * i]];
    }
    BufferChecksums0(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddSummaryLine(ctx, Format("Chip Device Address is : 0x%0.2x.", ctx.DeviceAddress));
    AddSummaryLine(ctx, Format("Total %d Commands To Be Written!", ctx.RecordCount));
    if (ctx.ChipSubType < 16) {
        AddSummaryLine(ctx, (ctx.VerifyFlags & 0x01) ? "Has PEC Data." : "No PEC Data.");
        AddSummaryLine(ctx, (ctx.VerifyFlags & 0x04) ? "Has Page 1(Rail 2) Data Field."
                                                     : "No Page 1(Rail 2) Data Field.");
        AddSummaryLine(ctx, (ctx.VerifyFlags & 0x08) ? "Has Page 2(Rail 3) Data Field."
                                                     : "No Page 2(Rail 3) Data Field.");
    }
    AddDotsLine(ctx);
}

void FileSaveBtnClick(VltContext &ctx) {
    if (ctx.DataLoaded == 0) {
        ctx.Dialogs->Message("No Data need to be Saved!");
        return;
    }
    const auto path = ctx.Dialogs->SaveFile(ctx.Form->SaveDialog1);
    if (!path) {
        ctx.Dialogs->Message("No Data need to be Saved!");
        return;
    }
    SaveBufferToBinFile(ctx, *path);
    ctx.Dialogs->Message(Format("FIle \"%s\" has been saved!", *path));
}

void SaveReadOutDatatoFile1Click(VltContext &ctx) {
    if (ctx.ReadDataValid == 0)
        return;
    const auto path = ctx.Dialogs->SaveFile(ctx.Form->SaveDialog1);
    if (!path)
        return;
    SaveReadBufferToBinFile(ctx, *path);
    ctx.Dialogs->Message(Format("FIle \"%s\" has been saved!", *path));
}

void FormKeyPress(VltContext &ctx, char & /*key*/) {
    ctx.Form->Panel1.SetFocus();
}
