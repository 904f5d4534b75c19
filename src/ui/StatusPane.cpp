#include "StatusPane.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace talvane {

StatusPane::StatusPane(const QString& text, QWidget* parent) : QLabel(text, parent), shown(text) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The pane paints all of itself, so a new text repaints nothing behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusPane::SetText(const QString& text) {
    if (text == shown)
        return;
    shown = text;
    update(contentsRect());
}

void StatusPane::paintEvent(QPaintEvent* event) {
    // A new text repaints the inside alone: the frame is drawn only where the pane is exposed, and
    // then under the text, each with a painter of its own.
    const bool exposed = !contentsRect().contains(event->rect());
    if (exposed) {
        QPainter(this).fillRect(event->rect(), palette().window());
        QFrame::paintEvent(event);
    }
    // Where a label puts its text: inside the margin, indented by half an "x" in a frame.
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    int indentation = indent();
    if (indentation < 0 && frameWidth() > 0)
        indentation = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin();
    area.setLeft(area.left() + indentation);
    QPainter painter(this);
    if (!exposed)
        painter.fillRect(event->rect(), palette().window());
    const Qt::Alignment placed = QStyle::visualAlignment(layoutDirection(), alignment());
    // The style draws a label's text with drawText in the text colour; the running clock's new
    // text every tenth of a second is drawn so without being laid out again.
    if ((placed & ~Qt::AlignAbsolute) == (Qt::AlignLeft | Qt::AlignVCenter) && isEnabled() &&
        !shown.isEmpty()) {
        painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
        textLine.Draw(painter, area, shown);
        return;
    }
    style()->drawItemText(&painter, area, placed, palette(), isEnabled(), shown, foregroundRole());
}

} // namespace talvane
