#pragma once
// What the gauge tests read off a gauge's picture: the bar's colour away from
// the centred label, whether a colour is plainly of a bar's hue, and the
// colour the label is drawn in over the bar.
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <algorithm>
#include <cstdlib>

// Points on the bar of a gauge `percent` full, clear of the one-pixel frame
// and of the label in the middle third.
inline QList<QPoint> BarPoints(const QImage &shot, int percent) {
    const int w = shot.width(), h = shot.height();
    QList<int> xs{3, w / 8, w / 4};
    if (percent >= 100)
        xs << w * 3 / 4 << w * 7 / 8 << w - 4;
    QList<QPoint> points;
    for (int x : xs)
        for (int y : {3, h / 2, h - 4})
            points << QPoint(x, y);
    return points;
}

// Empty when `seen` is plainly of the hue of `own`, a saturated colour: hue
// within 4 degrees, saturation well above a grey's, and the channel that
// leads in `own` still leading by half its lead there. Otherwise what is
// wrong.
inline QString PlainlyOfHue(const QColor &seen, const QColor &own) {
    const int turn = std::abs(seen.hsvHue() - own.hsvHue()) % 360;
    const int hueOff = seen.hsvHue() < 0 ? 360 : std::min(turn, 360 - turn);
    const int ownRgb[] = {own.red(), own.green(), own.blue()};
    const int seenRgb[] = {seen.red(), seen.green(), seen.blue()};
    const int lead = int(std::max_element(ownRgb, ownRgb + 3) - ownRgb);
    int ownMargin = 255, seenMargin = 255;
    for (int i = 0; i < 3; ++i)
        if (i != lead) {
            ownMargin = std::min(ownMargin, ownRgb[lead] - ownRgb[i]);
            seenMargin = std::min(seenMargin, seenRgb[lead] - seenRgb[i]);
        }
    if (hueOff > 4 || seen.hsvSaturation() < 100 || seenMargin < std::max(30, ownMargin / 2))
        return QString("%1 is not plainly of the hue of %2 (hue off %3, saturation %4, lead %5 of %6)")
            .arg(seen.name(), own.name())
            .arg(hueOff)
            .arg(seen.hsvSaturation())
            .arg(seenMargin)
            .arg(ownMargin);
    return {};
}

// The colour of the label's strokes over a bar of colour `bar` that reaches
// to x = barEnd (exclusive): the most frequent colour other than the bar's in
// the middle third, inside the frame. Invalid when there is none.
inline QColor LabelColourOverBar(const QImage &shot, const QColor &bar, int barEnd) {
    QHash<QRgb, int> seen;
    const int right = std::min(shot.width() * 2 / 3, barEnd);
    for (int y = 1; y < shot.height() - 1; ++y)
        for (int x = shot.width() / 3; x < right; ++x)
            if (shot.pixelColor(x, y) != bar)
                ++seen[shot.pixel(x, y)];
    QRgb most = 0;
    int count = 0;
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        if (it.value() > count) {
            most = it.key();
            count = it.value();
        }
    return count > 10 ? QColor(most) : QColor();
}
