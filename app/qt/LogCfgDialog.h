#pragma once
// The log configuration dialog.
#include "app/qt/FormDialog.h"

struct TLogCfgForm;

class LogCfgDialog : public FormDialog {
public:
    LogCfgDialog(TLogCfgForm &form, ViewBinder &views, QtDialogs &dialogs, QWidget *parent);
    QWidget *Widget(const char *name) const;
};
