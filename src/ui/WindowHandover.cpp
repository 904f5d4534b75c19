#include "WindowHandover.h"

#include <QCoreApplication>
#include <QEvent>
#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

const QEvent::Type HandOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// How long each side spins for the other before it sleeps, while datagrams stream: longer than
// a datagram's round trip under load.
constexpr std::chrono::microseconds WorkerSpin{100};
constexpr std::chrono::microseconds WindowSpin{50};
// The count follows its datagram at once; the window waits this long for it, the worker as long
// for the window to take it.
constexpr std::chrono::microseconds CountSpin{20};
// A datagram read this soon after the last one was handed over belongs to a stream: the capture
// hands them over from one block.
constexpr std::chrono::microseconds StreamGap{200};
// The window goes back to its event loop at least this often, so it repaints and takes input
// while a flood of datagrams lasts.
constexpr std::chrono::milliseconds ServeSlice{15};

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// Spins until done() holds or the time is up; returns whether it holds. After a short busy spin it
// yields on every round, so that the other thread gets on if both share one core.
template <typename Condition> bool SpinFor(std::chrono::microseconds limit, Condition done) {
    constexpr unsigned BusyRounds = 64;
    const Clock::time_point end = Clock::now() + limit;
    for (unsigned round = 0;; ++round) {
        if (done())
            return true;
        if (round < BusyRounds) {
            CpuRelax();
            continue;
        }
        if (Clock::now() >= end)
            return false;
        std::this_thread::yield();
    }
}

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
    if (abandoned.load())
        return;
    // The worker came back at once with another datagram: they stream.
    if (command == Command::Arrived)
        streaming.store(Clock::now() - lastReturn < StreamGap, std::memory_order_relaxed);
    pending.store(command, std::memory_order_relaxed);
    const std::uint64_t ticket = requested.load(std::memory_order_relaxed) + 1;
    requested.store(ticket);
    if (!serving.load())
        WakeWindow();
    const auto handled = [&] { return answered.load() == ticket || abandoned.load(); };
    // A datagram whose handling took long last time (the first records, whose files are made)
    // is waited for asleep: spinning through it would double its cost.
    const bool quick = lastHandling < WorkerSpin;
    const std::chrono::microseconds spin = command == Command::Counted ? CountSpin
                                           : streaming.load(std::memory_order_relaxed) && quick
                                               ? WorkerSpin
                                               : std::chrono::microseconds(0);
    const Clock::time_point requestedAt = Clock::now();
    if (spin.count() == 0 || !SpinFor(spin, handled)) {
        for (std::uint64_t seen = answered.load(); seen != ticket && !abandoned.load();
             seen = answered.load())
            answered.wait(seen);
    }
    lastReturn = Clock::now();
    if (command == Command::Arrived)
        lastHandling = lastReturn - requestedAt;
}

void WindowHandover::Abandon() {
    abandoned.store(true);
    answered.fetch_add(1);
    answered.notify_all();
}

void WindowHandover::WakeWindow() {
    QCoreApplication::postEvent(this, new QEvent(HandOverEvent));
}

bool WindowHandover::event(QEvent* event) {
    if (event->type() != HandOverEvent)
        return QObject::event(event);
    // A nested event loop inside a handler must not answer the request being handled.
    if (!insideServe)
        Serve();
    return true;
}

void WindowHandover::Serve() {
    insideServe = true;
    serving.store(true);
    const Clock::time_point sliceEnd = Clock::now() + ServeSlice;
    const auto requestWaits = [this] {
        return requested.load() != answered.load(std::memory_order_relaxed);
    };
    Command last = Command::Counted;
    for (;;) {
        if (!HandleRequest(last)) {
            // After a datagram its count is due at once; after a count, the next datagram only
            // while they stream.
            const std::chrono::microseconds spin = last == Command::Arrived ? CountSpin
                                                   : streaming.load(std::memory_order_relaxed)
                                                       ? WindowSpin
                                                       : std::chrono::microseconds(0);
            if (spin.count() == 0 || !SpinFor(spin, requestWaits))
                break;
        }
        if (Clock::now() >= sliceEnd)
            break;
    }
    serving.store(false);
    insideServe = false;
    // A request made just before serving ended found the flag still set and woke nobody.
    if (requested.load() != answered.load(std::memory_order_relaxed) && !abandoned.load())
        WakeWindow();
}

bool WindowHandover::HandleRequest(Command& handled) {
    const std::uint64_t ticket = requested.load();
    if (ticket == answered.load(std::memory_order_relaxed) || abandoned.load())
        return false;
    handled = pending.load(std::memory_order_relaxed);
    if (handled == Command::Arrived)
        window.PacketArrived();
    else
        window.PacketCounted();
    answered.store(ticket);
    answered.notify_one();
    return true;
}
