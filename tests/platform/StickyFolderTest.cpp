// Another user's file or FIFO in a sticky shared folder (/tmp) never takes
// what the writer writes, whether it was there before or appeared meanwhile.
#include "platform/FileWrite.h"

#include <sys/stat.h>

#include <cerrno>

#include "tests/platform/FileWriteFixture.h"

namespace {

struct StickyFolder : FileWrite {
    fs::path Shared = Dir / "shared";
    StickyFolder() { fs::create_directory(Shared); }
    // The folder as `owner` with `mode`; true when the test may go on.
    bool MakeShared(uid_t owner, mode_t mode) const {
        return ::chown(Shared.c_str(), owner, owner) == 0 && ::chmod(Shared.c_str(), mode) == 0;
    }
    // `name` made by `uid` as a regular file holding "theirs" or as a FIFO,
    // open to everyone.
    static bool MakeAs(uid_t uid, const fs::path &name, bool fifo) {
        return AsUser(uid, [&] {
            if (fifo)
                return ::mkfifo(name.c_str(), 0666) == 0 && ::chmod(name.c_str(), 0666) == 0;
            Write(name, "theirs");
            return ::chmod(name.c_str(), 0666) == 0;
        });
    }
    static const char *ModeName(TFileWriteMode mode) {
        return mode == TFileWriteMode::Append ? ", appended" : ", replaced";
    }
};

TEST_F(StickyFolder, AnotherUsersFileOrFifoThereIsRefusedAndLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can place a file owned by another user";
    struct Case {
        const char *what;
        mode_t folderMode;
        uid_t folderOwner, fileOwner;
        bool fifo;
        bool written;
    };
    const Case cases[] = {
        {"another user's file in a sticky world-writable folder", 01777, 0, kNobody, false, false},
        {"another user's FIFO there", 01777, 0, kNobody, true, false},
        {"the user's own file there", 01777, 0, 0, false, true},
        {"a file of the folder's owner", 01777, kNobody, kNobody, false, true},
        {"a FIFO of the folder's owner", 01777, kNobody, kNobody, true, true},
        {"another user's file in a folder that is not sticky", 0777, 0, kNobody, false, true},
        {"another user's FIFO in a folder that is not sticky", 0777, 0, kNobody, true, true},
    };
    const auto log = Shared / "root.log";
    for (const auto &c : cases)
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            SCOPED_TRACE(std::string(c.what) + ModeName(mode));
            fs::remove(log);
            ASSERT_TRUE(MakeShared(c.folderOwner, c.folderMode));
            ASSERT_TRUE(MakeAs(c.fileOwner, log, c.fifo));
            const struct stat before = StatOf(log);
            // A reader the FIFO's owner keeps open: a write would reach it.
            TFdReader reader(c.fifo ? ::open(log.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1);

            const auto err = WriteWholeFile(log.string(), "root's log", mode);
            const struct stat after = StatOf(log);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(std::distance(fs::directory_iterator(Shared), {}), 1);
            const std::string got = c.fifo ? reader.ReadNow() : Read(log);
            if (c.written) {
                EXPECT_FALSE(err);
                EXPECT_EQ(got, c.fifo || mode == TFileWriteMode::Replace ? "root's log" : "theirsroot's log");
            } else {
                EXPECT_TRUE(err);
                if (err) {
                    EXPECT_EQ(err->Step, TFileWriteStep::Create);
                    EXPECT_EQ(err->Errno, EACCES);
                }
                EXPECT_EQ(got, c.fifo ? "" : "theirs");
                EXPECT_EQ(after.st_ino, before.st_ino);
            }
        }
}

TEST_F(StickyFolder, AnotherUsersFileThatAppearsDuringTheWriteIsRefusedAndLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can place a file owned by another user";
    ASSERT_TRUE(MakeShared(0, 01777));
    const auto log = Shared / "root.log";
    for (const bool unnamed : {true, false})
        for (const bool fifo : {false, true})
            for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
                SCOPED_TRACE(std::string(unnamed ? "unnamed until complete" : "under a temporary name") +
                             (fifo ? ", a FIFO appears" : ", a file appears") + ModeName(mode));
                fs::remove(log);
                std::optional<TNoUnnamedFiles> named;
                if (!unnamed)
                    named.emplace();
                // As another user watching the folder would: the name is
                // taken just before the new file gets it.
                bool appeared = false;
                SysCallWatch().PutInPlace = [&](const std::string &, const std::string &to) {
                    if (to == log.string() && !appeared)
                        appeared = MakeAs(kNobody, log, fifo);
                    return 0;
                };
                const auto err = WriteWholeFile(log.string(), std::string(100000, 'r'), mode);
                SysCallWatch().PutInPlace = nullptr;
                ASSERT_TRUE(appeared);
                EXPECT_TRUE(err);
                if (err) {
                    EXPECT_EQ(err->Step, TFileWriteStep::Create);
                    EXPECT_EQ(err->Errno, EACCES);
                }
                const struct stat st = StatOf(log);
                EXPECT_EQ(st.st_uid, kNobody);
                EXPECT_EQ(st.st_mode & 07777, 0666u);
                EXPECT_TRUE(fifo || Read(log) == "theirs")
                    << "the file holds " << Read(log).size() << " bytes";
                EXPECT_EQ(std::distance(fs::directory_iterator(Shared), {}), 1);
            }
}

} // namespace
