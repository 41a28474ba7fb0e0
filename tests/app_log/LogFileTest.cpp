#include "app/LogFile.h"

#include "LogFixture.h"
#include "platform/Errors.h"
#include "platform/EventQueue.h"
#include "protocol/ProgressReport.h"
#include "serial/Comm.h"
#include "state/LineFile.h"
#include "tests/platform/FileSizeLimit.h"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <optional>
#include <set>

using Kind = RecordingDialogs::Kind;
using LogFile = LogFixture;

TEST_F(LogFile, AutomaticNameNeedsMoreThanSixLines) {
    AddLines(6);
    EXPECT_TRUE(FormClose(ctx));
    EXPECT_TRUE(LogFolder().empty());

    form.InfoMemo.Add("> line 7");
    EXPECT_TRUE(FormClose(ctx));
    ASSERT_EQ(LogFolder(), (std::vector<std::string>{"VLT_2026_12_07_22_15_03.log"}));
    std::string expected;
    for (const auto &l : form.InfoMemo.Lines)
        expected += l + "\r\n";
    EXPECT_EQ(Read(dir / "Log" / "VLT_2026_12_07_22_15_03.log"), expected);
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(LogFile, AutomaticNameReplacesOnlyTheSeparatorsOfDateAndTime) {
    struct Case {
        const char *date, *time, *name;
    };
    const Case cases[] = {
        {"yyyy-mm-dd", "hh:nn:ss", "Log/VLT_2026_12_07_22_15_03"},
        {"dd/mm/yyyy", "hh:nn:ss", "Log/VLT_07_12_2026_22_15_03"},
        {"d.m.yyyy", "h:nn:ss \"PM\"", "Log/VLT_7.12.2026_22_15_03 PM"},
    };
    for (const auto &c : cases) {
        clock.ShortDateFormat = c.date;
        clock.LongTimeFormat = c.time;
        EXPECT_EQ(AutomaticLogName(clock), c.name) << c.date << " " << c.time;
    }
}

// The automatic name's log cannot be written: the box says which file and
// why, the close is refused with every port open and the panel kept; once
// the folder is mended the next close writes it and closes the ports.
TEST_F(LogFile, AnAutomaticLogThatCannotBeWrittenKeepsTheWindowAndItsChannels) {
    const auto log = dir / "Log";
    const auto file = log / "VLT_2026_12_07_22_15_03.log";
    auto remake = [&] {
        std::filesystem::remove_all(log);
        std::filesystem::create_directory(log);
    };
    struct Case {
        const char *what;
        int error;
        std::function<void()> spoil;
    };
    const Case cases[] = {
        {"Log is a file", ENOTDIR,
         [&] {
             std::filesystem::remove_all(log);
             Write(log, "not a folder\n");
         }},
        {"Log is gone", ENOENT, [&] { std::filesystem::remove_all(log); }},
        {"Log is a link to nowhere", ENOENT,
         [&] {
             std::filesystem::remove_all(log);
             std::filesystem::create_symlink(dir / "gone", log);
         }},
        // Planted by another process: opening it must not wait for a reader.
        {"the log's name is a pipe nobody reads", ENXIO, [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
    };
    AddLines(7);
    const std::vector<std::string> panel = form.InfoMemo.Lines;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TPumpQueue queue;
        int master[2], slave[2];
        TComm comm1(queue), comm3(queue);
        TComm *comms[] = {&comm1, &comm3};
        for (int i = 0; i < 2; ++i) {
            char name[128];
            ASSERT_EQ(::openpty(&master[i], &slave[i], name, nullptr, nullptr), 0);
            comms[i]->SetCommName(name);
            comms[i]->OpenPort();
            ASSERT_TRUE(comms[i]->IsOpen());
        }
        ctx.ChannelComm = {&comm1, nullptr, &comm3, nullptr};
        ctx.ChannelConnected = {1, 0, 1, 0};
        ctx.ChannelBusy = {0, 0, 1, 0};
        remake();
        c.spoil();
        dialogs.Calls.clear();

        EXPECT_FALSE(FormClose(ctx));
        EXPECT_EQ(dialogs.Calls.size(), 1u);
        EXPECT_EQ(dialogs.Texts(Kind::Message),
                  std::vector<std::string>{"Write Log File error!\n" + file.string() + "\n" +
                                           std::strerror(c.error)});
        EXPECT_TRUE(comm1.IsOpen());
        EXPECT_TRUE(comm3.IsOpen());
        EXPECT_EQ(ctx.ChannelConnected, (std::array<uint8_t, 4>{1, 0, 1, 0}));
        EXPECT_EQ(ctx.ChannelBusy, (std::array<uint8_t, 4>{0, 0, 1, 0}));
        EXPECT_EQ(form.InfoMemo.Lines, panel);

        remake();
        dialogs.Calls.clear();
        EXPECT_TRUE(FormClose(ctx));
        EXPECT_EQ(Read(file), form.InfoMemo.Text());
        EXPECT_TRUE(dialogs.Calls.empty());
        EXPECT_FALSE(comm1.IsOpen());
        EXPECT_FALSE(comm3.IsOpen());
        for (int i = 0; i < 2; ++i) {
            ::close(slave[i]);
            ::close(master[i]);
        }
    }
    ctx.ChannelComm = {};
}

// The 2000th result comes while the log at close is written and its error
// box is open: the result log waits, so that the close never waits for two
// writes, and is saved with the first result after the refused close.
TEST_F(LogFile, TheResultLogDueDuringTheLogAtCloseIsSavedAfterIt) {
    const auto log = dir / "Log";
    std::filesystem::remove_all(log);
    Write(log, "not a folder\n");
    AddLines(7);
    ctx.ResultsSinceLogSave = 1999;
    const std::filesystem::path resultLog = ResultLogPath(ctx.ProgramDir, clock.DateText(), clock.TimeText());
    std::vector<bool> savedDuringTheBox;
    dialogs.WhileOpen = [&](const RecordingDialogs::Call &) {
        CountResultAndLog(ctx);
        CountResultAndLog(ctx);
        savedDuringTheBox.push_back(std::filesystem::exists(resultLog));
    };
    EXPECT_FALSE(FormClose(ctx));
    EXPECT_EQ(savedDuringTheBox, std::vector<bool>{false});
    EXPECT_EQ(ctx.ResultsSinceLogSave, 2001u);
    dialogs.WhileOpen = nullptr;

    CountResultAndLog(ctx);
    ASSERT_TRUE(std::filesystem::exists(resultLog));
    EXPECT_EQ(ctx.ResultsSinceLogSave, 0u);
    EXPECT_NE(Read(resultLog).find(">---- Total OK Number is : 0, NG is 0 ----"), std::string::npos);
}

// A "Log" folder that its user may not write: as that user (root may write
// anywhere), the box gives the reason and the close is refused.
TEST_F(LogFile, AnAutomaticLogInAFolderTheUserMayNotWriteIsRefused) {
    constexpr uid_t kNobody = 65534;
    const auto file = dir / "Log" / "VLT_2026_12_07_22_15_03.log";
    std::filesystem::permissions(dir, std::filesystem::perms(0755));
    std::filesystem::permissions(dir / "Log", std::filesystem::perms(0555));
    AddLines(7);
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(answer[0]);
        const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
                                                  ::setuid(kNobody) == 0);
        std::string said = !dropped ? "no drop" : FormClose(ctx) ? "closed" : "refused";
        for (const auto &call : dialogs.Calls)
            said += "|" + call.text;
        const ssize_t n = ::write(answer[1], said.data(), said.size());
        ::_exit(n == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    ::close(answer[1]);
    std::string said;
    char buf[512];
    for (ssize_t n; (n = ::read(answer[0], buf, sizeof buf)) > 0;)
        said.append(buf, static_cast<size_t>(n));
    ::close(answer[0]);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(said, "refused|Write Log File error!\n" + file.string() + "\n" + std::strerror(EACCES));
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::permissions(dir / "Log", std::filesystem::perms(0755));
}

// The operator's log can only be written in place (it has a second name) and
// its old content cannot be read to put back (it is write-only): it is not
// written, and the error says why, not only the system's reason.
TEST_F(LogFile, AnOperatorsLogWhoseOldContentCannotBeKeptIsRefusedWithItsReason) {
    constexpr uid_t kNobody = 65534;
    const auto file = dir / "mine.log";
    { std::ofstream(file) << "old shift\r\n"; }
    std::filesystem::create_hard_link(file, dir / "mine-too.log");
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    std::filesystem::permissions(file, std::filesystem::perms(0200));
    std::filesystem::permissions(dir, std::filesystem::perms(0755));
    AddLines(3);
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    form.LogCfgForm.RadioGrpMod.ItemIndex = 1; // overwrite
    form.LogCfgForm.EditLogName.SetText(file.string());
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(answer[0]);
        std::string said = "no drop";
        if (::geteuid() != 0 ||
            (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)) {
            try {
                said = FormClose(ctx) ? "closed" : "refused";
            } catch (const EInOutError &e) {
                said = e.what();
            }
        }
        const ssize_t n = ::write(answer[1], said.data(), said.size());
        ::_exit(n == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    ::close(answer[1]);
    std::string said;
    char buf[512];
    for (ssize_t n; (n = ::read(answer[0], buf, sizeof buf)) > 0;)
        said.append(buf, static_cast<size_t>(n));
    ::close(answer[0]);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(said, "Cannot create file \"" + file.string() + "\". " + std::strerror(EACCES) + " " +
                        std::string(FileWriteNoteText(TFileWriteNote::OldContentNotKept)));
    std::filesystem::permissions(file, std::filesystem::perms(0600));
    EXPECT_EQ(Read(file), "old shift\r\n");
}

// Two programs append their panels to one log that does not exist yet: the
// header is written once, at its start, and both panels follow it whole.
TEST_F(LogFile, TwoAppendsToANewLogWriteTheHeaderOnceAtItsStart) {
    const auto file = dir / "shared.log";
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(file);
        auto a = std::async(std::launch::async, [&] { AppendLinesToFile(file.string(), {"A1", "A2"}); });
        auto b = std::async(std::launch::async, [&] { AppendLinesToFile(file.string(), {"B1", "B2"}); });
        a.get();
        b.get();
        const std::string text = Read(file);
        const std::string header = "Corvane Log File!\r\n";
        ASSERT_EQ(text.rfind(header, 0), 0u) << text;
        EXPECT_EQ(text.find(header, 1), std::string::npos) << text;
        EXPECT_TRUE(text.find("A1\r\nA2\r\n") != std::string::npos &&
                    text.find("B1\r\nB2\r\n") != std::string::npos)
            << text;
        EXPECT_EQ(text.size(), header.size() + 2 * 8) << text;
    }
}

TEST_F(LogFile, OperatorsFileByMode) {
    struct Case {
        const char *what;
        int mode;
        const char *before; // nullptr: no file yet
        int lines;
        const char *after;
    };
    const Case cases[] = {
        {"new file, one line", 0, nullptr, 1, "> line 1\r\n"},
        {"new file replaces", 0, "old\r\nolder\r\n", 2, "> line 1\r\n> line 2\r\n"},
        {"overwrite", 1, "old\r\n", 1, "> line 1\r\n"},
        {"append to a missing file", 2, nullptr, 2, "Corvane Log File!\r\n> line 1\r\n> line 2\r\n"},
        {"append to a file", 2, "old\r\n", 2, "old\r\n> line 1\r\n> line 2\r\n"},
        {"append an empty panel", 2, nullptr, 0, "Corvane Log File!\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / "mine.log";
        std::filesystem::remove(file);
        if (c.before)
            Write(file, c.before);
        form.InfoMemo.Clear();
        AddLines(c.lines);
        form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
        form.LogCfgForm.RadioGrpMod.ItemIndex = c.mode;
        form.LogCfgForm.EditLogName.SetText(file.string());
        EXPECT_TRUE(FormClose(ctx));
        EXPECT_EQ(Read(file), c.after);
    }
    EXPECT_TRUE(LogFolder().empty());
}

TEST_F(LogFile, AFailedWriteLeavesTheFileAsItWas) {
    // About 3.6 KB of panel on a disk that takes 1 KB per file.
    AddLines(300);
    const std::string old = "old line 1\r\nold line 2\r\n";
    const auto mine = dir / "mine.log";
    const auto automatic = dir / "Log" / "VLT_2026_12_07_22_15_03.log";
    auto closeWith = [&](int mode) {
        return [&, mode] {
            form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
            form.LogCfgForm.RadioGrpMod.ItemIndex = mode;
            form.LogCfgForm.EditLogName.SetText(mine.string());
            EXPECT_TRUE(FormClose(ctx));
        };
    };
    auto closeWithAutomaticName = [&] {
        form.LogCfgForm.RadioGrpCreat.ItemIndex = 0;
        EXPECT_FALSE(FormClose(ctx)); // refused: the window stays open
    };
    auto saveInfo = [&] {
        dialogs.FileAnswers = {mine.string()};
        SaveInfotoFile1Click(ctx);
    };
    struct Case {
        const char *what;
        std::filesystem::path file;
        bool existed;
        std::function<void()> save;
        bool boxInstead; // the automatic name's failure is shown, not thrown
    };
    const Case cases[] = {
        {"panel save over a file", mine, true, saveInfo, false},
        {"panel save to a new file", mine, false, saveInfo, false},
        {"log at close, new file mode over a file", mine, true, closeWith(0), false},
        {"log at close, overwrite", mine, true, closeWith(1), false},
        {"log at close, append", mine, true, closeWith(2), false},
        {"log at close, append to a missing file", mine, false, closeWith(2), false},
        {"log at close, automatic name", automatic, false, closeWithAutomaticName, true},
        {"log at close, automatic name of a file of the same second", automatic, true, closeWithAutomaticName,
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(mine);
        std::filesystem::remove(automatic);
        if (c.existed)
            Write(c.file, old);
        dialogs.Calls.clear();
        std::string error;
        {
            TFileSizeLimit full(1024);
            try {
                c.save();
            } catch (const EInOutError &e) {
                error = e.what();
            }
        }
        if (c.boxInstead) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(
                dialogs.Texts(Kind::Message),
                std::vector<std::string>{"Write Log File error!\n" + c.file.string() + "\nFile too large"});
        } else {
            EXPECT_EQ(error, "Write error on \"" + c.file.string() + "\". File too large");
        }
        // Nothing else is left in the folders: no part of a new file, no temporary file.
        std::set<std::filesystem::path> files;
        for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
            if (!e.is_directory())
                files.insert(e.path());
        EXPECT_EQ(files, c.existed ? std::set{c.file} : std::set<std::filesystem::path>{});
        if (c.existed) {
            EXPECT_EQ(Read(c.file), old);
        }
    }
}

TEST_F(LogFile, NothingIsWrittenWithLoggingOffOrWithoutAName) {
    AddLines(10);
    form.LogCfgForm.CheckBoxLog.SetChecked(false);
    EXPECT_TRUE(FormClose(ctx));
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    form.LogCfgForm.EditLogName.SetText((dir / "mine.log").string());
    EXPECT_TRUE(FormClose(ctx));
    EXPECT_FALSE(std::filesystem::exists(dir / "mine.log"));

    form.LogCfgForm.CheckBoxLog.SetChecked(true);
    form.LogCfgForm.EditLogName.SetText("");
    EXPECT_TRUE(FormClose(ctx));
    EXPECT_TRUE(LogFolder().empty());
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(LogFile, OperatorsFileFailureIsThrown) {
    AddLines(1);
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    for (int mode : {0, 2}) {
        form.LogCfgForm.RadioGrpMod.ItemIndex = mode;
        form.LogCfgForm.EditLogName.SetText((dir / "missing" / "mine.log").string());
        EXPECT_THROW((void)FormClose(ctx), EInOutError) << mode;
    }
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(LogFile, ABreakInsideAPanelLineIsWrittenAsCrLf) {
    // A file name may carry a line break into the panel; the log still ends every line with CR LF.
    struct Case {
        const char *line, *written;
    };
    const Case cases[] = {
        {"Load object file of \"/tmp/a\nb.bin\" at", "Load object file of \"/tmp/a\r\nb.bin\" at\r\n"},
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\rb", "a\r\nb\r\n"},
        {"a\n\nb", "a\r\n\r\nb\r\n"},
    };
    const auto file = dir / "mine.log";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        SaveLinesToFile(file.string(), {c.line});
        EXPECT_EQ(Read(file), c.written);
        AppendLinesToFile(file.string(), {c.line});
        EXPECT_EQ(Read(file), std::string(c.written) + c.written);
    }
}

TEST_F(LogFile, AFileNobodyReadsFailsInsteadOfWaiting) {
    // A named pipe without a reader: opening it to write would wait for one forever.
    const auto fifo = dir / "pipe.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    AddLines(1);
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    form.LogCfgForm.EditLogName.SetText(fifo.string());
    struct Case {
        const char *what;
        std::function<void()> write;
    };
    const Case cases[] = {
        {"new file",
         [&] {
             form.LogCfgForm.RadioGrpMod.ItemIndex = 0;
             (void)FormClose(ctx);
         }},
        {"append",
         [&] {
             form.LogCfgForm.RadioGrpMod.ItemIndex = 2;
             (void)FormClose(ctx);
         }},
        {"save info",
         [&] {
             dialogs.FileAnswers = {fifo.string()};
             SaveInfotoFile1Click(ctx);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto done = std::async(std::launch::async, c.write);
        if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "still waiting for a reader";
            // Both ends at once let any open of it go on.
            const int both = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            done.wait();
            ::close(both);
        }
        EXPECT_THROW(done.get(), EInOutError);
    }
}

TEST_F(LogFile, SaveInfoWritesThePanelWhereTheOperatorSays) {
    AddLines(2);
    const auto file = dir / "info.log";
    Write(file, "something longer than the panel\r\n\r\n\r\n");
    dialogs.FileAnswers = {file.string(), std::nullopt};
    SaveInfotoFile1Click(ctx);
    EXPECT_EQ(Read(file), "> line 1\r\n> line 2\r\n");
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.FileDialogs[0].Filter, "All Log Files(*.Log)|*.log");
    EXPECT_EQ(dialogs.FileDialogs[0].DefaultExt, "*.log");

    form.InfoMemo.Add("> line 3");
    SaveInfotoFile1Click(ctx); // cancelled
    EXPECT_EQ(Read(file), "> line 1\r\n> line 2\r\n");

    dialogs.FileAnswers = {(dir / "missing" / "x.log").string()};
    EXPECT_THROW(SaveInfotoFile1Click(ctx), EInOutError);
    EXPECT_EQ(form.InfoMemo.Lines.size(), 3u);
}

TEST_F(LogFile, PortsCloseOnlyOnceTheLogIsWritten) {
    TPumpQueue queue;
    struct Pty {
        int master = -1, slave = -1;
        std::string name;
    } ptys[2];
    TComm comm1(queue), comm3(queue);
    TComm *comms[] = {&comm1, &comm3};
    for (int i = 0; i < 2; ++i) {
        char name[128];
        ASSERT_EQ(::openpty(&ptys[i].master, &ptys[i].slave, name, nullptr, nullptr), 0);
        comms[i]->SetCommName(name);
        comms[i]->OpenPort();
        ASSERT_TRUE(comms[i]->IsOpen());
    }
    ctx.ChannelComm = {&comm1, nullptr, &comm3, nullptr};
    ctx.ChannelConnected = {1, 0, 1, 0};
    AddLines(1);
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    // A failed log leaves the channels as they were, so the operator goes on.
    form.LogCfgForm.EditLogName.SetText((dir / "missing" / "mine.log").string());
    EXPECT_THROW((void)FormClose(ctx), EInOutError);
    EXPECT_TRUE(comm1.IsOpen());
    EXPECT_TRUE(comm3.IsOpen());
    EXPECT_EQ(ctx.ChannelConnected, (std::array<uint8_t, 4>{1, 0, 1, 0}));

    // The next close writes the log, then closes the ports.
    form.LogCfgForm.EditLogName.SetText((dir / "mine.log").string());
    EXPECT_TRUE(FormClose(ctx));
    EXPECT_EQ(Read(dir / "mine.log"), "> line 1\r\n");
    EXPECT_FALSE(comm1.IsOpen());
    EXPECT_FALSE(comm3.IsOpen());
    for (auto &p : ptys) {
        ::close(p.slave);
        ::close(p.master);
    }
}

TEST_F(LogFile, ARelativeNameIsTakenInTheProgramFolder) {
    // Started from another folder: nothing may land there.
    const auto elsewhere = dir / "started-here";
    std::filesystem::create_directories(elsewhere / "Log");
    struct InFolder {
        std::filesystem::path Before = std::filesystem::current_path();
        explicit InFolder(const std::filesystem::path &p) { std::filesystem::current_path(p); }
        ~InFolder() { std::filesystem::current_path(Before); }
    };
    std::optional<InFolder> started(elsewhere);
    struct Case {
        const char *name;
        int mode;
    };
    const Case cases[] = {
        {"VLT_2018xx.log", 0}, {"VLT_2018xx.log", 1}, {"Log/mine.log", 2}, {"./Log/../VLT_2018xx.log", 0}};
    AddLines(2);
    form.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        form.LogCfgForm.RadioGrpMod.ItemIndex = c.mode;
        form.LogCfgForm.EditLogName.SetText(c.name);
        EXPECT_TRUE(FormClose(ctx));
        EXPECT_TRUE(std::filesystem::exists(dir / c.name));
        EXPECT_FALSE(std::filesystem::exists(elsewhere / c.name));
    }
    started.reset();
    EXPECT_EQ(Read(dir / "VLT_2018xx.log"), "> line 1\r\n> line 2\r\n");
    EXPECT_EQ(Read(dir / "Log" / "mine.log"), "Corvane Log File!\r\n> line 1\r\n> line 2\r\n");
}
