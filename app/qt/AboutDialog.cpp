#include "app/qt/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/qt/Pictures.h"
#include "forms/AboutForm.h"

AboutDialog::AboutDialog(TAboutForm &form, ViewBinder &views, QtDialogs &dialogs, QWidget *parent)
    : FormDialog(form, views, dialogs, parent) {
    setObjectName("AboutForm");
    auto *icon = new QLabel(this);
    icon->setGeometry(form.ProgramIcon.Left, form.ProgramIcon.Top, form.ProgramIcon.Width,
                      form.ProgramIcon.Height);
    icon->setScaledContents(form.ProgramIcon.Stretch);
    icon->setPixmap(Picture(form.ProgramIcon.Picture));
    for (TLabel *l : {&form.ProductName, &form.Version}) {
        auto *w = new QLabel(this);
        w->move(l->Left, l->Top);
        views.Bind(*l, w);
        w->adjustSize();
    }
    auto *ok = new QPushButton(this);
    ok->setObjectName("OKButton");
    ok->setGeometry(form.OKButton.Left, form.OKButton.Top, form.OKButton.Width, form.OKButton.Height);
    views.Bind(form.OKButton, ok);
}
