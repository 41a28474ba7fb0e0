#include "forms/qt/ViewBinder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <climits>

#include "forms/qt/GaugeView.h"
#include "forms/qt/GridModel.h"
#include "forms/qt/MemoView.h"

QColor QtColor(TColor c) {
    switch (c) {
    case TColor::Blue:
        return QColor(0, 0, 255);
    case TColor::Red:
        return QColor(255, 0, 0);
    case TColor::Navy:
        return QColor(0, 0, 128);
    case TColor::Black:
        return QColor(0, 0, 0);
    case TColor::White:
        return QColor(255, 255, 255);
    case TColor::Default:
        break;
    }
    return {};
}

QString QtText(const std::string &s) {
    return QString::fromStdString(s);
}

namespace {

// The parts of every control: visibility, enabled state, hint, focus and font.
struct ControlState {
    TControl &M;
    QWidget *W;
    unsigned SeenFocus;
    QRect SeenBounds;
    // The widget's own font and palette, and the model's font they were last shown with.
    QFont BaseFont;
    QPalette BasePalette;
    std::string SeenFontName;
    bool SeenFontBold;
    TColor SeenFontColor;
    ControlState(TControl &m, QWidget *w)
        : M(m), W(w), SeenFocus(m.FocusRequests), SeenBounds(m.Left, m.Top, m.Width, m.Height),
          BaseFont(w->font()), BasePalette(w->palette()) {
        ShowFont();
    }
    void ShowFont() {
        SeenFontName = M.FontName;
        SeenFontBold = M.FontBold;
        SeenFontColor = M.FontColor;
        QFont f = BaseFont;
        if (!M.FontName.empty()) {
            // Fallbacks keep CJK text readable where the named font is missing.
            f.setFamilies({QtText(M.FontName), "SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
        }
        if (M.FontBold)
            f.setBold(true);
        W->setFont(f);
        QPalette p = BasePalette;
        if (M.FontColor != TColor::Default) {
            p.setColor(QPalette::WindowText, QtColor(M.FontColor));
            p.setColor(QPalette::Text, QtColor(M.FontColor));
            p.setColor(QPalette::ButtonText, QtColor(M.FontColor));
        }
        if (W->palette() != p)
            W->setPalette(p);
    }
    void Sync() {
        if (W->isHidden() == M.Visible)
            W->setVisible(M.Visible);
        if (W->isEnabled() != M.Enabled)
            W->setEnabled(M.Enabled);
        const QString hint = QtText(M.Hint);
        if (W->toolTip() != hint)
            W->setToolTip(hint);
        // A handler that moves or sizes a control (the window lays out by the
        // model at creation) is followed; a zero size keeps the widget's own.
        const QRect bounds(M.Left, M.Top, M.Width, M.Height);
        if (bounds != SeenBounds) {
            SeenBounds = bounds;
            if (M.Width > 0 && M.Height > 0)
                W->setGeometry(bounds);
            else
                W->move(M.Left, M.Top);
        }
        if (M.FocusRequests != SeenFocus) {
            SeenFocus = M.FocusRequests;
            W->setFocus(Qt::OtherFocusReason);
        }
        if (M.FontName != SeenFontName || M.FontBold != SeenFontBold || M.FontColor != SeenFontColor)
            ShowFont();
    }
};

// Refuses typing that would make the text longer than the model's limit;
// shorter edits of a longer text (written by a handler) are allowed. The
// model holds the text shown before this edit.
class TypingLimit : public QValidator {
public:
    TypingLimit(const TEdit &m, QObject *parent) : QValidator(parent), M(m) {}
    State validate(QString &input, int &) const override {
        if (M.MaxLength <= 0 || input.size() <= M.MaxLength)
            return Acceptable;
        return input.size() > QtText(M.Text()).size() ? Invalid : Acceptable;
    }

private:
    const TEdit &M;
};

// Shows the model's selection: its byte offsets in the CR LF text become
// positions in the view's text, which has LF line breaks and no final one.
void MemoSelect(const TMemo &m, MemoView *w) {
    const std::string text = m.Text();
    auto position = [&](size_t bytes) {
        QString head = QtText(text.substr(0, std::min(bytes, text.size())));
        head.remove('\r');
        return head.size();
    };
    w->Select(position(m.SelStart), position(m.SelStart + m.SelLength));
}

} // namespace

template <class M, class F> ViewBinder::Binding *ViewBinder::Add(M &model, F sync) {
    struct B : Binding {
        F Fn;
        explicit B(F f) : Fn(std::move(f)) {}
        void Sync() override { Fn(); }
    };
    Bindings.push_back(std::make_unique<B>(std::move(sync)));
    Binding &b = *Bindings.back();
    b.Index = Bindings.size() - 1;
    Watch(b, model.Changes);
    b.Sync();
    return &b;
}

void ViewBinder::Watch(Binding &b, TChangeCount &model) {
    model.Watch(Changes);
    Showing[&model].push_back(&b);
}

template <class M> void ViewBinder::RunTouched(M &model, const Action &a) {
    model.Changes.Bump();
    RunAction(a);
}

ViewBinder::ViewBinder(Runner run) : RunAction(std::move(run)) {}
ViewBinder::~ViewBinder() {
    // Widgets may outlive the binder (children go after their window's
    // members): no signal of theirs may reach it then.
    for (const auto &c : Connections)
        QObject::disconnect(c);
}

void ViewBinder::Refresh() {
    if (Changes->Changed.empty())
        return;
    // Taken first: a model changed while widgets are written is listed for
    // the next refresh.
    std::vector<const void *> changed;
    changed.swap(Changes->Changed);
    ++Changes->Round;
    ++Refreshes;
    std::vector<Binding *> due;
    for (const void *model : changed) {
        auto it = Showing.find(model);
        if (it == Showing.end())
            continue;
        for (Binding *b : it->second)
            if (b->ShownIn != Refreshes) {
                b->ShownIn = Refreshes;
                due.push_back(b);
            }
    }
    std::sort(due.begin(), due.end(), [](const Binding *a, const Binding *b) { return a->Index < b->Index; });
    for (Binding *b : due) {
        ++SyncCount;
        b->Sync();
    }
}

void ViewBinder::BindControl(TControl &m, QWidget *w) {
    Add(m, [s = ControlState(m, w)]() mutable { s.Sync(); });
}

void ViewBinder::Bind(TButton &m, QAbstractButton *w, Action handler) {
    Connections.push_back(QObject::connect(w, &QAbstractButton::clicked, w, [this, &m, handler] {
        RunTouched(m, [&m, handler] {
            if (handler)
                handler();
            else
                m.Click();
        });
    }));
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        if (w->text() != QtText(m.Caption))
            w->setText(QtText(m.Caption));
    });
}

