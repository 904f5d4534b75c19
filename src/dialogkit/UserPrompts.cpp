#include "UserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

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
    // The box is only as wide as its text, which may leave its caption no room in the title bar
    // beside the window manager's icon and buttons: it is made as wide as the caption in bold and
    // eight squares a line high, four for the icon and three buttons and as many to spare.
    QFont captionFont = box.font();
    captionFont.setBold(true);
    const QFontMetrics caption(captionFont);
    auto* grid = static_cast<QGridLayout*>(box.layout());
    grid->addItem(
        new QSpacerItem(caption.horizontalAdvance(box.windowTitle()) + 8 * caption.height(), 0,
                        QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
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
