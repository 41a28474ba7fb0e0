#include "app/qt/LogCfgDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "forms/LogCfgForm.h"

namespace {

template <class W> W *Make(const char *name, QWidget *parent, const TControl &m) {
    auto *w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(m.Left, m.Top, m.Width, m.Height);
    return w;
}

} // namespace

LogCfgDialog::LogCfgDialog(TLogCfgForm &form, ViewBinder &views, QtDialogs &dialogs, QWidget *parent)
    : FormDialog(form, views, dialogs, parent) {
    setObjectName("LogCfgForm");
    views.Bind(form.CheckBoxLog, Make<QCheckBox>("CheckBoxLog", this, form.CheckBoxLog));
    views.Bind(form.RadioGrpCreat, Make<QGroupBox>("RadioGrpCreat", this, form.RadioGrpCreat));
    views.Bind(form.RadioGrpMod, Make<QGroupBox>("RadioGrpMod", this, form.RadioGrpMod));
    views.Bind(form.Label1, Make<QLabel>("Label1", this, form.Label1));
    views.Bind(form.EditLogName, Make<QLineEdit>("EditLogName", this, form.EditLogName));
    views.Bind(form.SpeedButtonOP, Make<QPushButton>("SpeedButtonOP", this, form.SpeedButtonOP));
    auto *ok = Make<QPushButton>("OK", this, form.OK);
    ok->setAutoDefault(false);
    views.Bind(form.OK, ok);
}

QWidget *LogCfgDialog::Widget(const char *name) const {
    return findChild<QWidget *>(name);
}
