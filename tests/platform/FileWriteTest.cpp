#include "platform/FileWrite.h"

#include <cerrno>
#include <latch>
#include <thread>

#include "tests/platform/FileSizeLimit.h"
#include "tests/platform/FileWriteFixture.h"

namespace {

TEST_F(FileWrite, AReplacedFileKeepsItsModeAndTheLinkThatNamesIt) {
    const auto real = Dir / "real.log";
    const auto link = Dir / "link.log";
    Write(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0604), 0);
    fs::create_symlink("real.log", link);
    const auto err = WriteOnFullDisk(link);
    EXPECT_TRUE(err);
    EXPECT_EQ(Read(real), "old");
    EXPECT_FALSE(WriteWholeFile(link.string(), "new", TFileWriteMode::Replace));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real), "new");
    EXPECT_EQ(ModeOf(real), 0604u);

    // A new file gets the mode a plain open gives it.
    const mode_t mask = ::umask(027);
    const auto fresh = Dir / "new.log";
    EXPECT_FALSE(WriteWholeFile(fresh.string(), "x", TFileWriteMode::Replace));
    ::umask(mask);
    EXPECT_EQ(ModeOf(fresh), 0640u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.log", "new.log", "real.log"}));
}

TEST_F(FileWrite, AFileThatCannotBeRenamedOverIsWrittenInPlaceAndPutBackOnFailure) {
    const auto file = Dir / "f.log";
    const std::string old(500, 'o');
    struct Case {
        const char *what;
        bool needsNonRoot; // root may create files in any folder
        std::function<void()> arrange;
    };
    const Case cases[] = {
        // Every name of the file sees the new content.
        {"a file with a second name", false, [&] { fs::create_hard_link(file, Dir / "second.log"); }},
        {"a folder that takes no new file", true,
         [&] { fs::permissions(Dir, fs::perms::owner_write, fs::perm_options::remove); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add);
        EmptyDir();
        Write(file, old);
        c.arrange();
        const auto names = Names();

        auto writeTwice = [&] {
            const auto err = WriteOnFullDisk(file);
            EXPECT_TRUE(err);
            if (!err)
                return false;
            EXPECT_EQ(err->Step, TFileWriteStep::Write);
            EXPECT_EQ(err->Errno, EFBIG);
            EXPECT_EQ(Read(file), old);
            EXPECT_EQ(Names(), names);

            EXPECT_FALSE(WriteWholeFile(file.string(), "new", TFileWriteMode::Replace));
            for (const auto &name : names)
                EXPECT_EQ(Read(Dir / name), "new") << name;
            return true;
        };
        if (c.needsNonRoot && ::geteuid() == 0) {
            // The folder is root's: another user may write the file but not add one.
            ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
            EXPECT_TRUE(AsUser(kNobody, writeTwice));
        } else {
            writeTwice();
        }
    }
}

TEST_F(FileWrite, AFileTheUserMayNotWriteStaysRefused) {
    // The folder would take a replacement; the file itself is read-only.
    const auto folder = Dir / "own";
    const auto file = folder / "ro.log";
    fs::create_directory(folder);
    Write(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const uid_t user = ::geteuid() == 0 ? kNobody : ::geteuid();
    ASSERT_EQ(::chown(folder.c_str(), user, static_cast<gid_t>(-1)), 0);
    ASSERT_EQ(::chown(file.c_str(), user, static_cast<gid_t>(-1)), 0);
    auto tryWrites = [&] {
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            const auto err = WriteWholeFile(file.string(), "new", mode);
            EXPECT_TRUE(err);
            if (!err)
                return false;
            EXPECT_EQ(err->Step, TFileWriteStep::Create);
            EXPECT_EQ(err->Errno, EACCES);
            EXPECT_EQ(Read(file), "old");
        }
        return true;
    };
    // Root may write any file: the check runs as another user.
    if (::geteuid() == 0)
        EXPECT_TRUE(AsUser(kNobody, tryWrites));
    else
        tryWrites();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
}

TEST_F(FileWrite, ADeviceIsWrittenAsAStreamNotReplaced) {
    for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
        EXPECT_FALSE(WriteWholeFile("/dev/null", "bytes", mode));
        struct stat st {};
        ASSERT_EQ(::stat("/dev/null", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
}

TEST_F(FileWrite, AFailedInPlaceWritePutsBackEveryOldByteOrSaysItCouldNot) {
    const auto file = Dir / "f.log";
    struct Case {
        const char *what;
        size_t oldSize, newSize;
        int failedSync;    // the file's sync that fails (1: the first); 0: the disk fills during the write
        bool putBackFails; // every write after that fails too
    };
    const Case cases[] = {
        {"shorter content, the sync fails", 5000, 100, 1, false},
        {"shorter content, the sync after the cut fails", 5000, 100, 2, false},
        {"longer content, the sync fails", 5000, 8000, 1, false},
        {"empty content, the sync fails", 5000, 0, 1, false},
        {"longer content, the disk fills", 5000, 9000, 0, false},
        {"shorter content, the sync fails and so does the putting back", 5000, 100, 1, true},
        {"longer content, the disk fills and the putting back fails", 5000, 9000, 0, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EmptyDir();
        std::string old(c.oldSize, '\0');
        for (size_t i = 0; i < old.size(); ++i)
            old[i] = static_cast<char>(1 + i * 7 % 251);
        Write(file, old);
        fs::create_hard_link(file, Dir / "second.log");
        const ino_t ino = StatOf(file).st_ino;
        auto ours = [&](int fd) {
            struct stat st {};
            return ::fstat(fd, &st) == 0 && st.st_ino == ino;
        };
        int syncs = 0;
        bool failed = false;
        SysCallWatch().Fsync = [&](int fd) {
            if (!ours(fd) || failed || ++syncs != c.failedSync)
                return 0;
            failed = true;
            return EIO;
        };
        SysCallWatch().Write = [&](int fd) {
            const bool putBack = failed;
            // The disk is full once the file reached the limit.
            if (c.failedSync == 0 && ours(fd) && !failed)
                failed = ::lseek(fd, 0, SEEK_END) >= 6000;
            return c.putBackFails && putBack && ours(fd) ? EIO : 0;
        };
        std::optional<TFileWriteError> err;
        {
            TFileSizeLimit full(c.failedSync ? RLIM_INFINITY : 6000);
            err = WriteWholeFile(file.string(), std::string(c.newSize, 'n'), TFileWriteMode::Replace);
        }
        SysCallWatch().Fsync = nullptr;
        SysCallWatch().Write = nullptr;
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, c.failedSync ? EIO : EFBIG);
        EXPECT_TRUE(failed);
        if (c.putBackFails) {
            EXPECT_EQ(err->Note, TFileWriteNote::NotPutBack);
            EXPECT_FALSE(FileWriteNoteText(err->Note).empty());
        } else {
            EXPECT_EQ(err->Note, TFileWriteNote::None);
            EXPECT_TRUE(Read(file) == old)
                << "the file holds " << Read(file).size() << " bytes, not the old ones";
        }
        EXPECT_EQ(StatOf(file).st_ino, ino);
        EXPECT_EQ(Names(), (std::vector<std::string>{"f.log", "second.log"}));
    }
}

TEST_F(FileWrite, AFileWhoseOldContentCannotBeKeptIsNotWrittenInPlace) {
    const auto file = Dir / "f.log";
    struct Case {
        const char *what;
        mode_t mode;
        off_t size; // a sparse file of that size
        int err;
        bool noMemory = false; // no memory to hold it
    };
    const Case cases[] = {
        // Its owner may write it but not read it back.
        {"a write-only file", 0200, 5000, EACCES},
        {"a file too large to hold", 0600, off_t{300} << 20, EFBIG},
        {"a file that finds no memory to hold it", 0600, 5000, ENOMEM, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EmptyDir();
        Write(file, "old");
        ASSERT_EQ(::truncate(file.c_str(), c.size), 0);
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        // A second name: the file must be written in place.
        fs::create_hard_link(file, Dir / "second.log");
        const uid_t user = ::geteuid() == 0 && c.mode == 0200 ? kNobody : ::geteuid();
        ASSERT_EQ(::chown(file.c_str(), user, user == ::geteuid() ? ::getegid() : user), 0);
        auto tryWrite = [&] {
            std::optional<TNoMemory> noMemory;
            if (c.noMemory)
                noMemory.emplace(static_cast<size_t>(c.size));
            const auto err = WriteOnFullDisk(file);
            noMemory.reset();
            EXPECT_TRUE(err);
            if (!err)
                return false;
            EXPECT_EQ(err->Step, TFileWriteStep::Create);
            EXPECT_EQ(err->Errno, c.err);
            EXPECT_EQ(err->Note, TFileWriteNote::OldContentNotKept);
            return true;
        };
        // Root may read any file: the write-only one is tried as its owner.
        if (user != ::geteuid())
            EXPECT_TRUE(AsUser(user, tryWrite));
        else
            tryWrite();
        ::chmod(file.c_str(), 0600);
        EXPECT_EQ(StatOf(file).st_size, c.size);
        std::ifstream in(file, std::ios::binary);
        std::string start(3, '\0');
        in.read(start.data(), 3);
        EXPECT_EQ(start, "old");
        EXPECT_EQ(Names(), (std::vector<std::string>{"f.log", "second.log"}));
    }
}

TEST_F(FileWrite, AReplacementKeepsTheAttributesAndAclOrTheFileIsWrittenInPlace) {
    const fs::path folder = XattrFolder();
    const auto file = folder / "f.bin";
    const std::string binary("\0\x01\xFF", 3);
    for (const bool copyRefused : {false, true}) {
        SCOPED_TRACE(copyRefused ? "the attributes cannot be copied" : "the attributes are copied");
        fs::remove(file);
        Write(file, "old");
        ASSERT_TRUE(SetXattr(file, "user.note", "keep me"));
        ASSERT_TRUE(SetXattr(file, "user.binary", binary));
        ASSERT_TRUE(SetXattr(file, "system.posix_acl_access", FileAcl()));
        const auto acl = Xattr(file, "system.posix_acl_access");
        const mode_t mode = ModeOf(file);
        const ino_t ino = StatOf(file).st_ino;
        if (copyRefused)
            SysCallWatch().Fsetxattr = [](const char *) { return EPERM; };
        EXPECT_FALSE(WriteWholeFile(file.string(), "new", TFileWriteMode::Replace));
        SysCallWatch().Fsetxattr = nullptr;
        EXPECT_EQ(Read(file), "new");
        EXPECT_EQ(Xattr(file, "user.note"), "keep me");
        EXPECT_EQ(Xattr(file, "user.binary"), binary);
        EXPECT_EQ(Xattr(file, "system.posix_acl_access"), acl);
        EXPECT_EQ(ModeOf(file), mode);
        if (copyRefused) {
            EXPECT_EQ(StatOf(file).st_ino, ino);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    }

    // A new file under a default ACL gets what a plain open gives it: the
    // umask plays no part, and the private temporary file leaves no trace.
    const auto acls = folder / "acls";
    fs::create_directory(acls);
    ASSERT_TRUE(SetXattr(
        acls, "system.posix_acl_default",
        Acl({{0x01, 7, kNoId}, {0x02, 5, kNobody}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 5, kNoId}})));
    TUmask mask(077);
    const auto plain = acls / "plain.log";
    const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const auto fresh = acls / "fresh.log";
    EXPECT_FALSE(WriteWholeFile(fresh.string(), "x", TFileWriteMode::Replace));
    EXPECT_EQ(ModeOf(fresh), ModeOf(plain));
    EXPECT_EQ(ModeOf(fresh), 0664u);
    EXPECT_EQ(Xattr(fresh, "system.posix_acl_access"), Xattr(plain, "system.posix_acl_access"));
}

TEST_F(FileWrite, ALinkIsFollowedOnlyWhereTheKernelWouldLetAnOpenFollowIt) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can place a link owned by another user";
    struct Case {
        const char *what;
        mode_t folderMode;
        uid_t folderOwner, linkOwner;
        bool throughFolder; // the link names a folder in the middle of the name
        bool followed;
    };
    const Case cases[] = {
        {"another user's link in a sticky world-writable folder", 01777, 0, kNobody, false, false},
        {"another user's link to a folder there", 01777, 0, kNobody, true, false},
        {"the user's own link there", 01777, 0, 0, false, true},
        {"a link owned by the folder's owner", 01777, kNobody, kNobody, false, true},
        {"another user's link in a folder that is not sticky", 0777, 0, kNobody, false, true},
        {"another user's link to a folder in a folder that is not sticky", 0777, 0, kNobody, true, true},
    };
    const auto inner = Dir / "inner";
    const auto target = inner / "secret.log";
    const auto shared = Dir / "shared";
    for (const auto &c : cases)
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            SCOPED_TRACE(std::string(c.what) +
                         (mode == TFileWriteMode::Append ? ", appended" : ", replaced"));
            fs::remove_all(inner);
            fs::remove_all(shared);
            fs::create_directories(inner);
            Write(target, "root's own");
            ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
            fs::create_directory(shared);
            ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
            ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
            const auto link = shared / "link";
            const fs::path pointsAt = c.throughFolder ? inner : target;
            ASSERT_TRUE(AsUser(c.linkOwner, [&] { return ::symlink(pointsAt.c_str(), link.c_str()) == 0; }));
            ASSERT_EQ(StatOf(link).st_uid, c.linkOwner);
            const fs::path name = c.throughFolder ? link / "secret.log" : link;

            const auto err = WriteWholeFile(name.string(), "written", mode);
            EXPECT_TRUE(fs::is_symlink(link));
            EXPECT_EQ(ModeOf(target), 0600u);
            if (c.followed) {
                EXPECT_FALSE(err);
                EXPECT_EQ(Read(target), mode == TFileWriteMode::Append ? "root's ownwritten" : "written");
            } else {
                ASSERT_TRUE(err);
                EXPECT_EQ(err->Step, TFileWriteStep::Create);
                EXPECT_EQ(err->Errno, EACCES);
                EXPECT_EQ(Read(target), "root's own");
                EXPECT_EQ(std::distance(fs::directory_iterator(shared), {}), 1);
                EXPECT_EQ(std::distance(fs::directory_iterator(inner), {}), 1);
            }
        }
}

TEST_F(FileWrite, AReplacementTakesOnlyThePlaceOfTheFileItWasMadeFor) {
    const auto file = Dir / "f.log";
    struct Case {
        const char *what;
        bool gone;       // the file goes just before its replacement takes its place
        bool another;    // ... and another takes its name
        int exchangeErr; // a file system that cannot exchange two names
        mode_t mode;     // the file's at the end
    };
    const Case cases[] = {
        // A new file now: the mode a plain open gives it, not the old one's.
        {"the file is gone", true, false, 0, 0644},
        // Written as the file that is there now, not as the one that went.
        {"another file took its name", true, true, 0, 0640},
        {"a file system without the exchange", false, false, EINVAL, 0600},
    };
    for (const auto &c : cases)
        for (const bool unnamed : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (unnamed ? "" : ", without unnamed files"));
            EmptyDir();
            Write(file, "old");
            ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
            std::optional<TNoUnnamedFiles> named;
            if (!unnamed)
                named.emplace();
            std::vector<std::string> puts;
            SysCallWatch().PutInPlace = [&](const std::string &op, const std::string &to) {
                if (to != file.string())
                    return 0;
                if (puts.empty() && c.gone) {
                    fs::remove(file);
                    if (c.another) {
                        Write(file, "another's");
                        EXPECT_EQ(::chmod(file.c_str(), 0640), 0);
                    }
                }
                puts.push_back(op);
                return op == "renameat2" ? c.exchangeErr : 0;
            };
            const TUmask mask(022);
            EXPECT_FALSE(WriteWholeFile(file.string(), "new", TFileWriteMode::Replace));
            SysCallWatch().PutInPlace = nullptr;
            EXPECT_EQ(Read(file), "new");
            EXPECT_EQ(ModeOf(file), c.mode);
            EXPECT_EQ(Names(), std::vector<std::string>{"f.log"});
            if (c.exchangeErr) {
                EXPECT_EQ(puts, (std::vector<std::string>{"renameat2", "renameat"}));
            }
        }
}

TEST_F(FileWrite, ANewFileNeverReplacesOneThatAppearedMeanwhile) {
    const auto file = Dir / "new.log";
    struct Case {
        const char *what;
        TFileWriteMode mode;
        bool appears;
        int renameErr, linkErr; // a file system without the call; either: without unnamed files too
    };
    const Case cases[] = {
        {"appended", TFileWriteMode::Append, true, 0, 0},
        {"replaced", TFileWriteMode::Replace, true, 0, 0},
        {"appended, renamed into place", TFileWriteMode::Append, true, ENOTSUP, 0},
        {"appended, linked into place", TFileWriteMode::Append, true, EINVAL, 0},
        {"appended, created directly", TFileWriteMode::Append, true, EINVAL, EPERM},
        {"replaced, linked into place", TFileWriteMode::Replace, true, EINVAL, 0},
        {"nothing appears, linked into place", TFileWriteMode::Replace, false, EINVAL, 0},
        {"nothing appears, created directly", TFileWriteMode::Replace, false, EINVAL, EPERM},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        std::optional<TNoUnnamedFiles> named;
        if (c.renameErr || c.linkErr)
            named.emplace();
        bool appeared = false;
        SysCallWatch().PutInPlace = [&](const std::string &op, const std::string &to) {
            if (to != file.string())
                return 0;
            if (c.appears && !appeared) {
                appeared = true;
                Write(file, "theirs\n");
            }
            if (op == "renameat2")
                return c.renameErr == ENOTSUP ? 0 : c.renameErr;
            return op == "linkat" ? c.linkErr : 0;
        };
        const TUmask mask(022);
        EXPECT_FALSE(WriteWholeFile(file.string(), "ours\n", c.mode));
        SysCallWatch().PutInPlace = nullptr;
        EXPECT_EQ(appeared, c.appears);
        EXPECT_EQ(Read(file), c.mode == TFileWriteMode::Append ? "theirs\nours\n" : "ours\n");
        EXPECT_EQ(ModeOf(file), 0644u);
        EXPECT_EQ(StatOf(file).st_nlink, 1u);
        EXPECT_EQ(Names(), std::vector<std::string>{"new.log"});
    }
}

TEST_F(FileWrite, ANewFileThatCannotBeWrittenLeavesNothingBehind) {
    const auto file = Dir / "new.log";
    struct Case {
        const char *what;
        bool unnamed;
        int renameErr, linkErr;
    };
    const Case cases[] = {
        {"unnamed until complete", true, 0, 0},
        {"under a temporary name, renamed", false, 0, 0},
        {"under a temporary name, linked", false, EINVAL, 0},
        // Neither a rename that refuses to replace nor a link: the file is
        // written under its own name, which must go again.
        {"under its own name", false, EINVAL, EPERM},
    };
    for (const auto &c : cases)
        for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
            SCOPED_TRACE(std::string(c.what) +
                         (mode == TFileWriteMode::Append ? ", appended" : ", replaced"));
            std::optional<TNoUnnamedFiles> named;
            if (!c.unnamed)
                named.emplace();
            SysCallWatch().PutInPlace = [&](const std::string &op, const std::string &to) {
                if (to != file.string())
                    return 0;
                return op == "renameat2" ? c.renameErr : op == "linkat" ? c.linkErr : 0;
            };
            // The content does not reach the disk: that of the file made
            // under its own name, or else that of the file made beside it.
            const bool direct = c.linkErr != 0;
            const ino_t folder = StatOf(Dir).st_ino;
            SysCallWatch().Fsync = [&](int fd) {
                struct stat st {
                }, named{};
                if (::fstat(fd, &st) != 0 || st.st_ino == folder)
                    return 0;
                const bool isFile = ::stat(file.c_str(), &named) == 0 && named.st_ino == st.st_ino;
                return isFile == direct ? EIO : 0;
            };
            const auto err = WriteWholeFile(file.string(), std::string(3000, 'n'), mode);
            SysCallWatch().PutInPlace = nullptr;
            SysCallWatch().Fsync = nullptr;
            ASSERT_TRUE(err);
            EXPECT_EQ(err->Step, TFileWriteStep::Write);
            EXPECT_EQ(err->Errno, EIO);
            EXPECT_EQ(Names(), std::vector<std::string>{});
        }
}

TEST_F(FileWrite, TwoWritersAppendingToAMissingLogBothKeepTheirLines) {
    const auto log = Dir / "shared.log";
    SysCallWatch().Reset();
    int lost = 0;
    for (int round = 0; round < 100; ++round) {
        fs::remove(log);
        std::latch start(2);
        std::optional<TFileWriteError> errs[2];
        auto writer = [&](int who) {
            start.arrive_and_wait();
            errs[who] = WriteWholeFile(log.string(), who ? "B\n" : "A\n", TFileWriteMode::Append);
        };
        std::thread a(writer, 0), b(writer, 1);
        a.join();
        b.join();
        EXPECT_FALSE(errs[0]);
        EXPECT_FALSE(errs[1]);
        const std::string text = Read(log);
        if (text != "A\nB\n" && text != "B\nA\n")
            ++lost;
    }
    EXPECT_EQ(lost, 0) << "rounds that lost a writer's line";
    EXPECT_EQ(Names(), std::vector<std::string>{"shared.log"});
}

} // namespace
