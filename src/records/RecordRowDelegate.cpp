#include "RecordRowDelegate.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>

namespace talvane {

namespace {

constexpr QStyle::State DrawnEachTime =
    QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;

// Everything a plain cell's picture depends on.
QString PictureKey(const QStyleOptionViewItem& option, const QModelIndex& index, qreal ratio) {
    const QVariant background = index.data(Qt::BackgroundRole);
    return QStringLiteral("talvane-cell/%1/%2x%3@%4/%5/%6/%7/%8/%9")
        .arg(index.data(Qt::DisplayRole).toString())
        .arg(option.rect.width())
        .arg(option.rect.height())
        .arg(ratio)
        .arg(background.isValid() ? background.value<QBrush>().color().rgba() : 0)
        .arg(index.data(Qt::TextAlignmentRole).toInt())
        .arg(option.font.key())
        .arg(option.palette.cacheKey())
        .arg(static_cast<int>(option.state));
}

} // namespace

void RecordRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (option.state & DrawnEachTime) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const QString key = PictureKey(option, index, ratio);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(option.rect.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QStyleOptionViewItem atOrigin(option);
        atOrigin.rect.moveTo(0, 0);
        QPainter picturePainter(&picture);
        QStyledItemDelegate::paint(&picturePainter, atOrigin, index);
        picturePainter.end();
        QPixmapCache::insert(key, picture);
    }
    painter->drawPixmap(option.rect.topLeft(), picture);
}

} // namespace talvane
