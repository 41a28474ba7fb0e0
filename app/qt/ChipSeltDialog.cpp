#include "app/qt/ChipSeltDialog.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

#include "chips/ChipMenu.h"
#include "forms/ChipSeltForm.h"

ChipSeltDialog::ChipSeltDialog(VltContext &ctx, TChipSeltForm &form, ViewBinder &views, QtDialogs &dialogs,
                               QWidget *parent)
    : FormDialog(form, views, dialogs, parent), Ctx(ctx), Form(form) {
    setObjectName("ChipSeltForm");
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->move(form.Label1.Left, form.Label1.Top);
    Label1->installEventFilter(this);
    views.Bind(form.Label1, Label1);
    Label1->adjustSize();
    PopupMenu = views.Bind(form.PopupMenuXF, this);
    PopupMenu->setObjectName("PopupMenuXF");
}

void ChipSeltDialog::Sync() {
    if (isVisible() && (x() != Form.Left || y() != Form.Top) && Form.Showing)
        move(Form.Left, Form.Top);
    if (isVisible() && Label1->size() != Label1->sizeHint())
        Label1->adjustSize();
    if (!Form.Showing && PopupMenu->isVisible())
        PopupMenu->hide(); // a choice closed the form
    FormDialog::Sync();
}

void ChipSeltDialog::Shown() {
    FormShow(Ctx, Form);
}

void ChipSeltDialog::mousePressEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton)
        Views.Run()([this] { FormClick(Ctx, Form); });
    FormDialog::mousePressEvent(e);
}

bool ChipSeltDialog::eventFilter(QObject *o, QEvent *e) {
    if (o == Label1 && e->type() == QEvent::MouseButtonPress) {
        Views.Run()([this] { Label1Click(Ctx, Form); });
        return true;
    }
    return FormDialog::eventFilter(o, e);
}
