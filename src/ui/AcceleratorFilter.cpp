#include "AcceleratorFilter.h"

#include "res/AcceleratorTable.h"

#include <QKeyEvent>
#include <QWidget>

namespace talvane {

AcceleratorFilter::AcceleratorFilter(QWidget* window, std::function<void(int)> runCommand)
    : QObject(window), window(window), runCommand(std::move(runCommand)) {}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyRelease:
        // Every new press is preceded by one of these, so an old address cannot be mistaken
        // for the press that is still on its way up.
        takenPress = nullptr;
        return false;
    case QEvent::KeyPress:
        break;
    default:
        return false;
    }
    if (event == takenPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool ctrl = modifiers == Qt::ControlModifier;
    if (modifiers == Qt::NoModifier || ctrl) {
        for (const Accelerator& accelerator : AcceleratorTable) {
            if (accelerator.key == key->key() && accelerator.ctrl == ctrl) {
                runCommand(accelerator.commandId);
                break;
            }
        }
    }
    // Marked only now: a command that runs a dialog sees other keys in the meantime.
    takenPress = event;
    return false;
}

} // namespace talvane
