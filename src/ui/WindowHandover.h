#pragma once

#include "capture/DatagramSink.h"
#include "capture/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace talvane {

// Carries the worker's two calls per datagram over to the window's thread. The worker is blocked
// until the window has handled each datagram, so the packet buffer needs no lock. The count that
// follows reads nothing from the buffer: it is left for the window to take before the next
// datagram, without a second round trip between the threads.
//
// Waking a thread on the other core costs tens of microseconds, more than the window's work per
// datagram. So while datagrams stream in, each side briefly spins for the other's next step
// instead of sleeping: the window handles a burst in one visit from its event loop, and neither
// thread sleeps between two datagrams of it. A datagram that comes alone is not worth a spin:
// both sides sleep at once, and only the count that follows each datagram, a moment later, is
// waited for by the window's spinning.
//
// The worker wakes the window by raising an event counter that the window's event loop watches,
// not through Qt: the worker never enters Qt's own structures, which Qt guards with locks a race
// detector cannot see, and so every step between the two threads is one of ours.
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

private:
    // The window's side of a wake-up.
    void Woken();
    void Serve();
    // Handles the waiting datagram, if any.
    bool HandleDatagram();
    // Handles the count left by the worker, if any.
    bool HandleCount();
    bool WorkWaits() const;
    void WakeWindow();

    using Clock = std::chrono::steady_clock;

    DatagramSink& window;
    // Tickets of the latest datagram and of the latest handled one; equal when nothing waits.
    std::atomic<std::uint64_t> requested{0};
    std::atomic<std::uint64_t> answered{0};
    // Set while the window is in its serving loop and will see a new request without a wake-up.
    std::atomic<bool> serving{false};
    // Set by the worker after each datagram, cleared by the window when it shows the count.
    std::atomic<bool> countDue{false};
    std::atomic<bool> abandoned{false};
    bool insideServe = false;
    // Window side: the last thing handled was a datagram, whose count is still to come.
    bool lastWasDatagram = false;
    // Worker side: when the last hand-over ended, to tell a stream from a lone datagram.
    Clock::time_point lastReturn;
    // Worker side: how long the window took over the last datagram.
    Clock::duration lastHandling{};
    // Set by the worker while datagrams stream, so that the window waits for the next one.
    std::atomic<bool> streaming{false};
    // Written by either side to wake the window; the notifier goes before the descriptor closes.
    UniqueFd wakeCounter;
    QSocketNotifier wakeNotifier;
};

} // namespace talvane
