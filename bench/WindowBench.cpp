// What the gang programmer's window costs beside the work itself, each figure
// measured side by side with its floor in the same run:
//   idle      the program with four simulated programmers connected against a
//             bare Qt main window with the same 10 ms no-op timer: process CPU
//             of each, two child processes whose timers run a second each by
//             turns (and the middle one of those seconds, which a short
//             disturbance does not move)
//   download  one 64 KB download on four channels: main-thread CPU through the
//             real window against the program without a window
//   memo      the painted information panel: CPU per appended line at 100,000
//             lines against 1,000 lines
// Options: --idle-seconds N (30), --rounds N (download rounds, 10),
//          --only idle|download|memo.
#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/VltProgram.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "bench/DownloadRig.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/QtEventQueue.h"
#include "forms/qt/ViewBinder.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"

namespace fs = std::filesystem;

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Ms(const timeval &t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

double ProcessCpuMs() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return Ms(ru.ru_utime) + Ms(ru.ru_stime);
}

// The main thread's time in user space and in the kernel. The kernel may
// count it by ticks: only means over many rounds say something.
struct Split {
    double User = 0, Kernel = 0;
    void Add(const Split &from, const Split &to) {
        User += to.User - from.User;
        Kernel += to.Kernel - from.Kernel;
    }
};

Split ThreadSplit() {
    rusage ru{};
    getrusage(RUSAGE_THREAD, &ru);
    return {Ms(ru.ru_utime), Ms(ru.ru_stime)};
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The value a `share` of the samples lie below: 0.5 the median.
double Quantile(std::vector<double> v, double share) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<size_t>(share * static_cast<double>(v.size() - 1))];
}

double Median(std::vector<double> v) {
    return Quantile(std::move(v), 0.5);
}

// Runs the Qt loop until done() holds; false when the limit passed first.
// Waits for events between checks; a slow guard timer makes sure the limit
// is seen even when nothing else happens.
bool LoopUntil(const std::function<bool()> &done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QTimer guard;
    guard.start(100);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// ---- idle: two child processes of this program, by turns ----

// In a child: says ready, then at each line of input runs its timer for one
// second and answers "slice <process CPU ms> <main-thread CPU ms> <ticks>";
// the timer stands still in between. Ends with its input.
[[noreturn]] void ServeSlices(QTimer &timer, const unsigned &ticks) {
    timer.stop();
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
        const unsigned ticks0 = ticks;
        const double p0 = ProcessCpuMs(), t0 = ThreadCpuMs();
        timer.start();
        QEventLoop second;
        QTimer::singleShot(1000, &second, &QEventLoop::quit);
        second.exec();
        timer.stop();
        std::printf("slice %.3f %.3f %u\n", ProcessCpuMs() - p0, ThreadCpuMs() - t0, ticks - ticks0);
        std::fflush(stdout);
    }
    std::_Exit(0); // no close handling: nothing more is measured
}

[[noreturn]] void BareChild() {
    int argc = 1;
    char name[] = "bare";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(952, 629);
    window.show();
    QTimer timer;
    unsigned ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.setInterval(10);
    QCoreApplication::processEvents();
    ServeSlices(timer, ticks);
}

[[noreturn]] void ProgramChild(const std::string &dir) {
    int argc = 1;
    char name[] = "Pelmor200VLT";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    TSystemClock clock;
    VltWindows windows(clock, dir + "/Pelmor200VLT");
    windows.Program().PortScan.Pause = [](unsigned) {};
    unsigned ticks = 0;
    QObject::connect(&windows.Main().Timer(), &QTimer::timeout, [&ticks] { ++ticks; });
    windows.Main().show();
    if (!LoopUntil([&] { return AllConnected(windows.Program().Context()); }, std::chrono::seconds(30))) {
        std::printf("error the programmers did not answer\n");
        std::fflush(stdout);
        std::_Exit(1);
    }
    ServeSlices(windows.Main().Timer(), ticks);
}

struct Child {
    pid_t Pid = -1;
    int In = -1;  // its stdin
    int Out = -1; // its stdout
    std::string Buffer;
};

