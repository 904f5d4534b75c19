#pragma once

#include "base/UniqueFd.h"
#include "capture/DatagramSink.h"
#include "capture/Handover.h"

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace talvane {

// Carries the worker's hand-overs over to the window's thread, where each datagram arrives at the
// window's sink and is counted. The worker is blocked until the window has handled every datagram
// it handed over, so their bytes need no lock. The end of a capture is left for the window.
//
// The two threads never run at once, so the worker runs on the core where the window's thread
// last served: there a hand-over is one switch between the threads, where a wake-up across cores
// costs several times that in time and CPU, and neither side ever spins. After each hand-over the
// window lets the worker have the core at once: while datagrams stream from the capture, the
// worker comes straight back with the next ones and the window goes on serving; when the capture
// has none, the window is back in its event loop.
//
// The worker wakes the window by raising an event counter that the window's event loop watches,
// not through Qt: the worker never enters Qt's own structures, which Qt guards with locks a race
// detector cannot see, and so every step between the two threads is one of ours.
class WindowHandover : public QObject, public Handover {
    Q_OBJECT

public:
    WindowHandover(DatagramSink& window, QObject* parent);

    // Worker side.
    void HandOver(std::span<const CapturedDatagram> datagrams) override;
    void CaptureEnded(const std::string& reason) override;

    // Window side, when it closes: a waiting worker is released and later calls return at once,
    // so the worker can be joined from the window's thread.
    void Abandon();

private:
    // The window's side of a wake-up.
    void Woken();
    void Serve();
    // Handles the waiting datagrams, if any.
    bool HandleDatagrams();
    // Handles the end of the capture left by the worker, if any.
    void HandleEnd();
    bool WorkWaits() const;
    void WakeWindow();
    // Worker side: moves the worker to the core the window's thread last served on.
    void FollowWindow();

    DatagramSink& window;
    // The datagrams of the latest request, written before its ticket.
    std::span<const CapturedDatagram> handed;
    // Tickets of the latest request and of the latest handled one; equal when nothing waits. The
    // worker sleeps on answered, so it is a futex word.
    std::atomic<std::uint32_t> requested{0};
    std::atomic<std::uint32_t> answered{0};
    // Set while the window is in its serving loop and will see a new request without a wake-up.
    std::atomic<bool> serving{false};
    // Set by the worker when its capture ended, with the reason, cleared by the window.
    std::atomic<bool> endDue{false};
    std::mutex endMutex;
    std::string endReason;
    std::atomic<bool> abandoned{false};
    // The core the window's thread served on last; -1 for none.
    std::atomic<int> windowCore{-1};
    bool insideServe = false;
    // Written by either side to wake the window; the notifier goes before the descriptor closes.
    UniqueFd wakeCounter;
    QSocketNotifier wakeNotifier;
};

} // namespace talvane
