#include "forms/qt/MemoView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>

#include "forms/qt/SteadyScrollBar.h"

namespace {
constexpr int kMargin = 4; // left and right of the text, as a text panel has
constexpr qreal kUnwrapped = 1e6;
} // namespace

MemoView::MemoView(QWidget *parent) : QAbstractScrollArea(parent) {
    // Lines come one by one: the bar repaints only when its slider moves.
    Bar = new SteadyScrollBar(Qt::Vertical, this);
    setVerticalScrollBar(Bar);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // lines wrap until told otherwise
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    ShowRanges();
}

MemoView::~MemoView() = default;

void MemoView::SetWrap(bool wrap) {
    if (Wrap == wrap)
        return;
    Wrap = wrap;
    setHorizontalScrollBarPolicy(Wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    MeasureWidest();
    ForgetLayouts();
    ShowRanges();
    viewport()->update();
}

void MemoView::MeasureWidest() {
    Widest = 0;
    if (!Wrap)
        for (const QString &l : Lines)
            Widest = std::max(Widest, fontMetrics().horizontalAdvance(l));
}

int MemoView::RowHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

QTextLayout &MemoView::Layout(qsizetype line) const {
    auto &slot = Layouts[line];
    if (slot)
        return *slot;
    slot = std::make_unique<QTextLayout>(Lines[static_cast<size_t>(line)], font());
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(Wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    slot->setTextOption(option);
    slot->setCacheEnabled(true);
    const qreal width = Wrap ? std::max(1, viewport()->width() - 2 * kMargin) : kUnwrapped;
    const int row = RowHeight();
    slot->beginLayout();
    for (int y = 0;; y += row) {
        QTextLine l = slot->createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(width);
        l.setPosition(QPointF(0, y));
    }
    slot->endLayout();
    return *slot;
}

int MemoView::Height(qsizetype line) const {
    return Wrap ? std::max(1, Layout(line).lineCount()) * RowHeight() : RowHeight();
}

int MemoView::Distance(qsizetype from, qsizetype to, int limit) const {
    int y = 0;
    for (qsizetype i = from; i < std::min(to, LineCount()) && y <= limit; ++i)
        y += Height(i);
    return y;
}

qsizetype MemoView::LastTop() const {
    const int h = viewport()->height();
    int y = 0;
    for (qsizetype i = LineCount() - 1; i >= 0; --i) {
        y += Height(i);
        if (y > h)
            return std::min(i + 1, LineCount() - 1);
    }
    return 0;
}

bool MemoView::AtEnd() const {
    return Top >= LastTop();
}

void MemoView::ShowRanges() {
    QScrollBar *v = verticalScrollBar();
    v->setSingleStep(1);
    v->setPageStep(std::max(1, viewport()->height() / RowHeight()));
    v->setRange(0, static_cast<int>(std::min<qsizetype>(LastTop(), INT_MAX)));
    if (!Wrap) {
        QScrollBar *h = horizontalScrollBar();
        h->setSingleStep(2 * RowHeight());
        h->setPageStep(viewport()->width());
        h->setRange(0, std::max(0, Widest + 2 * kMargin - viewport()->width()));
    }
}

void MemoView::ForgetLayouts() {
    Layouts.clear();
}

void MemoView::KeepLayoutsNearView() const {
    const qsizetype rows = std::max(1, viewport()->height() / RowHeight());
    if (static_cast<qsizetype>(Layouts.size()) <= 4 * rows + 64)
        return;
    std::erase_if(
        Layouts, [&](const auto &entry) { return entry.first < Top - rows || entry.first > Top + 2 * rows; });
}

void MemoView::Append(const QStringList &lines) {
    if (lines.isEmpty())
        return;
    const bool follow = AtEnd();
    const qsizetype first = LineCount();
    for (const QString &l : lines) {
        Lines.push_back(l);
        if (!Wrap)
            Widest = std::max(Widest, fontMetrics().horizontalAdvance(l));
    }
    {
        Deferral::Hold batch(Bar->Moves());
        ShowRanges();
        if (follow)
            Bar->setValue(Bar->maximum());
    }
    // Only the new lines need painting; what was in view has been moved.
    const int h = viewport()->height();
    const int y = Distance(Top, first, h);
    if (first >= Top && y < h)
        viewport()->update(0, y, viewport()->width(), h - y);
}

void MemoView::Clear() {
    Lines.clear();
    ForgetLayouts();
    Anchor = Cursor = {};
    Selecting = false;
    Widest = 0;
    Top = 0;
    ShowRanges();
    viewport()->update();
}

QString MemoView::Text() const {
    QString out;
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += Lines[i];
    }
    return out;
}

MemoView::Pos MemoView::PosOf(qsizetype offset) const {
    for (qsizetype i = 0; i < LineCount(); ++i) {
        const qsizetype length = Lines[static_cast<size_t>(i)].size();
        if (offset <= length)
            return {i, std::max<qsizetype>(0, offset)};
        offset -= length + 1;
    }
    return End();
}

MemoView::Pos MemoView::End() const {
    return Lines.empty() ? Pos{} : Pos{LineCount() - 1, Lines.back().size()};
}

void MemoView::Select(qsizetype start, qsizetype end) {
    Anchor = PosOf(start);
    Cursor = PosOf(end);
    viewport()->update();
}

void MemoView::SelectAll() {
    Anchor = {};
    Cursor = End();
    viewport()->update();
}

QString MemoView::SelectedText() const {
    const auto [from, to] = Selected();
    QString out;
    for (qsizetype i = from.Line; i <= to.Line && i < LineCount(); ++i) {
        const QString &l = Lines[static_cast<size_t>(i)];
        const qsizetype a = i == from.Line ? from.Column : 0;
        const qsizetype b = i == to.Line ? to.Column : l.size();
        out += l.mid(a, b - a);
        if (i < to.Line)
            out += '\n';
    }
    return out;
}

void MemoView::OfferSelection() const {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void MemoView::paintEvent(QPaintEvent *e) {
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Text));
    const QRect area = e->rect();
    const qreal x = kMargin - (Wrap ? 0 : horizontalScrollBar()->value());
    const auto [from, to] = Selected();
    QTextLayout::FormatRange selected;
    selected.format.setBackground(palette().brush(QPalette::Highlight));
    selected.format.setForeground(palette().brush(QPalette::HighlightedText));
    int y = 0;
    for (qsizetype i = Top; i < LineCount() && y <= area.bottom(); ++i) {
        const int height = Height(i);
        if (y + height > area.top()) {
            QList<QTextLayout::FormatRange> ranges;
            if (from != to && i >= from.Line && i <= to.Line) {
                selected.start = static_cast<int>(i == from.Line ? from.Column : 0);
                selected.length = static_cast<int>(
                    (i == to.Line ? to.Column : Lines[static_cast<size_t>(i)].size()) - selected.start);
                if (selected.length > 0)
                    ranges.push_back(selected);
            }
            Layout(i).draw(&p, QPointF(x, y), ranges);
        }
        y += height;
    }
    KeepLayoutsNearView();
}

