#pragma once
// A modal window of the program built from its form model: shown through the
// dialogs port, closed when a handler closes the form (or by its frame).
#include <QDialog>
#include <QScreen>

#include "forms/Controls.h"
#include "forms/qt/QtDialogs.h"
#include "forms/qt/ViewBinder.h"

class FormDialog : public QDialog {
public:
    FormDialog(TForm &form, ViewBinder &views, QtDialogs &dialogs, QWidget *parent)
        : QDialog(parent), Model(form), Views(views) {
        setWindowTitle(QString::fromStdString(form.Caption));
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
        if (form.ClientSized || form.Width > 0)
            setFixedSize(form.Width, form.Height);
        dialogs.RegisterForm(form, [this] { ExecModal(); });
    }
    // After every event: a form closed by its handler ends the modal loop.
    virtual void Sync() {
        if (isVisible() && !Model.Showing)
            done(QDialog::Accepted);
    }

protected:
    // Runs once the window is on the screen, before the user can act.
    virtual void Shown() {}
    // The frame's close closes the form without any of its own checks.
    void reject() override {
        Model.Close();
        QDialog::reject();
    }
    TForm &Model;
    ViewBinder &Views;

private:
    void ExecModal() {
        Views.Refresh();
        if (Model.Position == TFormPosition::MainFormCenter && parentWidget())
            move(parentWidget()->geometry().center() - rect().center());
        else if (Model.Position != TFormPosition::Designed && screen())
            move(screen()->availableGeometry().center() - rect().center());
        QMetaObject::invokeMethod(
            this, [this] { Views.Run()([this] { Shown(); }); }, Qt::QueuedConnection);
        exec();
    }
};
