#pragma once
// The chip selection window: its label and the popup menu of chip models.
#include "app/qt/FormDialog.h"

struct TChipSeltForm;
struct VltContext;
class QLabel;
class QMenu;

class ChipSeltDialog : public FormDialog {
public:
    ChipSeltDialog(VltContext &ctx, TChipSeltForm &form, ViewBinder &views, QtDialogs &dialogs,
                   QWidget *parent);
    QMenu *Menu() const { return PopupMenu; }
    void Sync() override;

protected:
    void Shown() override;
    void mousePressEvent(QMouseEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    VltContext &Ctx;
    TChipSeltForm &Form;
    QLabel *Label1;
    QMenu *PopupMenu;
};
