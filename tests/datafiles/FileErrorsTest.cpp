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
#include "tests/platform/FileSizeLimit.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

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

TEST_F(FileErrors, AFailedSaveKeepsTheFileItReplaces) {
    const std::string old = "old content";
    const std::string file = Dir.Path("saved.bin");
    struct Case {
        const char *what;
        void (*save)(VltContext &, const std::string &);
        bool existed;
    };
    const Case cases[] = {
        {"data buffer over a file", SaveBufferToBinFile, true},
        {"read buffer over a file", SaveReadBufferToBinFile, true},
        {"data buffer to a new file", SaveBufferToBinFile, false},
        {"read buffer to a new file", SaveReadBufferToBinFile, false},
    };
    Ctx.DataEndIndex = 0xFFFF;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(file);
        if (c.existed)
            Dir.Write("saved.bin", old);
        std::string error;
        {
            TFileSizeLimit full(4096);
            try {
                c.save(Ctx, file);
            } catch (const EInOutError &e) {
                error = e.what();
            }
        }
        EXPECT_EQ(error, "Cannot write file \"" + file + "\": File too large");
        // The folder holds the old file or nothing: no temporary file is left.
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(Dir.Path("")))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, c.existed ? std::vector<std::string>{"saved.bin"} : std::vector<std::string>{});
        if (c.existed) {
            std::ifstream in(file, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
        }
    }
}

} // namespace