void ViewBinder::Bind(TMenuItem &m, QAction *w, Action handler) {
    BindItem(m, w, std::move(handler), false);
}

void ViewBinder::BindItem(TMenuItem &m, QAction *w, Action handler, bool literal) {
    if (!m.ShortCut.empty())
        w->setShortcut(QKeySequence(QtText(m.ShortCut)));
    Connections.push_back(QObject::connect(w, &QAction::triggered, w, [this, &m, handler] {
        RunTouched(m, [&m, handler] {
            if (handler)
                handler();
            else
                m.Click();
        });
    }));
    Add(m, [&m, w, literal] {
        QString caption = QtText(m.Caption);
        if (literal)
            caption.replace('&', "&&"); // shown as written, no mnemonic
        if (w->text() != caption)
            w->setText(caption);
        if (w->isVisible() != m.Visible)
            w->setVisible(m.Visible);
        if (w->isEnabled() != m.Enabled)
            w->setEnabled(m.Enabled);
    });
}

void ViewBinder::Bind(TCheckBox &m, QCheckBox *w) {
    Connections.push_back(QObject::connect(w, &QCheckBox::clicked, w, [this, &m](bool checked) {
        RunTouched(m, [&m, checked] { m.SetChecked(checked); });
    }));
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        const QSignalBlocker block(w);
        if (w->isChecked() != m.Checked())
            w->setChecked(m.Checked());
        if (w->text() != QtText(m.Caption))
            w->setText(QtText(m.Caption));
    });
}

