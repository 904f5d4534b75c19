#pragma once

#include <QScrollBar>
#include <array>

namespace talvane {

// A scroll bar that is not drawn again when a new range or value changes nothing it shows. A list
// that grows at its bottom ten times a second changes its bar's range each time, while the bar,
// its handle at the smallest size and at the end, looks the same.
class SteadyScrollBar : public QScrollBar {
    Q_OBJECT

public:
    SteadyScrollBar(Qt::Orientation orientation, QWidget* parent);

    // The changes from Hold to Release, such as a new range and then the value at its end, are
    // judged by where they end, not by the steps between.
    void Hold();
    void Release();

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the style draws the bar from: where each part lies and the state it is in.
    struct Look {
        std::array<QRect, 5> parts;
        int state = 0;
        int activeParts = 0;
        bool atMinimum = false;
        bool atMaximum = false;
        qint64 palette = 0;
        friend bool operator==(const Look&, const Look&) = default;
    };
    Look Current() const;

    Look drawn;
    bool held = false;
    bool changedWhileHeld = false;
};

} // namespace talvane