void MemoView::resizeEvent(QResizeEvent *e) {
    const bool follow = AtEnd();
    QAbstractScrollArea::resizeEvent(e);
    if (Wrap)
        ForgetLayouts();
    ShowRanges();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void MemoView::changeEvent(QEvent *e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() != QEvent::FontChange)
        return;
    ForgetLayouts();
    MeasureWidest();
    ShowRanges();
    viewport()->update();
}

void MemoView::scrollContentsBy(int dx, int dy) {
    if (dx)
        viewport()->scroll(dx, 0);
    if (!dy)
        return;
    const qsizetype was = Top;
    Top = verticalScrollBar()->value();
    // The lines still in view move as a picture; only the rest is painted.
    const int h = viewport()->height();
    const int moved = Top > was ? -Distance(was, Top, h) : Distance(Top, was, h);
    if (std::abs(moved) < h)
        viewport()->scroll(0, moved);
    else
        viewport()->update();
    KeepLayoutsNearView();
}

MemoView::Pos MemoView::At(QPoint p) const {
    if (Lines.empty())
        return {};
    const int h = viewport()->height();
    const int py = std::clamp(p.y(), 0, std::max(0, h - 1));
    const qreal px = p.x() - kMargin + (Wrap ? 0 : horizontalScrollBar()->value());
    int y = 0;
    for (qsizetype i = Top; i < LineCount(); ++i) {
        const int height = Height(i);
        if (py < y + height) {
            QTextLayout &l = Layout(i);
            const int row = std::clamp((py - y) / RowHeight(), 0, std::max(0, l.lineCount() - 1));
            return {i, l.lineCount() > 0 ? l.lineAt(row).xToCursor(px) : 0};
        }
        y += height;
    }
    return End();
}

void MemoView::mousePressEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    Cursor = At(e->position().toPoint());
    if (!(e->modifiers() & Qt::ShiftModifier))
        Anchor = Cursor;
    Selecting = true;
    viewport()->update();
}

void MemoView::mouseMoveEvent(QMouseEvent *e) {
    if (!Selecting || !(e->buttons() & Qt::LeftButton))
        return;
    // Dragging past an edge scrolls, a line per move.
    const QPoint p = e->position().toPoint();
    if (p.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (p.y() >= viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const Pos at = At(p);
    if (at != Cursor) {
        Cursor = at;
        viewport()->update();
    }
}

void MemoView::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton || !Selecting)
        return;
    Selecting = false;
    OfferSelection();
}

void MemoView::mouseDoubleClickEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton || Lines.empty())
        return;
    const Pos at = At(e->position().toPoint());
    Anchor = {at.Line, 0};
    Cursor = {at.Line, Lines[static_cast<size_t>(at.Line)].size()};
    Selecting = false;
    viewport()->update();
    OfferSelection();
}

void MemoView::keyPressEvent(QKeyEvent *e) {
    if (e == QKeySequence::Copy) {
        if (HasSelection())
            QGuiApplication::clipboard()->setText(SelectedText());
    } else if (e == QKeySequence::SelectAll) {
        SelectAll();
    } else if (e == QKeySequence::MoveToStartOfDocument) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (e == QKeySequence::MoveToEndOfDocument) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
}
