#pragma once
// The About box: a fixed dialog built from the TAboutForm model.
#include <QDialog>

namespace fwug {

struct TAboutForm;

class TAboutDialog : public QDialog {
public:
    TAboutDialog(TAboutForm &form, QWidget *parent = nullptr);
};

} // namespace fwug
