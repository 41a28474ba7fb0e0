// Files that open but fail while they are read, and save paths that are no
// regular files: every loader and saver ends with the program's own
// input/output error, never with a short load or a blocked open.
#include "datafiles/AhexFiles.h"
#include "datafiles/BinFiles.h"
#include "datafiles/CArrayFiles.h"
#include "datafiles/CmdTextFiles.h"
#include "datafiles/ConfigRegFiles.h"
#include "datafiles/ProjFiles.h"
#include "datafiles/RegTableFiles.h"
#include "datafiles/ScriptFiles.h"
#include "platform/Errors.h"
#include "tests/datafiles/DataFileFixture.h"

#include <sys/stat.h>

#include <functional>

namespace {

// A regular file whose first read fails (address 0 of this process is never mapped).
const std::string kUnreadable = "/proc/self/mem";

class FileErrors : public DataFileTest {};

TEST_F(FileErrors, AReadErrorIsTheInOutError) {
    struct Case {
        const char *what;
        std::function<void()> load;
    };
    uint32_t end = 0xFFFF;
    const Case cases[] = {
        {"command text", [&] { ParseCmdTxtFile(Ctx, kUnreadable); }},
        {"C array", [&] { ParseCArrayFile(Ctx, kUnreadable); }},
        {"register table", [&] { ParseRegTableFile(Ctx, kUnreadable); }},
        {"configuration", [&] { ParseConfigRegFile(Ctx, kUnreadable); }},
        {"ahex", [&] { ParseAhexFile(Ctx, kUnreadable); }},
        {"proj", [&] { ParseProjFile(Ctx, kUnreadable); }},
        {"script", [&] { ParseVeltaPyFile(Ctx, kUnreadable); }},
        {"binary", [&] { LoadBinFile(Ctx, kUnreadable, 4095); }},
        {"binary with length", [&] { LoadBinFileLen(Ctx, kUnreadable, end); }},
        {"binary 4 KB", [&] { LoadBin4K(Ctx, kUnreadable); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.load();
            ADD_FAILURE() << "read as a file without data";
        } catch (const EInOutError &e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot read file \"" + kUnreadable + "\"", 0), 0u)
                << e.what();
        } catch (const std::exception &e) {
            ADD_FAILURE() << "not the program's error: " << e.what();
        }
        // No parser took the failed read for an empty file and answered with a box.
        EXPECT_TRUE(Dialogs.Calls.empty());
    }
}

TEST_F(FileErrors, SavingOverAnythingButARegularFileIsRefused) {
    const std::string fifo = Dir.Path("pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A pipe without a reader would block the open for ever; a device or a
    // folder would take or refuse the bytes without a file being written.
    for (const std::string &path : {fifo, std::string("/dev/null"), Dir.Path("")}) {
        SCOPED_TRACE(path);
        Ctx.DataEndIndex = 0x0FFF;
        EXPECT_THROW(SaveBufferToBinFile(Ctx, path), EInOutError);
        EXPECT_THROW(SaveReadBufferToBinFile(Ctx, path), EInOutError);
    }
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

} // namespace
