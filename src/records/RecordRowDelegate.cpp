#include "RecordRowDelegate.h"

#include <QPainter>

namespace talvane {

namespace {

constexpr QStyle::State DrawnEachTime =
    QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;

// Pictures for every visible cell several times over, in bytes.
constexpr qsizetype PicturesCost = 8 * 1024 * 1024;
// A column's pictures for the texts of a few seconds.
constexpr qsizetype BriefPicturesCost = 256 * 1024;

} // namespace

size_t qHash(const RecordRowDelegate::Look& look, size_t seed) {
    return qHashMulti(seed, look.text, look.size.width(), look.size.height(), look.background,
                      look.alignment, look.palette, look.state);
}

RecordRowDelegate::RecordRowDelegate(QObject* parent, QList<int> columnsOfTheirOwn,
                                     QList<int> briefColumns)
    : QStyledItemDelegate(parent), columnsOfTheirOwn(std::move(columnsOfTheirOwn)),
      briefColumns(std::move(briefColumns)), pictures(PicturesCost),
      briefPictures(BriefPicturesCost) {}

void RecordRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if ((option.state & DrawnEachTime) || columnsOfTheirOwn.contains(index.column())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    if (option.font != picturesFont) {
        pictures.clear();
        briefPictures.clear();
        picturesFont = option.font;
    }
    QCache<Look, QPixmap>& kept = briefColumns.contains(index.column()) ? briefPictures : pictures;
    const QVariant background = index.data(Qt::BackgroundRole);
    Look look{index.data(Qt::DisplayRole).toString(),
              option.rect.size(),
              painter->device()->devicePixelRatio(),
              background.isValid() ? background.value<QBrush>().color().rgba() : 0,
              index.data(Qt::TextAlignmentRole).toInt(),
              option.palette.cacheKey(),
              static_cast<int>(option.state)};
    if (const QPixmap* picture = kept.object(look)) {
        painter->drawPixmap(option.rect.topLeft(), *picture);
        return;
    }
    auto picture = std::make_unique<QPixmap>(look.size * look.pixelRatio);
    picture->setDevicePixelRatio(look.pixelRatio);
    // A cell with its own background covers its picture: an opaque picture is copied, not blended.
    picture->fill(background.isValid() ? QColor::fromRgba(look.background) : Qt::transparent);
    QStyleOptionViewItem atOrigin(option);
    atOrigin.rect.moveTo(0, 0);
    QPainter picturePainter(picture.get());
    QStyledItemDelegate::paint(&picturePainter, atOrigin, index);
    picturePainter.end();
    painter->drawPixmap(option.rect.topLeft(), *picture);
    const qsizetype cost = static_cast<qsizetype>(picture->width()) * picture->height() * 4;
    kept.insert(std::move(look), picture.release(), cost);
}

} // namespace talvane
