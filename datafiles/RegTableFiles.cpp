#include "datafiles/RegTableFiles.h"

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "protocol/Frame.h"
#include "state/VltContext.h"

namespace {
constexpr uint32_t kRegRecordSize = 4;
}

size_t HexPairAt(const std::string &line, size_t pos, uint8_t &value) {
    value = HexPairToByte(line[pos], line[pos + 1]);
    return pos + 2;
}

uint8_t ParseRegTableLine(const std::string &line, uint8_t &a, uint8_t &b) {
    const auto npos = std::string::npos;
    const size_t tab1 = line.find('\t');
    if (tab1 == npos)
        return RegLineNoTab;
    if (tab1 + 1 >= line.size() || line[tab1 + 1] != '0')
        return RegLineNotZero;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == npos)
        return RegLineNoSecondTab;
    if (tab2 + 2 >= line.size())
        return RegLineNoPair;
    uint8_t va = 0;
    const size_t after = HexPairAt(line, tab2 + 1, va);
    const size_t tab3 = line.find('\t', after);
    const size_t r = tab3 == npos ? npos : line.find('R', tab3);
    if (r == npos)
        return RegLineNoR;
    if (line.compare(r, 3, "Reg") != 0)
        return RegLineNoReg;
    const size_t tab4 = line.find('\t', r);
    if (tab4 == npos || tab4 + 2 >= line.size())
        return RegLineNoPair;
    uint8_t vb = 0;
    HexPairAt(line, tab4 + 1, vb);
    a = va;
    b = vb;
    return RegLineRecord;
}

void ParseRegTableFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    uint32_t p = 0;
    ctx.RecordCount = 0;
    std::string line;
    while (NextDataLine(ctx, file, line)) {
        if (StartsWith(line, "END"))
            break;
        uint8_t a = 0, b = 0;
        if (ParseRegTableLine(line, a, b) != RegLineRecord)
            continue;
        if (!FitsDataBuffer(p, kRegRecordSize)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        ctx.DataBuffer[p] = a;
        ctx.DataBuffer[p + 1] = b;
        ctx.DataBuffer[p + 2] = 0;
        ctx.DataBuffer[p + 3] = 0;
        p += kRegRecordSize;
        ++ctx.RecordCount;
    }
}
