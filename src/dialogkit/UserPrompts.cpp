#include "UserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace talvane {

namespace UserPrompts {

namespace {

// The window that asks: the modal dialog that runs now, which the main window itself is while
// the program runs, or else the active window.
QWidget* AskingWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

void MessageBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvane"), text, QMessageBox::Ok,
                    AskingWindow());
    // Messages quote paths, names and patterns from outside the program: never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString FileDialog(const FileChoice& choice) {
    QFileDialog dialog(AskingWindow());
    const bool save = choice.mode == FileChoice::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(choice.nameFilter);
    dialog.setDefaultSuffix(choice.defaultSuffix);
    if (!choice.defaultName.isEmpty())
        dialog.selectFile(choice.defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace UserPrompts

} // namespace talvane
