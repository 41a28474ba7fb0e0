#include "forms/qt/SteadyScrollBar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent) {
    // It fills its own background below, so the panel under it is not painted again.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool SteadyScrollBar::event(QEvent *e) {
    const bool handled = QScrollBar::event(e);
    // Styles clear the flag for scroll bars when they polish them.
    if (e->type() == QEvent::Polish || e->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

SteadyScrollBar::Look SteadyScrollBar::Current() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}

void SteadyScrollBar::Check() {
    const Look now = Current();
    if (now == Painted)
        return;
    // A slider that moved within the groove changes only the band it left and
    // the band it entered (styles draw its outline a pixel outside it); an end
    // reached or left changes the arrows too.
    if (now.AtMin == Painted.AtMin && now.AtMax == Painted.AtMax)
        update(now.Slider.united(Painted.Slider).adjusted(-2, -2, 2, 2));
    else
        update();
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    const bool moves = change == SliderRangeChange || change == SliderValueChange;
    if (!moves || !EverPainted) {
        QScrollBar::sliderChange(change);
        return;
    }
    Looks.Ask();
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
