#include "forms/qt/GaugeView.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <cmath>

namespace {

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double Luminance(const QColor &c) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

} // namespace

QColor GaugeView::ReadableOn(const QColor &back) {
    const double l = Luminance(back);
    const double onWhite = 1.05 / (l + 0.05);
    const double onBlack = (l + 0.05) / 0.05;
    return onWhite >= onBlack ? QColor(Qt::white) : QColor(Qt::black);
}

void GaugeView::paintEvent(QPaintEvent *) {
    QStyleOptionProgressBar opt;
    initStyleOption(&opt);
    const QString text = opt.text;
    const bool withText = opt.textVisible && !text.isEmpty();
    opt.textVisible = false;
    QPainter p(this);
    style()->drawControl(QStyle::CE_ProgressBar, &opt, &p, this);
    if (!withText)
        return;

    // The bar fills the contents from the left in proportion, as the style draws it.
    const QRect contents = style()->subElementRect(QStyle::SE_ProgressBarContents, &opt, this);
    const double span = double(maximum()) - minimum();
    const double ratio = span > 0 ? (double(value()) - minimum()) / span : 0.0;
    const QRect bar(contents.left(), contents.top(), int(contents.width() * ratio), contents.height());

    QFont bold = font(); // thin strokes fade into a saturated bar
    bold.setBold(true);
    p.setFont(bold);
    p.setClipRegion(QRegion(rect()).subtracted(bar));
    p.setPen(palette().color(QPalette::Text));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    p.setClipRect(bar);
    p.setPen(ReadableOn(palette().color(QPalette::Highlight)));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
}
