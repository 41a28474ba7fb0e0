#include "forms/qt/SteadyScrollBar.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent) {
    // It fills its own background below, so the panel under it is not painted again.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

SteadyScrollBar::Look SteadyScrollBar::Current() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    const bool moves = change == SliderRangeChange || change == SliderValueChange;
    if (!moves || !EverPainted) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A new line sets the range, then the value: look once both are set.
    if (CheckQueued)
        return;
    CheckQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            CheckQueued = false;
            if (Current() != Painted)
                update();
        },
        Qt::QueuedConnection);
}

void SteadyScrollBar::paintEvent(QPaintEvent *e) {
    Painted = Current();
    EverPainted = true;
    {
        QPainter p(this);
        p.fillRect(e->rect(), palette().window());
    }
    QScrollBar::paintEvent(e);
}
