#pragma once
// A scroll bar that repaints only when what it shows changes. A panel that
// gains a line at a time moves its range with every line, while the slider,
// once at its smallest and at the bottom, stays where it is. It paints every
// pixel it owns, so its repaint leaves the panel around it alone.
#include <QRect>
#include <QScrollBar>

#include "forms/qt/Deferral.h"

class SteadyScrollBar : public QScrollBar {
public:
    SteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Changes made while a Deferral::Hold on these lives are looked at once,
    // when it ends: a new line sets the range, then the value.
    Deferral &Moves() { return Looks; }

protected:
    bool event(QEvent *e) override;
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *e) override;

private:
    // What a paint shows of the range and the value.
    struct Look {
        QRect Slider;
        bool AtMin = false, AtMax = false;
        bool operator==(const Look &) const = default;
    };
    Look Current() const;
    void Check();
    Look Painted;
    bool EverPainted = false;
    Deferral Looks{[this] { Check(); }};
};
