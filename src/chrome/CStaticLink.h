#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace talvane {

// A static text or picture that acts as a hyperlink: underlined blue text, a hand cursor, and a
// left click that opens its target.
class CStaticLink : public QLabel {
    Q_OBJECT

public:
    static constexpr QColor UnvisitedColour{0, 0, 255};
    // The same blue: a followed link does not change its look.
    static constexpr QColor VisitedColour{0, 0, 255};

    explicit CStaticLink(int controlId, QWidget* parent = nullptr);

    // Set by the owner before the link is shown.
    void SetTarget(const QString& target) { target_ = target; }
    QString Target() const { return target_; }
    QColor Colour() const { return colour; }

    // Opens the target; without one, the string with the control's id, else the label's own
    // text, becomes the target for this and later clicks. Beeps once when the open fails.
    // Returns whether something was opened.
    bool FollowLink();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ApplyColour();

    int controlId;
    QString target_;
    QColor colour = UnvisitedColour;
};

} // namespace talvane
