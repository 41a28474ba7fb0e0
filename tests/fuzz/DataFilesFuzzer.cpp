// libFuzzer entry: the first byte picks the reader, the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "datafiles/AhexFiles.h"
#include "datafiles/BinFiles.h"
#include "datafiles/CArrayFiles.h"
#include "datafiles/CmdTextFiles.h"
#include "datafiles/ConfigRegFiles.h"
#include "datafiles/ProjFiles.h"
#include "datafiles/RegTableFiles.h"
#include "datafiles/ScriptFiles.h"
#include "forms/RecordingDialogs.h"
#include "platform/Errors.h"
#include "rhb/PelmorRHB.h"
#include "state/VltContext.h"

namespace {

// Each input is written to a file in a private folder of the fuzzer's own,
// never to a name in /tmp that another user could have taken; both go at exit.
class TInputFile {
public:
    TInputFile() {
        char dir[] = "/tmp/pelmor-fuzz.XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        Dir = dir;
        Path = Dir + "/input";
    }
    ~TInputFile() {
        ::unlink(Path.c_str());
        ::rmdir(Dir.c_str());
    }
    TInputFile(const TInputFile &) = delete;
    TInputFile &operator=(const TInputFile &) = delete;
    std::string Dir, Path;
};

const std::string &InputPath() {
    static const TInputFile file;
    return file.Path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    std::ofstream(InputPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data + 1), static_cast<std::streamsize>(size - 1));
    auto ctx = std::make_unique<VltContext>();
    RecordingDialogs dialogs;
    ctx->Dialogs = &dialogs;
    const std::string &p = InputPath();
    try {
        switch (data[0] % 9) {
        case 0:
            ParseCmdTxtFile(*ctx, p);
            break;
        case 1:
            ParseCArrayFile(*ctx, p);
            break;
        case 2:
            ParseRegTableFile(*ctx, p);
            break;
        case 3:
            ParseConfigRegFile(*ctx, p);
            break;
        case 4:
            ParseAhexFile(*ctx, p);
            break;
        case 5:
            ParseProjFile(*ctx, p);
            break;
        case 6:
            ParseVeltaPyFile(*ctx, p);
            break;
        case 7:
            LoadBin4K(*ctx, p);
            break;
        default: {
            int32_t line = 0, stored = 0;
            DoOpenFile_HEX_Routine(p.c_str(), ctx->DataBuffer.data(), &line, &stored);
            break;
        }
        }
    } catch (const EPelmorError &) {
    }
    return 0;
}
