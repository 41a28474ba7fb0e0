#pragma once
// Shows a window's models at most once per interval while events come in a
// burst (replies on four channels, each moving a gauge and adding a line):
// the first event after a quiet spell is shown at once, the rest of the burst
// together when the interval is over. A user's action is shown at once.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class RefreshPacer : public QObject {
public:
    RefreshPacer(int intervalMs, std::function<void()> refresh, QObject *parent = nullptr);

    // After an event: shows now after a quiet spell, else when the interval is over.
    void Request();
    // Shows now; a waiting refresh is done with it.
    void Now();
    // Shows now only if a refresh is waiting (before the user acts on the window).
    void Flush();
    bool Waiting() const { return Later.isActive(); }

private:
    int Interval;
    std::function<void()> Refresh;
    QElapsedTimer Clock;
    qint64 Last;
    QTimer Later;
};
