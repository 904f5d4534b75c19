#pragma once

#include "../capture/DatagramSink.h"

#include <QObject>
#include <condition_variable>
#include <mutex>

// Carries the worker's two calls per datagram over to the window's thread and blocks the worker
// until the window has handled each, so the packet buffer needs no lock.
class WindowHandover : public QObject, public DatagramSink {
    Q_OBJECT

public:
    WindowHandover(DatagramSink& window, QObject* parent);

    // Worker side.
    void PacketArrived() override;
    void PacketCounted() override;

    // Window side, when it closes: a waiting worker is released and later calls return at once,
    // so the worker can be joined from the window's thread.
    void Abandon();

protected:
    bool event(QEvent* event) override;

private:
    enum class Command { None, Arrived, Counted };

    void HandOver(Command command);

    DatagramSink& window;
    std::mutex mutex;
    std::condition_variable handled;
    Command pending = Command::None;
    bool abandoned = false;
};
