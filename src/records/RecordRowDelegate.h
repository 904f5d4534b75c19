#pragma once

#include <QStyledItemDelegate>

namespace talvane {

// Draws the record list's cells. A running list repaints every visible cell ten times a second,
// and most cells repeat a few texts (addresses, ports, protocol, process), whose drawing by the
// style lays the text out anew each time. So a plain cell is drawn by the style once, kept as a
// picture, and copied on later paints; a selected, focused or hovered cell is drawn each time.
class RecordRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace talvane
