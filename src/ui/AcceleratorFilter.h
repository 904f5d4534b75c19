#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace talvane {

// Runs the accelerator table for keys typed anywhere in one window. A plain key goes on to the
// focused widget, so a letter both runs its command and reaches an edit field; a combination
// with Ctrl that ran a command goes no further.
class AcceleratorFilter : public QObject {
    Q_OBJECT

public:
    AcceleratorFilter(QWidget* window, std::function<void(int commandId)> runCommand);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window;
    std::function<void(int)> runCommand;
    // The press this filter has already taken; an unhandled key travels up through the
    // parents and passes here again, perhaps after its command has moved the focus.
    const QEvent* takenPress = nullptr;
};

} // namespace talvane
