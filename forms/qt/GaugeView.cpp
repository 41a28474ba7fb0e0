#include "forms/qt/GaugeView.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double Luminance(const QColor &c) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// A bar as a disabled control shows it: a third of the way to the grey of
// `ground`. Dimmer, but of its own hue: a failed channel's bar stays red.
QColor Dimmed(const QColor &c, const QColor &ground) {
    const int grey = qGray(ground.rgb());
    auto toward = [grey](int v) { return v + (grey - v) / 3; };
    return QColor(toward(c.red()), toward(c.green()), toward(c.blue()));
}

// Text as a disabled control shows it: a grey halfway between its own grey
// and that of what it lies on.
QColor Greyed(const QColor &c, const QColor &back) {
    const int grey = (qGray(c.rgb()) + qGray(back.rgb())) / 2;
    return QColor(grey, grey, grey);
}

} // namespace

GaugeView::GaugeView(QWidget *parent) : QProgressBar(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool GaugeView::event(QEvent *e) {
    const bool handled = QProgressBar::event(e);
    // Styles clear the flag for progress bars when they polish them; without
    // it every new value repaints the window beneath the gauge as well.
    if (e->type() == QEvent::Polish || e->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    if (e->type() == QEvent::FontChange)
        Labels.clear();
    if (e->type() == QEvent::EnabledChange)
        update();
    return handled;
}

const QStaticText &GaugeView::Label(const QString &text, const QFont &font) {
    if (auto it = Labels.constFind(text); it != Labels.constEnd())
        return *it;
    if (Labels.size() >= 256) // a format with more texts than percentages
        Labels.clear();
    QStaticText label(text);
    label.setTextFormat(Qt::PlainText);
    label.prepare(QTransform(), font);
    return *Labels.insert(text, label);
}

QColor GaugeView::BarColour() const {
    return Bar.isValid() ? Bar : palette().color(QPalette::Highlight);
}

void GaugeView::SetBarColour(const QColor &c) {
    if (c == Bar)
        return;
    Bar = c;
    update();
}

QColor GaugeView::ReadableOn(const QColor &back) {
    const double l = Luminance(back);
    const double onWhite = 1.05 / (l + 0.05);
    const double onBlack = (l + 0.05) / 0.05;
    return onWhite >= onBlack ? QColor(Qt::white) : QColor(Qt::black);
}

void GaugeView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRect frame = rect();
    const QRect contents = frame.adjusted(1, 1, -1, -1);
    // Every pixel once: the one-pixel grey frame, the bar, the white trough
    // beside it. A gauge paints on every step of a download.
    const int w = frame.width(), h = frame.height();
    p.fillRect(QRect(frame.left(), frame.top(), w, 1), Qt::gray);
    p.fillRect(QRect(frame.left(), frame.bottom(), w, 1), Qt::gray);
    p.fillRect(QRect(frame.left(), contents.top(), 1, h - 2), Qt::gray);
    p.fillRect(QRect(frame.right(), contents.top(), 1, h - 2), Qt::gray);
    const double span = double(maximum()) - minimum();
    const double ratio = span > 0 ? std::clamp((double(value()) - minimum()) / span, 0.0, 1.0) : 0.0;
    const QRect bar(contents.left(), contents.top(), int(contents.width() * ratio), contents.height());
    const QRect trough(bar.right() + 1, contents.top(), contents.right() - bar.right(), contents.height());
    // Disabled (no programmer answers on the channel, or it hung up): greyed
    // like any disabled control, but for the bar's hue, which tells a failed
    // operation from a finished one.
    const bool enabled = isEnabled();
    const QColor ground = palette().color(QPalette::Disabled, QPalette::Window);
    // The palette's own disabled highlight is a grey: the bar is dimmed from the active one.
    const QColor own = Bar.isValid() ? Bar : palette().color(QPalette::Active, QPalette::Highlight);
    const QColor barColour = enabled ? BarColour() : Dimmed(own, ground);
    p.fillRect(bar, barColour);
    p.fillRect(trough, enabled ? QColor(Qt::white) : ground);

    const QString label = text();
    if (!isTextVisible() || label.isEmpty())
        return;
    QFont bold = font(); // thin strokes fade into a saturated bar
    bold.setBold(true);
    p.setFont(bold);
    const QStaticText &text = Label(label, bold);
    const QPointF at(frame.x() + (frame.width() - text.size().width()) / 2,
                     frame.y() + (frame.height() - text.size().height()) / 2);
    // The text lies inside the frame: the trough and the bar split it.
    p.setClipRect(trough);
    p.setPen(palette().color(QPalette::Text)); // the disabled group when disabled
    p.drawStaticText(at, text);
    p.setClipRect(bar);
    p.setPen(enabled ? ReadableOn(barColour) : Greyed(ReadableOn(barColour), barColour));
    p.drawStaticText(at, text);
}
