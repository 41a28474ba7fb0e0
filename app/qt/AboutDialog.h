#pragma once
// The About box: two lines, a picture and OK.
#include "app/qt/FormDialog.h"

struct TAboutForm;

class AboutDialog : public FormDialog {
public:
    AboutDialog(TAboutForm &form, ViewBinder &views, QtDialogs &dialogs, QWidget *parent);
};
