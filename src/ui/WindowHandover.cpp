#include "WindowHandover.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type HandOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

WindowHandover::WindowHandover(DatagramSink& window, QObject* parent)
    : QObject(parent), window(window) {}

void WindowHandover::PacketArrived() {
    HandOver(Command::Arrived);
}

void WindowHandover::PacketCounted() {
    HandOver(Command::Counted);
}

void WindowHandover::HandOver(Command command) {
    std::unique_lock lock(mutex);
    if (abandoned)
        return;
    pending = command;
    QCoreApplication::postEvent(this, new QEvent(HandOverEvent));
    handled.wait(lock, [this] { return pending == Command::None || abandoned; });
}

void WindowHandover::Abandon() {
    {
        std::lock_guard lock(mutex);
        abandoned = true;
    }
    handled.notify_all();
}

bool WindowHandover::event(QEvent* event) {
    if (event->type() != HandOverEvent)
        return QObject::event(event);
    Command command;
    {
        std::lock_guard lock(mutex);
        command = abandoned ? Command::None : pending;
    }
    if (command == Command::Arrived)
        window.PacketArrived();
    else if (command == Command::Counted)
        window.PacketCounted();
    {
        std::lock_guard lock(mutex);
        pending = Command::None;
    }
    handled.notify_all();
    return true;
}
