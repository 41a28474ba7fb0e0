#include "platform/FileWrite.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/platform/FileSizeLimit.h"

namespace fs = std::filesystem;

namespace {

struct FileWrite : ::testing::Test {
    fs::path Dir;
    FileWrite() {
        Dir = fs::temp_directory_path() / ("pelmor-filewrite-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    ~FileWrite() override {
        std::error_code ec;
        fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(Dir, ec);
    }
    static std::string Read(const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(const fs::path &p, const std::string &text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(Dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static mode_t ModeOf(const fs::path &p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
};

TEST_F(FileWrite, AReplacedFileKeepsItsModeAndTheLinkThatNamesIt) {
    const auto real = Dir / "real.log";
    const auto link = Dir / "link.log";
    Write(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0604), 0);
    fs::create_symlink("real.log", link);
    std::optional<TFileWriteError> err;
    {
        TFileSizeLimit full(1024);
        err = WriteWholeFile(link.string(), std::string(3000, 'n'), TFileWriteMode::Replace);
    }
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
        if (c.needsNonRoot && ::geteuid() == 0) {
            std::cout << "skipped as root: " << c.what << "\n";
            continue;
        }
        fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add);
        for (const auto &e : fs::directory_iterator(Dir))
            fs::remove(e.path());
        Write(file, old);
        c.arrange();
        const auto names = Names();

        std::optional<TFileWriteError> err;
        {
            TFileSizeLimit full(1024);
            err = WriteWholeFile(file.string(), std::string(3000, 'n'), TFileWriteMode::Replace);
        }
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, EFBIG);
        EXPECT_EQ(Read(file), old);
        EXPECT_EQ(Names(), names);

        EXPECT_FALSE(WriteWholeFile(file.string(), "new", TFileWriteMode::Replace));
        for (const auto &name : names)
            EXPECT_EQ(Read(Dir / name), "new") << name;
    }
}

TEST_F(FileWrite, AFileTheUserMayNotWriteStaysRefused) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    const auto file = Dir / "ro.log";
    Write(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
        const auto err = WriteWholeFile(file.string(), "new", mode);
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Create);
        EXPECT_EQ(err->Errno, EACCES);
        EXPECT_EQ(Read(file), "old");
    }
}

TEST_F(FileWrite, ADeviceIsWrittenAsAStreamNotReplaced) {
    for (const auto mode : {TFileWriteMode::Replace, TFileWriteMode::Append}) {
        EXPECT_FALSE(WriteWholeFile("/dev/null", "bytes", mode));
        struct stat st {};
        ASSERT_EQ(::stat("/dev/null", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
}

} // namespace