void ViewBinder::Bind(TRadioGroup &m, QGroupBox *w) {
    auto *group = new QButtonGroup(w);
    auto *layout = new QGridLayout(w);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    const int columns = std::max<int>(m.Columns, 1);
    for (size_t i = 0; i < m.Items.size(); ++i) {
        auto *b = new QRadioButton(QtText(m.Items[i]), w);
        const int idx = static_cast<int>(i);
        group->addButton(b, idx);
        layout->addWidget(b, idx / columns, idx % columns);
        Connections.push_back(QObject::connect(b, &QRadioButton::clicked, w, [this, &m, idx] {
            RunTouched(m, [&m, idx] {
                m.ItemIndex = idx;
                if (m.OnClick)
                    m.OnClick();
            });
        }));
    }
    Add(m, [&m, w, group, s = ControlState(m, w)]() mutable {
        s.Sync();
        if (w->title() != QtText(m.Caption))
            w->setTitle(QtText(m.Caption));
        QAbstractButton *want = group->button(m.ItemIndex);
        if (group->checkedButton() != want) {
            // No item picked means every button off, which an exclusive group refuses.
            group->setExclusive(false);
            for (QAbstractButton *b : group->buttons()) {
                const QSignalBlocker block(b);
                b->setChecked(b == want);
            }
            group->setExclusive(true);
        }
    });
}

void ViewBinder::Bind(TSpinEdit &m, QSpinBox *w) {
    Connections.push_back(QObject::connect(w, &QSpinBox::valueChanged, w,
                                           [this, &m](int v) { RunTouched(m, [&m, v] { m.SetValue(v); }); }));
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        const QSignalBlocker block(w);
        // Setting the range stops a held arrow's repeat: only on a change.
        const int lo = m.MinValue != m.MaxValue ? std::min(m.MinValue, m.MaxValue) : INT_MIN;
        const int hi = m.MinValue != m.MaxValue ? std::max(m.MinValue, m.MaxValue) : INT_MAX;
        if (w->minimum() != lo || w->maximum() != hi)
            w->setRange(lo, hi);
        if (w->singleStep() != m.Increment)
            w->setSingleStep(m.Increment);
        if (w->value() != m.Value())
            w->setValue(m.Value());
    });
}

void ViewBinder::Bind(TEdit &m, QLineEdit *w) {
    // The length limit holds for typing only (QLineEdit's own one cuts what a
    // handler writes and resets the cursor whenever it is set).
    w->setValidator(new TypingLimit(m, w));
    Connections.push_back(QObject::connect(w, &QLineEdit::textEdited, w, [this, &m](const QString &t) {
        RunTouched(m, [&m, t] { m.SetText(t.toStdString()); });
    }));
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        const QSignalBlocker block(w);
        if (w->isReadOnly() != m.ReadOnly)
            w->setReadOnly(m.ReadOnly);
        const QString t = QtText(m.Text());
        if (w->text() != t)
            w->setText(t);
    });
}

