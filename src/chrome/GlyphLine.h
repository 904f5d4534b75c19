#pragma once

#include <QChar>
#include <QFont>
#include <QHash>
#include <QRawFont>

class QPainter;
class QRect;
class QString;

namespace talvane {

// Draws one line of plain text, left-aligned and centred in height, where QPainter::drawText
// lays the text out and shapes it anew for every call: here each character's glyph and advance
// are looked up once, and a new text is one run of known glyphs. Meant for short texts that
// change often, such as a clock, in a font that neither kerns nor joins them; where a character
// has no glyph of its own in the font, the text is drawn by drawText.
class GlyphLine {
public:
    // As drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text) with the painter's pen.
    void Draw(QPainter& painter, const QRect& area, const QString& text);

private:
    struct Glyph {
        quint32 index;
        qreal advance;
    };
    // Takes the painter's font; false when it has no usable raw font.
    bool Prepare(const QFont& font);
    const Glyph* GlyphOf(QChar character);

    QFont font;
    QRawFont rawFont;
    qreal ascent = 0;
    qreal lineHeight = 0;
    QHash<QChar, Glyph> glyphs;
};

} // namespace talvane
