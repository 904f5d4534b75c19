#include "GlyphLine.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRect>
#include <QString>

namespace talvane {

bool GlyphLine::Prepare(const QFont& painterFont) {
    if (rawFont.isValid() && painterFont == font)
        return true;
    font = painterFont;
    glyphs.clear();
    rawFont = QRawFont::fromFont(font);
    // The line drawText makes of glyphs from this one font.
    ascent = rawFont.ascent();
    lineHeight = rawFont.ascent() + rawFont.descent();
    return rawFont.isValid();
}

const GlyphLine::Glyph* GlyphLine::GlyphOf(QChar character) {
    if (const auto known = glyphs.constFind(character); known != glyphs.constEnd())
        return &*known;
    const QList<quint32> indexes = rawFont.glyphIndexesForString(QString(character));
    // A character the font lacks is drawn from another font, and one of two UTF-16 units has no
    // glyph alone.
    if (indexes.size() != 1 || indexes.front() == 0 || character.isSurrogate())
        return nullptr;
    const QList<QPointF> advances = rawFont.advancesForGlyphIndexes(indexes);
    return &*glyphs.insert(character, {indexes.front(), advances.front().x()});
}

void GlyphLine::Draw(QPainter& painter, const QRect& area, const QString& text) {
    if (!Prepare(painter.font())) {
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
        return;
    }
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    const qreal baseline = area.y() + (area.height() - lineHeight) / 2 + ascent;
    qreal x = area.x();
    for (const QChar character : text) {
        const Glyph* glyph = GlyphOf(character);
        if (glyph == nullptr) {
            painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
            return;
        }
        indexes.append(glyph->index);
        positions.append(QPointF(x, baseline));
        x += glyph->advance;
    }
    QGlyphRun run;
    run.setRawFont(rawFont);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    // drawText keeps a line that is too long inside its area.
    const bool overflows = x > area.x() + area.width() || lineHeight > area.height();
    if (overflows) {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
    }
    painter.drawGlyphRun(QPointF(0, 0), run);
    if (overflows)
        painter.restore();
}

} // namespace talvane
