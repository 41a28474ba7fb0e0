#include "fwupgrade/qt/AboutDialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "fwupgrade/FirmWareUGForm.h"

namespace fwug {

TAboutDialog::TAboutDialog(TAboutForm &form, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromStdString(form.Caption));
    setFixedSize(form.Width, form.Height);
    for (const TLabel *l : {&form.ProductName, &form.Version}) {
        auto *w = new QLabel(QString::fromStdString(l->Caption), this);
        w->setGeometry(l->Left, l->Top, l->Width, l->Height);
    }
    auto *ok = new QPushButton(QString::fromStdString(form.OKButton.Caption), this);
    ok->setGeometry(form.OKButton.Left, form.OKButton.Top, form.OKButton.Width, form.OKButton.Height);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this, &form] {
        form.Close();
        accept();
    });
    // Centred on the desktop.
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

} // namespace fwug
