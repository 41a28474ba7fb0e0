#pragma once
// Paints a window at most once per interval. A burst of events (replies on
// four channels, each moving a gauge) is shown by one paint of everything it
// changed instead of one paint per event; a change after a quiet spell is
// painted at once. The widgets themselves are up to date all the time: only
// their painting waits, at most one interval.
#include <QObject>

#include "forms/qt/Deferral.h"
#include "forms/qt/RefreshPacer.h"

class QWidget;

class PaintPacer : public QObject {
public:
    // Watches the window's paint requests; a child of the window.
    PaintPacer(QWidget *window, int intervalMs);
    // A paint is held back until the interval is over.
    bool Waiting() const { return Pace.Waiting() || Requests.Waiting(); }

    // The window's paint requests. Those made while a Deferral::Hold on them
    // lives are taken when it ends: a refresh that changes several widgets,
    // some of which ask to be painted at once, is painted once, after all of them.
    Deferral &PaintRequests() { return Requests; }

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void PaintNow();
    QWidget *Window;
    RefreshPacer Pace;
    bool Painting = false;
    Deferral Requests{[this] { Pace.Request(); }};
};
