#pragma once
// A read-only panel of text lines that only grows at its end or starts over,
// as the programs' information panels do. It keeps no text document: it lays
// out and draws only the lines in view, so a line costs the same at any
// length of the panel. A line added while the end is in view scrolls the
// picture up and paints the new line alone.
//
// The view scrolls by whole lines, as a text panel does; a line longer than
// the panel wraps, or, without wrapping, the panel scrolls sideways. The
// operator selects with the mouse (a double click takes a line), copies with
// the usual keys, and scrolls with the wheel, the keys and the bar.
#include <QAbstractScrollArea>
#include <QString>
#include <QStringList>
#include <memory>
#include <unordered_map>
#include <vector>

class QTextLayout;
class SteadyScrollBar;

class MemoView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit MemoView(QWidget *parent = nullptr);
    ~MemoView() override;

    void SetWrap(bool wrap);
    bool Wraps() const { return Wrap; }
    void Append(const QStringList &lines);
    void Clear();

    qsizetype LineCount() const { return static_cast<qsizetype>(Lines.size()); }
    // All lines, joined by '\n'.
    QString Text() const;
    // The selection, in characters of Text(); start == end selects nothing.
    void Select(qsizetype start, qsizetype end);
    void SelectAll();
    bool HasSelection() const { return Anchor != Cursor; }
    QString SelectedText() const;
    // The first line in view, and whether the last line is in view.
    qsizetype TopLine() const { return Top; }
    bool AtEnd() const;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    struct Pos {
        qsizetype Line = 0, Column = 0;
        auto operator<=>(const Pos &) const = default;
    };
    QTextLayout &Layout(qsizetype line) const;
    int Height(qsizetype line) const;
    int RowHeight() const;
    // Without wrapping: the widest line, which sets the sideways range.
    void MeasureWidest();
    // Pixels from the top of line `from` to the top of line `to` (from <= to),
    // or more than `limit` once that is passed.
    int Distance(qsizetype from, qsizetype to, int limit) const;
    // The highest first line that still shows the last line.
    qsizetype LastTop() const;
    void ShowRanges();
    void ForgetLayouts();
    void KeepLayoutsNearView() const;
    Pos At(QPoint p) const;
    Pos PosOf(qsizetype offset) const;
    Pos End() const; // after the last character
    std::pair<Pos, Pos> Selected() const { return std::minmax(Anchor, Cursor); }
    void OfferSelection() const;

    SteadyScrollBar *Bar = nullptr;
    std::vector<QString> Lines;
    mutable std::unordered_map<qsizetype, std::unique_ptr<QTextLayout>> Layouts;
    qsizetype Top = 0;
    Pos Anchor, Cursor;
    bool Selecting = false;
    bool Wrap = true;
    int Widest = 0; // without wrapping: the widest line, in pixels
};
