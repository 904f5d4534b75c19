#include "AcceleratorFilter.h"

#include "res/AcceleratorTable.h"

#include <QKeyEvent>
#include <QWidget>
#include <optional>

namespace talvane {

namespace {

// The table's name for the keys held with this one; nullopt for a combination it has no entry
// for, such as Alt or Shift alone.
std::optional<Accelerator::Modifiers> ModifiersOf(const QKeyEvent& key) {
    const Qt::KeyboardModifiers held =
        key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (held == Qt::NoModifier)
        return Accelerator::Modifiers::None;
    if (held == Qt::ControlModifier)
        return Accelerator::Modifiers::Ctrl;
    if (held == (Qt::ControlModifier | Qt::ShiftModifier))
        return Accelerator::Modifiers::CtrlShift;
    return std::nullopt;
}

} // namespace

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
    bool ranCombination = false;
    if (const std::optional<Accelerator::Modifiers> modifiers = ModifiersOf(*key)) {
        for (const Accelerator& accelerator : AcceleratorTable) {
            if (accelerator.key == key->key() && accelerator.modifiers == *modifiers) {
                runCommand(accelerator.commandId);
                ranCombination = *modifiers != Accelerator::Modifiers::None;
                break;
            }
        }
    }
    // Marked only now: a command that runs a dialog sees other keys in the meantime.
    takenPress = event;
    // A combination the window ran is its alone: the list would take Ctrl+A as select-all and
    // Ctrl+C as a copy of its cell.
    return ranCombination;
}

} // namespace talvane
