// No moment of a write opens the file wider than the private file it starts
// as or the file it ends as, whatever its ACL or its folder's default ACL; and
// a writer killed meanwhile leaves nothing behind.
#include "platform/FileWrite.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>

#include "tests/platform/FileWriteFixture.h"

namespace {

TEST_F(FileWrite, NoMomentOfAWriteIsMoreOpenThanThePrivateFileOrTheFinalOne) {
    const fs::path base = XattrFolder();
    const bool root = ::geteuid() == 0;
    const uid_t other = root ? kNobody : ::geteuid();
    struct TOld {
        mode_t mode;
        uid_t uid;
        gid_t gid;
        std::optional<std::string> acl;
    };
    // user::rw- user:1000:rw- group::--- mask::rw- other::---: the group is kept out.
    const std::string groupKeptOut =
        Acl({{0x01, 6, kNoId}, {0x02, 6, 1000}, {0x04, 0, kNoId}, {0x10, 6, kNoId}, {0x20, 0, kNoId}});
    // user::rw- group::r-- mask::r-- other::---: nobody has no entry.
    const std::string noNobody =
        Acl({{0x01, 6, kNoId}, {0x04, 4, kNoId}, {0x10, 4, kNoId}, {0x20, 0, kNoId}});
    // user::rwx user:nobody:r-x group::r-x mask::rwx other::---
    const std::string inherited =
        Acl({{0x01, 7, kNoId}, {0x02, 5, kNobody}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 0, kNoId}});
    struct Case {
        const char *what;
        std::optional<std::string> folderDefault;
        std::optional<TOld> old; // none: a new file
        TFileWriteMode mode;
        mode_t mask;
        mode_t newMode; // a new file's
    };
    const Case cases[] = {
        {"a private file replaced", std::nullopt, TOld{0600, ::geteuid(), ::getegid(), {}},
         TFileWriteMode::Replace, 022, 0},
        {"another user's readable file replaced", std::nullopt, TOld{0644, other, other, {}},
         TFileWriteMode::Replace, 022, 0},
        {"a file whose ACL keeps its group out", std::nullopt, TOld{0660, ::geteuid(), 65534, groupKeptOut},
         TFileWriteMode::Replace, 022, 0},
        {"a file without ACL under a folder's default ACL", inherited,
         TOld{0640, ::geteuid(), ::getegid(), {}}, TFileWriteMode::Replace, 022, 0},
        {"a file with its own ACL under a folder's default ACL", inherited,
         TOld{0640, ::geteuid(), ::getegid(), noNobody}, TFileWriteMode::Replace, 022, 0},
        {"a new file", std::nullopt, std::nullopt, TFileWriteMode::Replace, 022, 0644},
        {"a new file appended to", std::nullopt, std::nullopt, TFileWriteMode::Append, 027, 0640},
        {"a new file under a folder's default ACL", inherited, std::nullopt, TFileWriteMode::Replace, 077,
         0660},
    };
    const auto folder = base / "w";
    const auto file = folder / "f.log";
    for (const auto &c : cases)
        for (const bool unnamed : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (unnamed ? "" : ", without unnamed files"));
            fs::remove_all(folder);
            fs::create_directory(folder);
            if (c.folderDefault) {
                ASSERT_TRUE(SetXattr(folder, "system.posix_acl_default", *c.folderDefault));
            }
            if (c.old) {
                Write(file, "old");
                ASSERT_EQ(::chown(file.c_str(), c.old->uid, c.old->gid), 0);
                ASSERT_EQ(::chmod(file.c_str(), c.old->mode), 0);
                ::removexattr(file.c_str(), "system.posix_acl_access");
                if (c.old->acl) {
                    ASSERT_TRUE(SetXattr(file, "system.posix_acl_access", *c.old->acl));
                }
            }
            const auto oldAcl = c.old ? Xattr(file, "system.posix_acl_access") : std::nullopt;
            std::optional<TNoUnnamedFiles> named;
            if (!unnamed)
                named.emplace();
            SysCallWatch().Watch(folder.string() + "/");
            SysCallWatch().Taken();
            {
                TUmask mask(c.mask);
                ASSERT_FALSE(WriteWholeFile(file.string(), "new content", c.mode));
            }
            const auto calls = SysCallWatch().Taken();
            const struct stat final = StatOf(file);
            const auto finalAcl = Xattr(file, "system.posix_acl_access");
            const TAccess finalAccess = AccessOf(final.st_mode, final.st_uid, final.st_gid, finalAcl);
            const TAccess nobodyElse{{"other", 0}};

