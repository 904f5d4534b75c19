#pragma once

#include <QCache>
#include <QFont>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace talvane {

// Draws the record list's cells. A running list repaints every visible cell ten times a second,
// and most cells repeat a few texts (addresses, ports, protocol, process), whose drawing by the
// style lays the text out anew each time. So a plain cell is drawn by the style once, kept as a
// picture, and copied on later paints; a selected, focused or hovered cell is drawn each time.
class RecordRowDelegate : public QStyledItemDelegate {
public:
    // The cells of columnsOfTheirOwn hold a text no other row shows (an index): a picture of one
    // would hardly be copied again, and over a long run such pictures would fill the memory the
    // pictures may take. They are drawn each time and never kept. The cells of briefColumns hold
    // a text that the rows of a short while share (the time, a second's datagrams): their
    // pictures are kept apart, a few at a time, so that they never push out the others.
    RecordRowDelegate(QObject* parent, QList<int> columnsOfTheirOwn, QList<int> briefColumns);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Everything a plain cell's picture depends on, besides the list's font.
    struct Look {
        QString text;
        QSize size;
        qreal pixelRatio;
        QRgb background;
        int alignment;
        qint64 palette;
        int state;
        friend bool operator==(const Look&, const Look&) = default;
    };

private:
    QList<int> columnsOfTheirOwn;
    QList<int> briefColumns;
    mutable QFont picturesFont;
    mutable QCache<Look, QPixmap> pictures;
    mutable QCache<Look, QPixmap> briefPictures;
};

size_t qHash(const RecordRowDelegate::Look& look, size_t seed = 0);

} // namespace talvane
