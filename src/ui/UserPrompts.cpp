#include "UserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace UserPrompts {

void MessageBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvane"), text, QMessageBox::Ok);
    box.exec();
}

QString FileDialog(const FileChoice& choice) {
    QFileDialog dialog;
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
