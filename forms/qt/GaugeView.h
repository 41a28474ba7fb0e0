#pragma once
// A progress gauge drawn by itself: a grey frame, a white trough, the bar in
// its bar colour and the percentage in the middle. The part of the text over
// the bar is drawn in black or white, whichever stands out more against the
// bar, the rest in the text colour. A disabled gauge is drawn greyed, its bar
// only dimmed, so that a red bar still reads as a failure. It fills every
// pixel it owns, so a new value repaints the gauge alone and nothing beneath
// it.
#include <QColor>
#include <QHash>
#include <QProgressBar>
#include <QStaticText>

class GaugeView : public QProgressBar {
public:
    explicit GaugeView(QWidget *parent = nullptr);

    // The palette's Highlight until set.
    QColor BarColour() const;
    void SetBarColour(const QColor &c);

    // Black or white, whichever has the higher contrast against `back`.
    static QColor ReadableOn(const QColor &back);

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    // The label laid out in the label's font, once per text: a gauge shows
    // at most the 101 percentages, drawn twice per paint.
    const QStaticText &Label(const QString &text, const QFont &font);
    QColor Bar;
    QHash<QString, QStaticText> Labels;
};
