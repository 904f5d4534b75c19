#include "HelpWindow.h"

#include <QUrl>

namespace talvane {

namespace {

const QString FallbackTitle = QString::fromUtf8("Talvane 帮助");

} // namespace

HelpWindow::HelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setWindowFlag(Qt::Window);
    setOpenExternalLinks(true);
    resize(720, 560);
}

void HelpWindow::ShowFile(const std::filesystem::path& file) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(file, ignored)) {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
        // Read again on every Help: the same source alone would not be reloaded.
        if (source() == url)
            reload();
        else
            setSource(url);
    } else {
        // Help is no reason to interrupt the user with a message box.
        setPlainText(QString::fromUtf8("找不到帮助文件: ") + QString::fromStdString(file.string()));
    }
    setWindowTitle(documentTitle().isEmpty() ? FallbackTitle : documentTitle());
    show();
    raise();
    activateWindow();
}

} // namespace talvane
