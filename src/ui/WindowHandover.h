#pragma once

#include "capture/DatagramSink.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdint>

// Carries the worker's two calls per datagram over to the window's thread and blocks the worker
// until the window has handled each, so the packet buffer needs no lock.
//
// Waking a thread on the other core costs tens of microseconds, more than the window's work per
// datagram. So while datagrams stream in, each side briefly spins for the other's next step
// instead of sleeping: the window handles a burst in one visit from its event loop, and neither
// thread sleeps between two datagrams of it. A datagram that comes alone is not worth a spin:
// both sides sleep at once, and only the count that follows each datagram, a moment later, is
// waited for by spinning.
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
    enum class Command { Arrived, Counted };

    void HandOver(Command command);
    void Serve();
    // Handles the waiting request, if any; `handled` says which it was.
    bool HandleRequest(Command& handled);
    void WakeWindow();

    using Clock = std::chrono::steady_clock;

    DatagramSink& window;
    std::atomic<Command> pending{Command::Arrived};
    // Tickets of the latest request and of the latest handled one; equal when nothing waits.
    std::atomic<std::uint64_t> requested{0};
    std::atomic<std::uint64_t> answered{0};
    // Set while the window is in its serving loop and will see a new request without a wake-up.
    std::atomic<bool> serving{false};
    std::atomic<bool> abandoned{false};
    bool insideServe = false;
    // Worker side: when the last hand-over ended, to tell a stream from a lone datagram.
    Clock::time_point lastReturn;
    // Worker side: how long the window took over the last datagram.
    Clock::duration lastHandling{};
    // Set by the worker while datagrams stream, so that the window waits for the next one.
    std::atomic<bool> streaming{false};
};
