#include "forms/qt/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "forms/Controls.h"
#include "forms/qt/FileFilter.h"

QtDialogs::QtDialogs(QWidget *parent, QString title) : Parent(parent), Title(std::move(title)) {}

void QtDialogs::Box(int icon, const QString &title, const std::string &text) {
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, QString::fromStdString(text),
                    QMessageBox::Ok, Parent);
    box.exec();
}

void QtDialogs::Information(const std::string &text) {
    Box(QMessageBox::Information, "Information", text);
}
void QtDialogs::Error(const std::string &text) {
    Box(QMessageBox::Critical, "Error", text);
}
void QtDialogs::Message(const std::string &text) {
    Box(QMessageBox::NoIcon, Title, text);
}

std::optional<std::string> QtDialogs::File(TFileDialog &dlg, bool save) {
    QFileDialog fd(Parent, QString::fromStdString(dlg.Title));
    fd.setOption(QFileDialog::DontUseNativeDialog);
    fd.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    fd.setFileMode(save || !dlg.FileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(dlg.Filter);
    if (!filters.isEmpty())
        fd.setNameFilters(filters);
    fd.setDefaultSuffix(QtDefaultSuffix(dlg.DefaultExt));
    if (!dlg.InitialDir.empty())
        fd.setDirectory(QString::fromStdString(dlg.InitialDir));
    if (!dlg.FileName.empty()) {
        const QFileInfo last(QString::fromStdString(dlg.FileName));
        if (dlg.InitialDir.empty() && last.dir().exists())
            fd.setDirectory(last.dir());
        fd.selectFile(last.fileName());
    }
    if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty())
        return std::nullopt;
    dlg.FileName = fd.selectedFiles().first().toStdString();
    return dlg.FileName;
}

std::optional<std::string> QtDialogs::OpenFile(TFileDialog &dlg) {
    return File(dlg, false);
}
std::optional<std::string> QtDialogs::SaveFile(TFileDialog &dlg) {
    return File(dlg, true);
}

void QtDialogs::SetClipboardText(const std::string &text) {
    QApplication::clipboard()->setText(QString::fromStdString(text));
}

void QtDialogs::Beep() {
    QApplication::beep();
}

void QtDialogs::RegisterForm(const TForm &form, std::function<void()> exec) {
    Forms[&form] = std::move(exec);
}

void QtDialogs::ShowModal(TForm &form) {
    auto it = Forms.find(&form);
    form.Showing = true;
    if (it != Forms.end())
        it->second();
    form.Showing = false;
}
