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
    // The folder as `owner` and `group` (the owner's when none) with `mode`;
    // true when the test may go on.
    bool MakeShared(uid_t owner, mode_t mode, std::optional<gid_t> group = std::nullopt) const {
        return ::chown(Shared.c_str(), owner, group.value_or(owner)) == 0 &&
               ::chmod(Shared.c_str(), mode) == 0;
    }
    enum class TKind { File, Fifo, Link };
    // `name` made by `uid` (a member of `groups` too) as a regular file
    // holding "theirs", a FIFO, both open to everyone, or a link to `to`.
    static bool MakeAs(uid_t uid, const fs::path &name, TKind kind, const std::vector<gid_t> &groups = {},
                       const fs::path &to = {}) {
        return AsUser(
            uid,
            [&] {
                if (kind == TKind::Link)
                    return ::symlink(to.c_str(), name.c_str()) == 0;
                if (kind == TKind::Fifo)
                    return ::mkfifo(name.c_str(), 0666) == 0 && ::chmod(name.c_str(), 0666) == 0;
                Write(name, "theirs");
                return ::chmod(name.c_str(), 0666) == 0;
            },
            groups);
    }
    static bool MakeAs(uid_t uid, const fs::path &name, bool fifo, const std::vector<gid_t> &groups = {}) {
        return MakeAs(uid, name, fifo ? TKind::Fifo : TKind::File, groups);
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
        // The folder's group is one the file's owner alone is given.
        bool groupShared = false;
    };
    const Case cases[] = {
        {"another user's file in a sticky world-writable folder", 01777, 0, kNobody, false, false},
        {"another user's FIFO there", 01777, 0, kNobody, true, false},
        {"the user's own file there", 01777, 0, 0, false, true},
        {"a file of the folder's owner", 01777, kNobody, kNobody, false, true},
        {"a FIFO of the folder's owner", 01777, kNobody, kNobody, true, true},
        {"another user's file in a folder that is not sticky", 0777, 0, kNobody, false, true},
        {"another user's FIFO in a folder that is not sticky", 0777, 0, kNobody, true, true},
        {"another user's file in a sticky folder its group may write", 01770, 0, kNobody, false, false, true},
        {"another user's FIFO there", 01770, 0, kNobody, true, false, true},
        {"another user's file in a folder its group may write, not sticky", 0770, 0, kNobody, false, true,
         true},
    };
    const auto log = Shared / "root.log";
    for (const auto &c : cases)
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            SCOPED_TRACE(std::string(c.what) + ModeName(mode));
            fs::remove(log);
            std::vector<gid_t> groups;
            if (c.groupShared)
                groups.push_back(kGroup);
            ASSERT_TRUE(MakeShared(c.folderOwner, c.folderMode,
                                   c.groupShared ? std::optional<gid_t>(kGroup) : std::nullopt));
            ASSERT_TRUE(MakeAs(c.fileOwner, log, c.fifo, groups));
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

TEST_F(StickyFolder, AFileWithASecondNameThereIsRefusedAndLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can link a file it may not write";
    // Root's file elsewhere, linked to the log's name as another user may
    // link any file it may write (a 0666 one), or any file at all where
    // protected_hardlinks is off; root makes the link here.
    const auto data = Dir / "root.data";
    const auto log = Shared / "root.log";
    struct Case {
        const char *what;
        mode_t folderMode;
        bool groupShared; // the folder's group is one only nobody is given
        mode_t dataMode;
        uid_t writer;
        bool written;
    };
    const Case cases[] = {
        {"root writes, in a sticky world-writable folder", 01777, false, 0600, 0, false},
        {"another user writes root's 0666 file there", 01777, false, 0666, kNobody, false},
        {"root writes, in a sticky folder its group may write", 01770, true, 0600, 0, false},
        {"root writes, in a folder that is not sticky", 0777, false, 0600, 0, true},
    };
    enum class TWay { Replace, Append, HeaderAppend };
    for (const auto &c : cases)
        for (const auto way : {TWay::Replace, TWay::Append, TWay::HeaderAppend}) {
            SCOPED_TRACE(std::string(c.what) + (way == TWay::Replace  ? ", replaced"
                                                : way == TWay::Append ? ", appended"
                                                                      : ", appended with a header"));
            fs::remove(log);
            Write(data, "root's data");
            ASSERT_EQ(::chmod(data.c_str(), c.dataMode), 0);
            ASSERT_TRUE(
                MakeShared(0, c.folderMode, c.groupShared ? std::optional<gid_t>(kGroup) : std::nullopt));
            ASSERT_EQ(::link(data.c_str(), log.c_str()), 0);
            const ino_t ino = StatOf(data).st_ino;

            auto write = [&] {
                const auto err =
                    way == TWay::Replace  ? WriteWholeFile(log.string(), "log", TFileWriteMode::Replace)
                    : way == TWay::Append ? WriteWholeFile(log.string(), "log", TFileWriteMode::Append)
                                          : AppendWholeFile(log.string(), "header", "log");
                if (c.written) {
                    EXPECT_FALSE(err);
                } else {
                    EXPECT_TRUE(err);
                    if (err) {
                        EXPECT_EQ(err->Step, TFileWriteStep::Create);
                        EXPECT_EQ(err->Errno, EACCES);
                    }
                }
                return true;
            };
            if (c.writer == 0)
                write();
            else
                EXPECT_TRUE(AsUser(c.writer, write));
            const std::string expected = !c.written             ? "root's data"
                                         : way == TWay::Replace ? "log"
                                                                : "root's datalog";
            EXPECT_EQ(Read(data), expected);
            EXPECT_EQ(Read(log), expected);
            EXPECT_EQ(StatOf(log).st_ino, ino);
            EXPECT_EQ(StatOf(data).st_nlink, 2u);
            EXPECT_EQ(ModeOf(data), c.dataMode);
            EXPECT_EQ(std::distance(fs::directory_iterator(Shared), {}), 1);
        }
}

