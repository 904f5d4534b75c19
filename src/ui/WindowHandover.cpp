#include "WindowHandover.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace talvane {

namespace {

using Clock = std::chrono::steady_clock;

// The window goes back to its event loop at least this often, so it repaints and takes input
// while a flood of datagrams lasts.
constexpr std::chrono::milliseconds ServeSlice{15};

// The core the calling thread is bound to by FollowWindow; every new worker starts unbound.
thread_local int boundCore = -1;

// Sleeps while word holds expected; returns at once when it does not. Unlike std::atomic's wait,
// it never yields the core first, which between the two threads of one core is a switch each time.
void FutexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
            nullptr, nullptr, 0);
}

void FutexWake(std::atomic<std::uint32_t>& word, int waiters) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, waiters,
            nullptr, nullptr, 0);
}

} // namespace

WindowHandover::WindowHandover(DatagramSink& window, QObject* parent)
    : QObject(parent), window(window), windowCore(sched_getcpu()),
      wakeCounter(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      wakeNotifier(wakeCounter.Get(), QSocketNotifier::Read) {
    static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free);
    connect(&wakeNotifier, &QSocketNotifier::activated, this, &WindowHandover::Woken);
}

void WindowHandover::HandOver(std::span<const CapturedDatagram> datagrams) {
    if (abandoned.load())
        return;
    FollowWindow();
    handed = datagrams;
    const std::uint32_t ticket = requested.load(std::memory_order_relaxed) + 1;
    requested.store(ticket);
    if (!serving.load())
        WakeWindow();
    for (std::uint32_t seen = answered.load(); seen != ticket && !abandoned.load();
         seen = answered.load())
        FutexWait(answered, seen);
}

void WindowHandover::CaptureEnded(const std::string& reason) {
    if (abandoned.load())
        return;
    {
        std::lock_guard lock(endMutex);
        endReason = reason;
    }
    endDue.store(true);
    if (!serving.load())
        WakeWindow();
}

void WindowHandover::Abandon() {
    abandoned.store(true);
    answered.fetch_add(1);
    FutexWake(answered, INT_MAX);
}

void WindowHandover::FollowWindow() {
    const int core = windowCore.load(std::memory_order_relaxed);
    if (core < 0 || core == boundCore)
        return;
    // Tried once per move of the window: where binding is not allowed the worker stays where it
    // may run, and hand-overs only cost more.
    boundCore = core;
    cpu_set_t cores;
    CPU_ZERO(&cores);
    CPU_SET(core, &cores);
    sched_setaffinity(0, sizeof cores, &cores);
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
    windowCore.store(sched_getcpu(), std::memory_order_relaxed);
    const Clock::time_point sliceEnd = Clock::now() + ServeSlice;
    for (;;) {
        if (!HandleDatagrams())
            break;
        // The answered worker waits for this core: given it now, it reads on and, when the
        // capture holds more datagrams, hands them over before the window looks again.
        std::this_thread::yield();
        if (Clock::now() >= sliceEnd)
            break;
    }
    HandleEnd();
    serving.store(false);
    insideServe = false;
    // Work left just before serving ended found the flag still set and woke nobody.
    if (WorkWaits() && !abandoned.load())
        WakeWindow();
}

bool WindowHandover::WorkWaits() const {
    return endDue.load() || requested.load() != answered.load(std::memory_order_relaxed);
}

void WindowHandover::HandleEnd() {
    if (!endDue.exchange(false) || abandoned.load())
        return;
    std::string reason;
    {
        std::lock_guard lock(endMutex);
        reason = std::move(endReason);
    }
    window.CaptureEnded(reason);
}

bool WindowHandover::HandleDatagrams() {
    const std::uint32_t ticket = requested.load();
    if (ticket == answered.load(std::memory_order_relaxed) || abandoned.load())
        return false;
    for (const CapturedDatagram& datagram : handed) {
        window.Arrived(datagram);
        window.Counted();
    }
    answered.store(ticket);
    FutexWake(answered, 1);
    return true;
}

} // namespace talvane
