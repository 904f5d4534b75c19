#include "SteadyScrollBar.h"

#include <QStyleOptionSlider>
#include <utility>

namespace talvane {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::Current() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    const QStyle::SubControl parts[] = {QStyle::SC_ScrollBarGroove, QStyle::SC_ScrollBarSlider,
                                        QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine,
                                        QStyle::SC_ScrollBarAddPage};
    for (std::size_t index = 0; index < look.parts.size(); ++index)
        look.parts[index] =
            style()->subControlRect(QStyle::CC_ScrollBar, &option, parts[index], this);
    look.state = static_cast<int>(option.state);
    look.activeParts = static_cast<int>(option.activeSubControls);
    look.atMinimum = value() == minimum();
    look.atMaximum = value() == maximum();
    look.palette = option.palette.cacheKey();
    return look;
}

void SteadyScrollBar::Hold() {
    held = true;
}

void SteadyScrollBar::Release() {
    held = false;
    if (std::exchange(changedWhileHeld, false) && Current() != drawn)
        update();
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (held) {
        changedWhileHeld = true;
        return;
    }
    if (Current() != drawn)
        QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    drawn = Current();
    QScrollBar::paintEvent(event);
}

} // namespace talvane
