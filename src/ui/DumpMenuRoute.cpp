#include "DumpMenuRoute.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace talvane {

DumpMenuRoute::DumpMenuRoute(QPlainTextEdit* dataView) : QObject(dataView), dataView(dataView) {
    qApp->installEventFilter(this);
}

bool DumpMenuRoute::eventFilter(QObject* watched, QEvent* event) {
    // Every event of the program passes here: all but these two go by at once.
    if (event->type() != QEvent::ContextMenu && event->type() != QEvent::MouseButtonPress)
        return false;
    // The view asks for no menu of its own: the copy menu opens by the press below alone.
    if (event->type() == QEvent::ContextMenu)
        return !opening && (watched == dataView || watched == dataView->viewport());
    // Taken at the window, before any widget has the press or the focus moves: while the data view
    // has the keyboard focus, the press opens the copy menu wherever it is, and the menu has it.
    if (!watched->isWindowType() ||
        static_cast<const QMouseEvent*>(event)->button() != Qt::RightButton ||
        QApplication::focusWidget() != dataView || QApplication::activePopupWidget() != nullptr)
        return false;
    const QPoint at = static_cast<const QMouseEvent*>(event)->globalPosition().toPoint();
    QContextMenuEvent request(QContextMenuEvent::Mouse, dataView->viewport()->mapFromGlobal(at),
                              at);
    opening = true;
    QCoreApplication::sendEvent(dataView->viewport(), &request);
    opening = false;
    // Without a selection there is no menu, and the press goes on as usual.
    return QApplication::activePopupWidget() != nullptr;
}

} // namespace talvane