TEST_F(StickyFolder, AnotherUsersObjectThatTakesTheNameOfTheReplacedFileIsLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can place a file owned by another user";
    ASSERT_TRUE(MakeShared(0, 01777));
    const auto log = Shared / "root.log";
    const auto target = Dir / "root.data";
    for (const bool unnamed : {true, false})
        for (const auto kind : {TKind::File, TKind::Fifo, TKind::Link}) {
            SCOPED_TRACE(std::string(unnamed ? "unnamed until complete" : "under a temporary name") +
                         (kind == TKind::File   ? ", a file"
                          : kind == TKind::Fifo ? ", a FIFO"
                                                : ", a link to root's file") +
                         " takes the name");
            fs::remove(log);
            Write(log, "root's old log");
            Write(target, "root's data");
            std::optional<TNoUnnamedFiles> named;
            if (!unnamed)
                named.emplace();
            // Root's own file goes (a clean-up, a rotation) just before its
            // replacement takes its place, and another user takes the name.
            bool taken = false;
            SysCallWatch().PutInPlace = [&](const std::string &op, const std::string &to) {
                if (to == log.string() && (op == "renameat" || op == "renameat2") && !taken) {
                    fs::remove(log);
                    taken = MakeAs(kNobody, log, kind, {}, target);
                }
                return 0;
            };
            const auto err = WriteWholeFile(log.string(), std::string(100000, 'r'), TFileWriteMode::Replace);
            SysCallWatch().PutInPlace = nullptr;
            ASSERT_TRUE(taken);
            EXPECT_TRUE(err);
            if (err) {
                EXPECT_EQ(err->Step, TFileWriteStep::Create);
                EXPECT_EQ(err->Errno, EACCES);
            }
            const struct stat st = StatOf(log);
            EXPECT_EQ(st.st_uid, kNobody);
            if (kind == TKind::Link) {
                EXPECT_TRUE(S_ISLNK(st.st_mode));
                EXPECT_EQ(fs::read_symlink(log), target);
            } else {
                EXPECT_EQ(kind == TKind::Fifo, S_ISFIFO(st.st_mode));
                EXPECT_EQ(st.st_mode & 07777, 0666u);
            }
            if (kind == TKind::File) {
                EXPECT_TRUE(Read(log) == "theirs") << "the file holds " << Read(log).size() << " bytes";
            }
            EXPECT_EQ(Read(target), "root's data");
            EXPECT_EQ(std::distance(fs::directory_iterator(Shared), {}), 1);
        }

    // The name cannot be given back: the other user's file is kept where
    // it came out, and the error says so.
    fs::remove(log);
    Write(log, "root's old log");
    int puts = 0;
    SysCallWatch().PutInPlace = [&](const std::string &op, const std::string &to) {
        if (to != log.string() || op != "renameat2")
            return 0;
        if (++puts == 1) {
            fs::remove(log);
            EXPECT_TRUE(MakeAs(kNobody, log, TKind::File));
        }
        return puts == 2 ? EIO : 0;
    };
    const auto err = WriteWholeFile(log.string(), "root's log", TFileWriteMode::Replace);
    SysCallWatch().PutInPlace = nullptr;
    ASSERT_TRUE(err);
    EXPECT_EQ(err->Step, TFileWriteStep::Create);
    EXPECT_EQ(err->Note, TFileWriteNote::NotPutBack);
    EXPECT_EQ(Read(log), "root's log");
    std::vector<fs::path> theirs;
    for (const auto &e : fs::directory_iterator(Shared))
        if (e.path() != log)
            theirs.push_back(e.path());
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_EQ(StatOf(theirs[0]).st_uid, kNobody);
    EXPECT_EQ(Read(theirs[0]), "theirs");
}

} // namespace