Child Spawn(const std::vector<std::string> &args, const std::string &serialMap) {
    // Everything the child needs is made before the fork: the simulators'
    // threads run on, so the child may only exec.
    std::vector<char *> argv;
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const std::string mapVar = "PELMOR_SERIAL_MAP=" + serialMap;
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "PELMOR_SERIAL_MAP=", 18) != 0)
            env.push_back(*e);
    if (!serialMap.empty())
        env.push_back(const_cast<char *>(mapVar.c_str()));
    env.push_back(nullptr);
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0)
        throw std::runtime_error("pipe");
    Child c;
    c.Pid = fork();
    if (c.Pid < 0)
        throw std::runtime_error("fork");
    if (c.Pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        close(toChild[0]);
        close(toChild[1]);
        close(fromChild[0]);
        close(fromChild[1]);
        execve("/proc/self/exe", argv.data(), env.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    c.In = toChild[1];
    c.Out = fromChild[0];
    return c;
}

// The child's next line, or "" after the limit or its end.
std::string ReadLine(Child &c, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (auto nl = c.Buffer.find('\n'); nl != std::string::npos) {
            std::string line = c.Buffer.substr(0, nl);
            c.Buffer.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return "";
        pollfd p{c.Out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(c.Out, buf, sizeof buf);
        if (n <= 0)
            return "";
        c.Buffer.append(buf, static_cast<size_t>(n));
    }
}

void Finish(Child &c) {
    close(c.In);
    close(c.Out);
    kill(c.Pid, SIGTERM);
    waitpid(c.Pid, nullptr, 0);
}

// One child's slices: their sums and the CPU of each.
struct IdleFigures {
    double Process = 0, Main = 0;
    unsigned Ticks = 0;
    std::vector<double> Slices;
    bool Add(const std::string &line) {
        double process = 0, main = 0;
        unsigned ticks = 0;
        if (std::sscanf(line.c_str(), "slice %lf %lf %u", &process, &main, &ticks) != 3)
            return false;
        Process += process;
        Main += main;
        Ticks += ticks;
        Slices.push_back(process);
        return true;
    }
};

int Idle(int seconds) {
    std::printf("idle, %d s each, by turns of a second, load %s\n", seconds, LoadAverage().c_str());
    const fs::path dir = fs::temp_directory_path() / ("pelmor_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    TSimGang gang(4);
    const fs::path map = dir / "serial.map";
    {
        std::ofstream out(map);
        for (const auto &[device, port] : MapOf(gang))
            out << device << " " << port << "\n";
    }
    Child program = Spawn({"bench_window", "--child", "program", dir.string()}, map.string());
    Child bare = Spawn({"bench_window", "--child", "bare"}, "");
    int rc = 1;
    IdleFigures p, b;
    const std::string pr = ReadLine(program, std::chrono::seconds(60));
    const std::string br = ReadLine(bare, std::chrono::seconds(60));
    if (pr != "ready" || br != "ready") {
        std::printf("  children not ready: program \"%s\", bare \"%s\"\n", pr.c_str(), br.c_str());
    } else {
        // One second each by turns, who goes first changing: both meet the
        // machine as it is over the same minute, and never each other.
        bool ok = true;
        for (int i = 0; i < seconds && ok; ++i) {
            for (int k = 0; k < 2 && ok; ++k) {
                const bool programNow = (i + k) % 2 == 0;
                Child &c = programNow ? program : bare;
                ok = write(c.In, "run\n", 4) == 4 &&
                     (programNow ? p : b).Add(ReadLine(c, std::chrono::seconds(30)));
            }
        }
        if (ok) {
            std::printf("  %-22s %14s %16s %8s\n", "", "process CPU ms", "main thread ms", "ticks");
            std::printf("  %-22s %14.1f %16.1f %8u\n", "bare window", b.Process, b.Main, b.Ticks);
            std::printf("  %-22s %14.1f %16.1f %8u\n", "gang programmer", p.Process, p.Main, p.Ticks);
            std::printf("  ratio (process CPU)    %.2f   goal <= 1.30\n",
                        b.Process > 0 ? p.Process / b.Process : 0);
            const double bm = Median(b.Slices), pm = Median(p.Slices);
            std::printf("  the middle second: bare %.2f ms, gang programmer %.2f ms, ratio %.2f\n", bm, pm,
                        bm > 0 ? pm / bm : 0);
            rc = 0;
        } else {
            std::printf("  no result from the children\n");
        }
    }
    Finish(program);
    Finish(bare);
    fs::remove_all(dir);
    std::printf("  load after: %s\n", LoadAverage().c_str());
    return rc;
}

// ---- download: the real window against the program alone ----

// Where the window's time goes: port events (the handlers and what they show
// at once), paint cycles that painted something, Timer1's ticks. The rest is
// the event loop and the refreshes the pace held back.
struct Breakdown : QObject {
    Breakdown(QWidget *window, QObject *timer) : Window(window), Timer(timer) {}
    QWidget *Window;
    QObject *Timer;
    double Total = 0, Events = 0, Paint = 0, TickCpu = 0;
    unsigned EventCount = 0, PaintCount = 0, TickCount = 0;
    bool InPaint = false, InTick = false, Painted = false;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::Paint && InPaint) {
            Painted = true;
            return false;
        }
        if (o == Timer && e->type() == QEvent::Timer && !InTick && !InPaint) {
            InTick = true;
            const double t0 = ThreadCpuMs();
            QCoreApplication::sendEvent(o, e);
            TickCpu += ThreadCpuMs() - t0;
            InTick = false;
            ++TickCount;
            return true;
        }
        if (InPaint || o != Window || e->type() != QEvent::UpdateRequest)
            return false;
        InPaint = true;
        Painted = false;
        const double t0 = ThreadCpuMs();
        QCoreApplication::sendEvent(o, e);
        Paint += ThreadCpuMs() - t0;
        PaintCount += Painted;
        InPaint = false;
        return true;
    }
};

int Download(int rounds) {
    std::printf("download, 64 KB on four channels, %d rounds each, load %s\n", rounds, LoadAverage().c_str());
    const fs::path dir = fs::temp_directory_path() / ("pelmor_bench_dl_" + std::to_string(getpid()));
    fs::create_directories(dir);
    TFixedClock clock({2026, 12, 7, 22, 15, 3, 0});

    TSimGang headlessGang(4);
    TPumpQueue queue;
    RecordingDialogs dialogs;
    TVltProgram headless(queue, dialogs, clock);
    headless.ProgramPath = (dir / "a" / "Pelmor200VLT").string();
    fs::create_directories(dir / "a");
    headless.PortScan.DeviceMap = [map = MapOf(headlessGang)] { return map; };
    headless.PortScan.Pause = [](unsigned) {};
    headless.Show();

    TSimGang windowGang(4);
    fs::create_directories(dir / "b");
    VltWindows windows(clock, (dir / "b" / "Pelmor200VLT").string());
    TVltProgram &shown = windows.Program();
    shown.PortScan.DeviceMap = [map = MapOf(windowGang)] { return map; };
    shown.PortScan.Pause = [](unsigned) {};
    windows.Main().show();

    int rc = 1;
    if (!queue.PumpUntil([&] { return AllConnected(headless.Context()); },
                         std::chrono::milliseconds(30000)) ||
        !LoopUntil([&] { return AllConnected(shown.Context()); }, std::chrono::seconds(30))) {
        std::printf("  the programmers did not answer\n");
    } else {
        PrepareImage(headless);
        windows.Main().Run([&] { PrepareImage(shown); });
        MainWindow &main = windows.Main();
        auto *button = qobject_cast<QAbstractButton *>(main.Widget("SpdBtnDownLoad"));
        // One download through the window, from the click until what the last
        // replies changed is shown and painted, which the pace may hold back.
        auto throughWindow = [&] {
            QCoreApplication::processEvents(); // the round before is shown and painted
            const double t0 = ThreadCpuMs();
            button->click();
            const bool done = LoopUntil([&] { return AllIdle(shown.Context()); }, std::chrono::seconds(30));
            // A paint asked for by the last refresh is taken by one more pass.
            do
                LoopUntil([&] { return !main.HoldsBack(); }, std::chrono::seconds(1));
            while (QCoreApplication::processEvents(), main.HoldsBack());
            return done ? ThreadCpuMs() - t0 : -1.0;
        };
        std::vector<double> bare, window;
        Split bareSplit, windowSplit;
        bool ok = true;
        for (int r = 0; r < rounds && ok; ++r) {
            const double t0 = ThreadCpuMs();
            const Split s0 = ThreadSplit();
            headless.Form().SpdBtnDownLoad.Click();
            ok = queue.PumpUntil([&] { return AllIdle(headless.Context()); },
                                 std::chrono::milliseconds(30000));
            bare.push_back(ThreadCpuMs() - t0);
            const Split s1 = ThreadSplit();
            window.push_back(throughWindow());
            const Split s2 = ThreadSplit();
            bareSplit.Add(s0, s1);
            windowSplit.Add(s1, s2);
            ok = ok && window.back() >= 0;
        }
        // Where the window's time goes, in rounds of their own (the
        // measuring costs a little itself).
        Breakdown parts(&main, &main.Timer());
        if (ok) {
            QtEventQueue &events = windows.Queue();
            const auto runner = events.Runner;
            events.Runner = [&parts, runner](const TEventQueue::Event &ev) {
                const double t0 = ThreadCpuMs(), painted = parts.Paint;
                runner(ev);
                ++parts.EventCount;
                parts.Events += ThreadCpuMs() - t0 - (parts.Paint - painted);
            };
            qApp->installEventFilter(&parts);
            for (int r = 0; r < rounds && ok; ++r) {
                const double t = throughWindow();
                ok = t >= 0;
                parts.Total += t;
            }
            qApp->removeEventFilter(&parts);
            events.Runner = runner;
        }
        for (size_t k = 0; k < 4 && ok; ++k)
            ok = headless.Context().ChannelOpCode[k] == OpIdle &&
                 shown.Context().ChannelOpCode[k] == OpIdle &&
                 shown.Form().GaugeBar(static_cast<int>(k) + 1).ForeColor == TColor::Blue;
        if (!ok) {
            std::printf("  a download failed\n");
        } else {
            std::printf(
                "  main-thread CPU per download (median): without window %.2f ms, through the window %.2f "
                "ms\n",
                Median(bare), Median(window));
            std::printf("  ratio %.2f   goal <= 1.50\n", Median(window) / Median(bare));
            // Other programs on the machine only ever add time: the first
            // quartiles show the cost least disturbed by them.
            std::printf("  first quartiles: without window %.2f ms, through the window %.2f ms, ratio %.2f\n",
                        Quantile(bare, 0.25), Quantile(window, 0.25),
                        Quantile(window, 0.25) / Quantile(bare, 0.25));
            const double n = rounds;
            std::printf(
                "  user and kernel time per download (means): without window %.2f + %.2f ms, through the "
                "window %.2f + %.2f ms\n",
                bareSplit.User / n, bareSplit.Kernel / n, windowSplit.User / n, windowSplit.Kernel / n);
            std::printf("  through the window, per download: %.0f port events %.2f ms, %.1f paints %.2f ms, "
                        "%.0f Timer1 ticks %.2f ms, the rest (event loop, paced refreshes) %.2f ms\n",
                        parts.EventCount / n, parts.Events / n, parts.PaintCount / n, parts.Paint / n,
                        parts.TickCount / n, parts.TickCpu / n,
                        (parts.Total - parts.Events - parts.Paint - parts.TickCpu) / n);
            rc = 0;
        }
    }
    headless.ClosePorts();
    shown.ClosePorts();
    fs::remove_all(dir);
    std::printf("  load after: %s\n", LoadAverage().c_str());
    return rc;
}

// ---- memo: cost per painted line at two lengths ----

// CPU per line of appending `count` lines to a panel that already holds
// `lines`, `perRefresh` lines at a time, each refresh painted at once (the
// window itself paints at most every 100 ms: this is the worst case).
double MemoLineCost(int lines, int count, int perRefresh) {
    const std::string text = "> 2026-12-07 22:15:03 Device 1 : Channel 1 : Do Main Flash Programming....";
    QWidget top;
    top.resize(640, 360);
    TMemo memo; // as the gang programmer's information panel
    memo.ReadOnly = true;
    memo.VerticalScrollBar = true;
    memo.FontColor = TColor::Blue;
    memo.FontName = "宋体";
    auto *edit = new MemoView(&top);
    edit->setGeometry(8, 8, 608, 318);
    ViewBinder views([](const ViewBinder::Action &a) { a(); });
    views.Bind(memo, edit);
    top.show();
    for (int i = 0; i < lines; ++i)
        memo.Add(text);
    views.Refresh();
    QCoreApplication::processEvents();
    const double t0 = ThreadCpuMs();
    for (int i = 1; i <= count; ++i) {
        memo.Add(text);
        if (i % perRefresh == 0) {
            views.Refresh();
            QCoreApplication::processEvents();
        }
    }
    return (ThreadCpuMs() - t0) / count;
}

int Memo() {
    std::printf("memo, painted, load %s\n", LoadAverage().c_str());
    const struct { int perRefresh, count; } runs[] = {{1, 2000}, {100, 20000}};
    for (const auto &run : runs) {
        std::vector<double> small, large;
        for (int r = 0; r < 3; ++r) {
            small.push_back(MemoLineCost(1000, run.count, run.perRefresh));
            large.push_back(MemoLineCost(100000, run.count, run.perRefresh));
        }
        std::printf(
            "  %3d line(s) per refresh, CPU per line (median of 3): at 1,000 lines %.1f us, at 100,000 "
            "lines %.1f us, ratio %.2f   goal <= 1.30\n",
            run.perRefresh, Median(small) * 1e3, Median(large) * 1e3, Median(large) / Median(small));
    }
    std::printf("  load after: %s\n", LoadAverage().c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "bare") == 0)
            BareChild();
        if (std::strcmp(argv[2], "program") == 0 && argc >= 4)
            ProgramChild(argv[3]);
        return 2;
    }
    int seconds = 30, rounds = 10;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--idle-seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--only") == 0)
            only = argv[i + 1];
    }
    int rc = 0;
    if (only.empty() || only == "idle")
        rc |= Idle(seconds);
    if (only == "idle")
        return rc;
    QApplication app(argc, argv);
    if (only.empty() || only == "download")
        rc |= Download(rounds);
    if (only.empty() || only == "memo")
        rc |= Memo();
    return rc;
}
