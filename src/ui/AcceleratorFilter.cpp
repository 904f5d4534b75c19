#include "AcceleratorFilter.h"

#include "../res/AcceleratorTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

AcceleratorFilter::AcceleratorFilter(QWidget* window, std::function<void(int)> runCommand)
    : QObject(window), window(window), runCommand(std::move(runCommand)) {}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // An unhandled key travels up through the parents, passing this filter again each time;
    // only its first receiver counts.
    QWidget* firstReceiver = QApplication::focusWidget();
    if (firstReceiver == nullptr)
        firstReceiver = window;
    if (watched != firstReceiver || firstReceiver->window() != window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool ctrl = modifiers == Qt::ControlModifier;
    if (modifiers != Qt::NoModifier && !ctrl)
        return false;
    for (const Accelerator& accelerator : AcceleratorTable) {
        if (accelerator.key == key->key() && accelerator.ctrl == ctrl) {
            runCommand(accelerator.commandId);
            break;
        }
    }
    return false;
}
