// The window's close run by a signal: after the handler whose box was open,
// with the boxes nobody can answer dismissed, and the end after a close that
// was refused or that waits.
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>

#include "forms/qt/SignalClose.h"
#include "platform/ProcessSignals.h"

namespace {

class TestWindow : public QWidget {
public:
    std::function<void(QCloseEvent *)> OnClose;
    int Closes = 0;

protected:
    void closeEvent(QCloseEvent *e) override {
        ++Closes;
        if (OnClose)
            OnClose(e);
        else
            e->accept();
    }
};

void SendSignal(int s) {
    QTimer::singleShot(0, [s] { kill(getpid(), s); });
}

// The error stream sent to a file while it lives; Said() is what the program
// said there, its own lines only (the toolkit's warnings left out).
class TCapturedStderr {
public:
    TCapturedStderr() {
        char name[] = "/tmp/pelmor-stderr.XXXXXX";
        const int fd = mkstemp(name);
        Path = name;
        Saved = dup(STDERR_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~TCapturedStderr() {
        dup2(Saved, STDERR_FILENO);
        close(Saved);
        unlink(Path.c_str());
    }
    QString Said() const {
        std::ifstream in(Path, std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), {});
        const std::string prefix =
            QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString() + ": ";
        std::string own;
        size_t from = 0;
        for (size_t at; (at = all.find('\n', from)) != std::string::npos; from = at + 1)
            if (all.compare(from, prefix.size(), prefix) == 0)
                own += all.substr(from, at + 1 - from);
        return QString::fromStdString(own);
    }

private:
    std::string Path;
    int Saved = -1;
};

QString Said(const QString &what) {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName() + ": " + what + "\n";
}

// A box as the dialogs port shows it: modal, its own loop.
void ShowBox(const QString &text) {
    QMessageBox box(QMessageBox::Critical, "Error", text, QMessageBox::Ok);
    box.exec();
}

} // namespace

class SignalCloseTest : public QObject {
    Q_OBJECT
public:
    explicit SignalCloseTest(TEndSignals &ends) : Ends(ends) {}

private:
    // Runs the loop until the closer ends the program; its code, -1 when it
    // did not within ten seconds (the boxes still open are then closed here).
    int RunUntilEnd(SignalClose &closer) {
        QEventLoop loop;
        int code = -1;
        closer.End = [&](int c) {
            code = c;
            EndedInClose = InClose;
            if (Waiting)
                Waiting->quit();
            loop.quit();
        };
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&] {
            timedOut = true;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<QDialog *>(w))
                    d->done(0);
            if (Waiting)
                Waiting->quit();
            loop.quit();
        });
        guard.start(10000);
        loop.exec();
        return timedOut ? -1 : code;
    }

    TEndSignals &Ends;
    QEventLoop *Waiting = nullptr;
    bool InClose = false;
    bool EndedInClose = false;

private slots:
    void init() {
        Waiting = nullptr;
        InClose = EndedInClose = false;
    }

    // The box of a handler is open when the signal comes: it is dismissed,
    // the handler runs to its end, and only then does the window close.
    void aBoxOpenWhenTheSignalComesIsDismissedAndTheHandlerEndsFirst_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void aBoxOpenWhenTheSignalComesIsDismissedAndTheHandlerEndsFirst() {
        QFETCH(int, signal);
        TCapturedStderr err;
        TestWindow window;
        window.show();
        SignalClose closer(Ends, window);
        bool handlerDone = false;
        int closesInHandler = -1;
        QTimer::singleShot(0, [&] {
            SendSignal(signal);
            ShowBox("Please load Object File!");
            closesInHandler = window.Closes;
            handlerDone = true;
        });
        QCOMPARE(RunUntilEnd(closer), 0);
        QVERIFY(handlerDone);
        QCOMPARE(closesInHandler, 0);
        QCOMPARE(window.Closes, 1);
        QVERIFY(!window.isVisible());
        QCOMPARE(closer.Signal(), signal);
        QCOMPARE(err.Said(), Said(QString(strsignal(signal)) + ": closing") +
                                 Said("dismissed: Error: Please load Object File!"));
    }

    // The close opens a box (the log could not be written): nobody is there
    // to answer it, so it goes and the close goes on.
    void aBoxTheCloseOpensDoesNotHoldIt() {
        TCapturedStderr err;
        TestWindow window;
        window.show();
        SignalClose closer(Ends, window);
        bool afterBox = false;
        window.OnClose = [&](QCloseEvent *e) {
            ShowBox("Write Log File error!");
            afterBox = true;
            e->accept();
        };
        SendSignal(SIGTERM);
        QCOMPARE(RunUntilEnd(closer), 0);
        QVERIFY(afterBox);
        QVERIFY(!window.isVisible());
        QCOMPARE(err.Said(), Said("Terminated: closing") + Said("dismissed: Error: Write Log File error!"));
    }

    // The window stays open (its log could not be written): the program ends
    // anyway, after what it does for a refused close.
    void aRefusedCloseStillEndsTheProgram() {
        TestWindow window;
        window.show();
        SignalClose closer(Ends, window);
        int refused = 0;
        closer.OnRefused = [&] {
            QCOMPARE(window.Closes, 1);
            ++refused;
        };
        window.OnClose = [](QCloseEvent *e) { e->ignore(); };
        SendSignal(SIGHUP);
        QCOMPARE(RunUntilEnd(closer), 1);
        QCOMPARE(refused, 1);
        QCOMPARE(window.Closes, 1);
    }

    // A close that waits in a loop of its own: a second signal ends the
    // program from inside it; without one it would wait on.
    void aSecondSignalEndsACloseThatWaits() {
        TestWindow window;
        window.show();
        SignalClose closer(Ends, window);
        window.OnClose = [&](QCloseEvent *e) {
            QEventLoop wait;
            Waiting = &wait;
            InClose = true;
            SendSignal(SIGINT);
            wait.exec();
            InClose = false;
            Waiting = nullptr;
            e->accept();
        };
        SendSignal(SIGTERM);
        QCOMPARE(RunUntilEnd(closer), 1);
        QVERIFY(EndedInClose);
        QCOMPARE(window.Closes, 1);
    }
};

int main(int argc, char **argv) {
    // A run in the background starts with SIGINT ignored, which would stay so.
    for (int s : {SIGTERM, SIGHUP, SIGINT})
        signal(s, SIG_DFL);
    // Before the toolkit starts its threads, as the programs do.
    TEndSignals ends;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SignalCloseTest test(ends);
    return QTest::qExec(&test, argc, argv);
}

#include "SignalCloseTest.moc"
