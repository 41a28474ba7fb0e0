#pragma once
// Runs a refresh at most once per interval while requests come in a burst
// (replies on four channels, each moving a gauge and adding a line): the
// first request after a quiet spell runs it at once, the rest of the burst
// once when the interval is over. Showing the models and painting the window
// both keep this pace; a user's action asks for it at once.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class RefreshPacer : public QObject {
public:
    RefreshPacer(int intervalMs, std::function<void()> refresh, QObject *parent = nullptr);

    // After an event: shows now after a quiet spell, else when the interval is over.
    // With `beat` the caller asks again on every tick of a short timer of its
    // own: no timer of the pacer's wakes the program, the first request after
    // the interval shows what waits.
    void Request(bool beat = false);
    // Shows now; a waiting refresh is done with it.
    void Now();
    // Shows now only if a refresh is waiting (before the user acts on the window).
    void Flush();
    bool Waiting() const { return Held || Later.isActive(); }

private:
    int Interval;
    std::function<void()> Refresh;
    QElapsedTimer Clock;
    qint64 Last;
    QTimer Later;
    bool Held = false; // waits for the caller's next beat
};
