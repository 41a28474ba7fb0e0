#pragma once
// The dialogs port over the toolkit: modal QMessageBox boxes, QFileDialog,
// the clipboard and the beep. Every modal call runs Qt's nested event loop,
// so posted serial events and timers go on being handled meanwhile.
#include <QString>
#include <functional>
#include <map>

#include "forms/Dialogs.h"

class QWidget;

class QtDialogs : public TDialogs {
public:
    // Boxes are centred on parent; title is the application's title, used
    // for plain boxes.
    QtDialogs(QWidget *parent, QString title);

    void Information(const std::string &text) override;
    void Error(const std::string &text) override;
    void Message(const std::string &text) override;
    std::optional<std::string> OpenFile(TFileDialog &dlg) override;
    std::optional<std::string> SaveFile(TFileDialog &dlg) override;
    void SetClipboardText(const std::string &text) override;
    void Beep() override;
    void ShowModal(TForm &form) override;

    // How a form is shown modally: the view of the form runs its dialog and
    // returns when the form is closed.
    void RegisterForm(const TForm &form, std::function<void()> exec);
    void SetParent(QWidget *parent) { Parent = parent; }

private:
    void Box(int icon, const QString &title, const std::string &text);
    std::optional<std::string> File(TFileDialog &dlg, bool save);
    QWidget *Parent;
    QString Title;
    std::map<const TForm *, std::function<void()>> Forms;
};
