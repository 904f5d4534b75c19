#pragma once

#include "chrome/GlyphLine.h"

#include <QLabel>
#include <QString>

namespace talvane {

// One pane of the status bar: a sunken label. A new text repaints the pane alone, where a label's
// own setText asks the whole bar to lay out and repaint, ten times a second while the monitoring
// time runs. The pane keeps the size its first text gave it, as the fixed panes do anyway.
class StatusPane : public QLabel {
    Q_OBJECT

public:
    StatusPane(const QString& text, QWidget* parent);

    void SetText(const QString& text);
    const QString& Text() const { return shown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString shown;
    GlyphLine textLine;
};

} // namespace talvane