void ViewBinder::Bind(TComboBox &m, QComboBox *w) {
    w->setEditable(true);
    w->setInsertPolicy(QComboBox::NoInsert);
    // A narrow field shows the end of a listed name, the part that tells ports
    // apart ("pts/3", "ttyUSB0"), and other texts from their start; its tip
    // gives all of it.
    QLineEdit *field = w->lineEdit();
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [field](const QString &t) { field->setToolTip(t); });
    auto showName = [w, field] {
        const QString t = field->text();
        field->setCursorPosition(w->findText(t) >= 0 ? static_cast<int>(t.size()) : 0);
    };
    Connections.push_back(QObject::connect(w, &QComboBox::activated, w, [this, &m, showName](int idx) {
        RunTouched(m, [&m, idx] {
            m.ItemIndex = idx;
            if (idx >= 0 && idx < static_cast<int>(m.Items.size()))
                m.Text = m.Items[static_cast<size_t>(idx)];
            if (m.OnChange)
                m.OnChange();
        });
        showName();
    }));
    Connections.push_back(
        QObject::connect(w->lineEdit(), &QLineEdit::textEdited, w, [this, &m](const QString &t) {
            RunTouched(m, [&m, t] {
                m.Text = t.toStdString();
                if (m.OnChange)
                    m.OnChange();
            });
        }));
    Add(m, [&m, w, field, showName, s = ControlState(m, w)]() mutable {
        s.Sync();
        const QSignalBlocker block(w);
        QStringList items;
        for (const auto &i : m.Items)
            items << QtText(i);
        QStringList shown;
        for (int i = 0; i < w->count(); ++i)
            shown << w->itemText(i);
        const bool relisted = shown != items;
        if (relisted) {
            w->clear();
            w->addItems(items);
            // The list opens as wide as its longest item, however narrow the field.
            QAbstractItemView *list = w->view();
            const int scrollBar =
                w->count() > w->maxVisibleItems() ? list->verticalScrollBar()->sizeHint().width() : 0;
            list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar);
        }
        const QString before = field->text();
        if (w->currentIndex() != m.ItemIndex)
            w->setCurrentIndex(m.ItemIndex);
        if (w->currentText() != QtText(m.Text))
            w->setEditText(QtText(m.Text));
        // A new list can make the shown text a name with no new text (its
        // first item is the text shown, and chosen); typing is not disturbed.
        if (field->text() != before || (relisted && !field->hasFocus()))
            showName();
    });
}

void ViewBinder::Bind(TGauge &m, GaugeView *w) {
    w->setTextVisible(true);
    Add(m, [&m, w, s = ControlState(m, w), colour = TColor::Default, repaints = +m.RepaintCount]() mutable {
        s.Sync();
        if (w->minimum() != m.MinValue || w->maximum() != std::max<int>(m.MaxValue(), m.MinValue))
            w->setRange(m.MinValue, std::max<int>(m.MaxValue(), m.MinValue));
        if (w->value() != m.Progress())
            w->setValue(m.Progress());
        if (colour != m.ForeColor) {
            colour = m.ForeColor;
            w->SetBarColour(QtColor(m.ForeColor));
        }
        if (repaints != m.RepaintCount) {
            // Painted with the window's next paint.
            repaints = m.RepaintCount;
            w->update();
        }
    });
}

void ViewBinder::Bind(TMemo &m, MemoView *w) {
    w->setVerticalScrollBarPolicy(m.VerticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    if (m.PopupMenu) {
        QMenu *menu = Bind(*m.PopupMenu, w);
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        Connections.push_back(
            QObject::connect(w, &QWidget::customContextMenuRequested, w,
                             [w, menu](const QPoint &p) { menu->popup(w->viewport()->mapToGlobal(p)); }));
    }
    // The view is read-only whatever the model says: typing into it would
    // show lines the model does not have.
    Add(m, [&m, w, s = ControlState(m, w), shown = size_t{0}, clears = m.ClearCount.Get()]() mutable {
        s.Sync();
        if (clears != m.ClearCount || m.Lines.size() < shown) {
            clears = m.ClearCount;
            w->Clear();
            shown = 0;
        }
        if (m.Lines.size() == shown)
            return;
        // A message may carry line breaks of its own (text from a device or a
        // file): they break the line as the text's own line ends do.
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(m.Lines.size() - shown));
        for (size_t i = shown; i < m.Lines.size(); ++i)
            lines += QtText(m.Lines[i]).remove('\r').split('\n');
        shown = m.Lines.size();
        w->Append(lines);
    });
    // After the lines are in: a handler's selection is shown.
    Add(m, [&m, w, selects = m.SelectRequests]() mutable {
        if (selects == m.SelectRequests)
            return;
        selects = m.SelectRequests;
        MemoSelect(m, w);
    });
}

