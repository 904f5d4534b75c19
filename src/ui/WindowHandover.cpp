#include "WindowHandover.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace talvane {

namespace {

using Clock = std::chrono::steady_clock;

// How long each side spins for the other before it sleeps, while datagrams stream: longer than
// a datagram's round trip under load.
constexpr std::chrono::microseconds WorkerSpin{100};
constexpr std::chrono::microseconds WindowSpin{50};
// The count follows its datagram as soon as the worker is back; the window waits this long for it.
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
    : QObject(parent), window(window), wakeCounter(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      wakeNotifier(wakeCounter.Get(), QSocketNotifier::Read) {
    connect(&wakeNotifier, &QSocketNotifier::activated, this, &WindowHandover::Woken);
}

void WindowHandover::PacketArrived() {
    if (abandoned.load())
        return;
    // The worker came back at once with another datagram: they stream.
    const bool streams = Clock::now() - lastReturn < StreamGap;
    streaming.store(streams, std::memory_order_relaxed);
    const std::uint64_t ticket = requested.load(std::memory_order_relaxed) + 1;
    requested.store(ticket);
    if (!serving.load())
        WakeWindow();
    const auto handled = [&] { return answered.load() == ticket || abandoned.load(); };
    // A datagram whose handling took long last time (the first records, whose files are made)
    // is waited for asleep: spinning through it would double its cost.
    const bool spin = streams && lastHandling < WorkerSpin;
    const Clock::time_point requestedAt = Clock::now();
    if (!spin || !SpinFor(WorkerSpin, handled)) {
        for (std::uint64_t seen = answered.load(); seen != ticket && !abandoned.load();
             seen = answered.load())
            answered.wait(seen);
    }
    lastReturn = Clock::now();
    lastHandling = lastReturn - requestedAt;
}

void WindowHandover::PacketCounted() {
    if (abandoned.load())
        return;
    countDue.store(true);
    if (!serving.load())
        WakeWindow();
    lastReturn = Clock::now();
}

void WindowHandover::Abandon() {
    abandoned.store(true);
    answered.fetch_add(1);
    answered.notify_all();
}

void WindowHandover::WakeWindow() {
    const std::uint64_t one = 1;
    // Without its counter (no descriptor was left to make one) the wake goes through Qt's queue.
    if (!wakeCounter || write(wakeCounter.Get(), &one, sizeof one) != sizeof one)
        QMetaObject::invokeMethod(this, &WindowHandover::Woken, Qt::QueuedConnection);
}

void WindowHandover::Woken() {
    // Reading resets the counter, however many wakes it holds; one serving answers them all.
    std::uint64_t wakes = 0;
    if (wakeCounter)
        (void)!read(wakeCounter.Get(), &wakes, sizeof wakes);
    // A nested event loop inside a handler must not answer the request being handled.
    if (!insideServe)
        Serve();
}

void WindowHandover::Serve() {
    insideServe = true;
    serving.store(true);
    const Clock::time_point sliceEnd = Clock::now() + ServeSlice;
    const auto workWaits = [this] { return WorkWaits(); };
    for (;;) {
        // A count is always shown before the next datagram, as the worker made them.
        const bool counted = HandleCount();
        if (!counted && !HandleDatagram()) {
            // The count of the datagram just handled is due at once; the next datagram only
            // while they stream.
            const std::chrono::microseconds spin = lastWasDatagram ? CountSpin
                                                   : streaming.load(std::memory_order_relaxed)
                                                       ? WindowSpin
                                                       : std::chrono::microseconds(0);
            if (spin.count() == 0 || !SpinFor(spin, workWaits))
                break;
        }
        if (Clock::now() >= sliceEnd)
            break;
    }
    serving.store(false);
    insideServe = false;
    // Work left just before serving ended found the flag still set and woke nobody.
    if (WorkWaits() && !abandoned.load())
        WakeWindow();
}

bool WindowHandover::WorkWaits() const {
    return countDue.load() || requested.load() != answered.load(std::memory_order_relaxed);
}

bool WindowHandover::HandleCount() {
    if (!countDue.exchange(false))
        return false;
    lastWasDatagram = false;
    if (!abandoned.load())
        window.PacketCounted();
    return true;
}

bool WindowHandover::HandleDatagram() {
    const std::uint64_t ticket = requested.load();
    if (ticket == answered.load(std::memory_order_relaxed) || abandoned.load())
        return false;
    lastWasDatagram = true;
    window.PacketArrived();
    answered.store(ticket);
    answered.notify_one();
    return true;
}

} // namespace talvane
