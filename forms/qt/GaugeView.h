#pragma once
// A progress gauge whose percentage stays readable on any bar colour: the
// part of the text over the bar is drawn in black or white, whichever stands
// out more against the bar (its palette's Highlight), the rest in the text
// colour. The bar itself is drawn by the style as usual.
#include <QColor>
#include <QProgressBar>

class GaugeView : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

    // Black or white, whichever has the higher contrast against `back`.
    static QColor ReadableOn(const QColor &back);

protected:
    void paintEvent(QPaintEvent *e) override;
};
