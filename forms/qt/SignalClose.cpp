#include "forms/qt/SignalClose.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cstring>
#include <string>

#include "platform/ProcessSignals.h"

namespace {

// Dialogs get this many chances to go before the close runs anyway.
constexpr int kMaxTries = 50;
constexpr int kRetryMs = 10;
constexpr int kMaxPopups = 16;
// What the close says on the error stream may wait this long in all for a
// reader that does not read; the rest is dropped.
constexpr std::chrono::milliseconds kErrorStreamBudget{2000};

QByteArray ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
}

} // namespace

SignalClose::SignalClose(TEndSignals &ends, QWidget &window)
    : Signals(ends), Window(window), Errors(kErrorStreamBudget) {
    Retry.setSingleShot(true);
    connect(&Retry, &QTimer::timeout, this, [this] { Step(); });
    if (Signals.Fd() < 0)
        return;
    Notifier = std::make_unique<QSocketNotifier>(Signals.Fd(), QSocketNotifier::Read);
    connect(Notifier.get(), &QSocketNotifier::activated, this, [this] { Read(); });
}

SignalClose::~SignalClose() = default;

void SignalClose::Read() {
    while (const auto s = Signals.Next()) {
        if (First == 0) {
            First = *s;
            ToErrorStream(ProgramName().toStdString() + ": " + strsignal(*s) + ": closing\n");
            qApp->installEventFilter(this);
            Retry.start(0);
        } else if (Closing) {
            // The close waits in a loop of its own (a dialog that would not
            // go): ask again and it ends now, its loops left.
            Finish(1);
        }
    }
}

void SignalClose::Step() {
    if (Ended || Closing)
        return;
    const bool reportOpen = Tries == 0; // later ones were reported as they showed
    if (DismissOpen(reportOpen) && ++Tries < kMaxTries) {
        // Their loops end once control is back in them; the window closes
        // from the loop below, not inside the handler that opened them.
        Retry.start(kRetryMs);
        return;
    }
    Closing = true;
    const bool closed = Window.close();
    Closing = false;
    if (!closed && OnRefused)
        OnRefused();
    Finish(closed ? 0 : 1);
}

void SignalClose::ToErrorStream(std::string_view text) {
    Errors.Write(text);
}

// What a dismissed dialog said, so that it is not lost with it.
void SignalClose::Report(const QDialog &d) {
    QString what = d.windowTitle();
    if (const auto *box = qobject_cast<const QMessageBox *>(&d))
        what += ": " + box->text();
    ToErrorStream(ProgramName().toStdString() + ": dismissed: " + what.toLocal8Bit().toStdString() + "\n");
}

bool SignalClose::DismissOpen(bool report) {
    bool any = false;
    for (int i = 0; i < kMaxPopups; ++i) {
        QWidget *popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->close();
        any = true;
    }
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *d = qobject_cast<QDialog *>(w);
        if (!d || !d->isVisible())
            continue;
        if (report)
            Report(*d);
        d->reject();
        any = true;
    }
    return any;
}

bool SignalClose::eventFilter(QObject *o, QEvent *e) {
    if (First == 0 || e->type() != QEvent::Show || !o->isWidgetType())
        return false;
    auto *w = static_cast<QWidget *>(o);
    if (!w->isWindow())
        return false;
    if (auto *d = qobject_cast<QDialog *>(w)) {
        Report(*d);
        // Once its own loop runs, which has not started yet.
        QTimer::singleShot(0, d, [d] { d->reject(); });
    } else if (w->windowType() == Qt::Popup) {
        QTimer::singleShot(0, w, [w] { w->close(); });
    }
    return false;
}

void SignalClose::Finish(int code) {
    if (Ended)
        return;
    Ended = true;
    if (End)
        End(code);
    else
        QCoreApplication::exit(code);
}
