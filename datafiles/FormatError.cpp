#include "datafiles/FormatError.h"

#include "datafiles/TextFileReader.h"
#include "forms/Dialogs.h"
#include "state/VltContext.h"

std::string FileFormatErrorText(const std::string &line) {
    return "File Format Error :\"" + line + "\"!";
}

void ShowFileFormatError(VltContext &ctx, const std::string &line) {
    ctx.Dialogs->Message(FileFormatErrorText(line));
}

bool NextDataLine(VltContext &ctx, TTextFileReader &file, std::string &line) {
    if (!file.ReadLine(line))
        return false;
    if (!file.LineTooLong())
        return true;
    ShowFileFormatError(ctx, line);
    return false;
}

bool FitsDataBuffer(uint32_t pos, uint32_t count) {
    return pos <= kBufferSize && count <= kBufferSize - pos;
}
