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
    QPainter(this).fillRect(event->rect(), palette().window());
    // A new text repaints the inside alone: the frame is drawn only where the pane is exposed.
    if (!contentsRect().contains(event->rect()))
        QFrame::paintEvent(event);
    // Where a label puts its text: inside the margin, indented by half an "x" in a frame.
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    int indentation = indent();
    if (indentation < 0 && frameWidth() > 0)
        indentation = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin();
    area.setLeft(area.left() + indentation);
    QPainter painter(this);
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

} // namespace talvane