            size_t lastWrite = 0, sync = 0, put = 0, folderSync = 0;
            for (size_t i = 0; i < calls.size(); ++i) {
                const auto &call = calls[i];
                SCOPED_TRACE(call.Op + " #" + std::to_string(i) + " on " + call.Path);
                if (call.Op == "fsync" && SysCallWatch().On(call, folder.string()))
                    folderSync = i + 1;
                // The new content's file is the one that ends under the name.
                if (call.Ino != final.st_ino)
                    continue;
                const TAccess now = AccessOf(call.Mode, call.Uid, call.Gid, call.Acl);
                if (call.Named) {
                    EXPECT_EQ(Wider(now, finalAccess), "");
                    if (call.Op == "write") {
                        EXPECT_EQ(Wider(now, nobodyElse), "") << "open while the content goes in";
                    }
                }
                if (call.Op == "write") {
                    lastWrite = i + 1;
                    EXPECT_EQ(call.Named, !unnamed);
                } else if (call.Op == "fsync") {
                    sync = i + 1;
                } else if (call.To == file.string() && !put) {
                    put = i + 1;
                    EXPECT_EQ(call.Mode, final.st_mode & 07777);
                    EXPECT_EQ(call.Uid, final.st_uid);
                    EXPECT_EQ(call.Acl, finalAcl);
                }
            }
            EXPECT_GT(lastWrite, 0u);
            EXPECT_GT(sync, lastWrite);
            EXPECT_GT(put, sync);
            EXPECT_GT(folderSync, put) << "the folder reaches the disk after the name changed";
            EXPECT_EQ(Read(file), "new content");
            if (c.old) {
                EXPECT_EQ(final.st_mode & 07777, c.old->mode);
                EXPECT_EQ(final.st_uid, c.old->uid);
                EXPECT_EQ(final.st_gid, c.old->gid);
                EXPECT_EQ(finalAcl, oldAcl);
            } else {
                EXPECT_EQ(final.st_mode & 07777, c.newMode);
            }
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
        }
    // Another user reads what the final file lets them, and no more.
    if (root) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        ASSERT_TRUE(SetXattr(folder, "system.posix_acl_default", inherited));
        Write(file, "old");
        ::removexattr(file.c_str(), "system.posix_acl_access");
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        ASSERT_FALSE(WriteWholeFile(file.string(), "secret", TFileWriteMode::Replace));
        EXPECT_TRUE(AsUser(
            kNobody, [&] { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC) < 0 && errno == EACCES; }));
    }
}

TEST_F(FileWrite, AWriterKilledDuringTheWriteLeavesNothingBehind) {
    const auto file = Dir / "f.log";
    for (const bool exists : {true, false})
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            SCOPED_TRACE(std::string(exists ? "a file replaced" : "a new file") +
                         (mode == TFileWriteMode::Append ? ", appended" : ""));
            if (exists && mode == TFileWriteMode::Append)
                continue; // an append writes no other file
            fs::remove(file);
            if (exists)
                Write(file, "old");
            const pid_t pid = ::fork();
            if (pid == 0) {
                // Killed once all of the content is written, just before it
                // would reach the disk.
                SysCallWatch().Fsync = [](int) {
                    ::raise(SIGKILL);
                    return 0;
                };
                (void)WriteWholeFile(file.string(), std::string(1 << 20, 'n'), mode);
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            EXPECT_EQ(Names(), exists ? std::vector<std::string>{"f.log"} : std::vector<std::string>{});
            if (exists) {
                EXPECT_EQ(Read(file), "old");
            }
        }
}

} // namespace