void ViewBinder::Bind(TStringGrid &m, QTableView *w) {
    auto *model = new GridModel(m, w);
    w->setModel(model);
    w->setVerticalScrollBarPolicy(m.VerticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    // Uniform rows: the view needs no per-row measuring for thousands of rows.
    w->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    w->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    w->horizontalHeader()->setMinimumSectionSize(8);
    w->setWordWrap(false);
    w->setTextElideMode(Qt::ElideNone);
    auto widths = [&m, w] {
        const int fc = std::clamp<int>(m.FixedCols, 0, 1);
        w->verticalHeader()->setDefaultSectionSize(m.DefaultRowHeight);
        w->horizontalHeader()->setDefaultSectionSize(m.DefaultColWidth);
        if (fc)
            w->verticalHeader()->setMinimumWidth(m.ColWidth(0));
        for (int c = fc; c < m.ColCount; ++c)
            w->setColumnWidth(c - fc, m.ColWidth(c));
    };
    widths();
    Add(m, [&m, w, model, widths, s = ControlState(m, w), seenWidths = m.ColWidths.Get()]() mutable {
        s.Sync();
        if (model->Sync() || seenWidths != m.ColWidths) {
            seenWidths = m.ColWidths;
            widths();
        }
    });
}

void ViewBinder::Bind(TLabel &m, QLabel *w) {
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        if (w->text() != QtText(m.Caption))
            w->setText(QtText(m.Caption));
    });
}

void ViewBinder::Bind(TPanel &m, QLabel *w) {
    Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        if (w->text() != QtText(m.Caption))
            w->setText(QtText(m.Caption));
    });
}

void ViewBinder::Bind(TPageControl &m, QTabWidget *w) {
    Connections.push_back(QObject::connect(w, &QTabWidget::currentChanged, w, [this, &m](int idx) {
        RunTouched(m, [&m, idx] { m.ActivePageIndex = idx; });
    }));
    Binding *b = Add(m, [&m, w, s = ControlState(m, w)]() mutable {
        s.Sync();
        const QSignalBlocker block(w);
        for (int i = 0; i < static_cast<int>(m.Pages.size()) && i < w->count(); ++i) {
            const TTabSheet &p = *m.Pages[static_cast<size_t>(i)];
            if (w->isTabVisible(i) != p.TabVisible)
                w->setTabVisible(i, p.TabVisible);
            if (w->tabText(i) != QtText(p.Caption))
                w->setTabText(i, QtText(p.Caption));
        }
        if (w->currentIndex() != m.ActivePageIndex)
            w->setCurrentIndex(m.ActivePageIndex);
    });
    // The tabs show their sheets' captions and visibility.
    for (TTabSheet *p : m.Pages)
        Watch(*b, p->Changes);
}

QMenu *ViewBinder::Bind(TPopupMenu &m, QWidget *parent) {
    auto *menu = new QMenu(parent);
    for (TMenuItem *item : m.Items) {
        if (item->IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        BindItem(*item, menu->addAction(QString()), {}, !m.AutoHotkeys);
    }
    Add(m, [&m, menu, seen = m.PopupRequests.Get()]() mutable {
        if (seen == m.PopupRequests)
            return;
        seen = m.PopupRequests;
        menu->popup(QPoint(m.PopupX, m.PopupY));
    });
    return menu;
}
