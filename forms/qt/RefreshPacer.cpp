#include "forms/qt/RefreshPacer.h"

RefreshPacer::RefreshPacer(int intervalMs, std::function<void()> refresh, QObject *parent)
    : QObject(parent), Interval(intervalMs), Refresh(std::move(refresh)) {
    Clock.start();
    Last = -intervalMs;
    Later.setSingleShot(true);
    Later.setTimerType(Qt::PreciseTimer); // never early: the pace holds
    connect(&Later, &QTimer::timeout, this, [this] { Now(); });
}

void RefreshPacer::Request(bool beat) {
    if (Later.isActive())
        return;
    const qint64 since = Clock.elapsed() - Last;
    if (since >= Interval)
        Now();
    else if (beat)
        Held = true;
    else
        Later.start(static_cast<int>(Interval - since));
}

void RefreshPacer::Now() {
    Held = false;
    Later.stop();
    Last = Clock.elapsed();
    Refresh();
}

void RefreshPacer::Flush() {
    if (Waiting())
        Now();
}
