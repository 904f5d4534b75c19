#include "CaptureEngine.h"

#include <chrono>
#include <system_error>

namespace talvane {

namespace {

// A capture that keeps failing (its interface went away) is retried at this pace, not spun on.
constexpr std::chrono::milliseconds FailedReadPause{100};

// The clock of the capture's time stamps, at their precision.
CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

} // namespace

CaptureEngine::CaptureEngine(DatagramSink& sink) : sink(sink) {}

CaptureEngine::~CaptureEngine() {
    Shutdown();
}

CaptureEngine::Binding CaptureEngine::BindCaptureSocket(const Ipv4Address& address) {
    DetachCapture();
    selectedAddress = address;
    CaptureHandle::Opened opened = CaptureHandle::Open(address);
    if (!opened.handle)
        return {false, std::move(opened.error)};
    {
        std::lock_guard lock(mutex);
        capture = std::move(opened.handle);
    }
    captureChanged.notify_all();
    return {true, {}};
}

void CaptureEngine::CloseCaptureSocket() {
    DetachCapture();
}

std::shared_ptr<CaptureHandle> CaptureEngine::DetachCapture() {
    std::shared_ptr<CaptureHandle> old;
    {
        std::lock_guard lock(mutex);
        old = std::move(capture);
        capture.reset();
    }
    if (old)
        old->BreakLoop();
    captureChanged.notify_all();
    return old;
}

bool CaptureEngine::BeginMonitoring() {
    std::unique_lock lock(mutex);
    spans.Begin(Now());
    return StartWorker(lock);
}

void CaptureEngine::PauseMonitoring() {
    {
        std::lock_guard lock(mutex);
        spans.Pause(Now());
        stopRequested = true;
        oneMoreDue = true;
    }
    captureChanged.notify_all();
}

void CaptureEngine::StopMonitoring() {
    {
        std::lock_guard lock(mutex);
        spans.Stop(Now());
        stopRequested = true;
        oneMoreDue = false;
    }
    captureChanged.notify_all();
}

bool CaptureEngine::StartWorker(std::unique_lock<std::mutex>& lock) {
    stopRequested = false;
    oneMoreDue = false;
    if (workerRunning)
        return true;
    lock.unlock();
    if (worker.joinable())
        worker.join();
    lock.lock();
    try {
        workerRunning = true;
        worker = std::thread(&CaptureEngine::CaptureWorker, this);
    } catch (const std::system_error&) {
        workerRunning = false;
        return false;
    }
    return true;
}

void CaptureEngine::RequestStop() {
    {
        std::lock_guard lock(mutex);
        stopRequested = true;
        oneMoreDue = false;
    }
    captureChanged.notify_all();
}

void CaptureEngine::Shutdown() {
    RequestStop();
    std::shared_ptr<CaptureHandle> old = DetachCapture();
    if (worker.joinable())
        worker.join();
}

bool CaptureEngine::WorkerRunning() const {
    std::lock_guard lock(mutex);
    return workerRunning;
}

std::optional<CaptureHandle::Statistics> CaptureEngine::Statistics() const {
    std::shared_ptr<CaptureHandle> current;
    {
        std::lock_guard lock(mutex);
        current = capture;
    }
    return current ? current->Stats() : std::nullopt;
}

void CaptureEngine::CaptureWorker() {
    for (;;) {
        std::shared_ptr<CaptureHandle> reading;
        {
            std::unique_lock lock(mutex);
            if (WorkerToEnd()) {
                workerRunning = false;
                return;
            }
            if (!capture) {
                captureChanged.wait(lock, [this] { return WorkerToEnd() || capture; });
                continue;
            }
            reading = capture;
        }
        packet.Clear();
        const CaptureHandle::ReadResult result = reading->ReadInto(packet);
        if (result == CaptureHandle::ReadResult::Failed) {
            std::unique_lock lock(mutex);
            captureChanged.wait_for(lock, FailedReadPause,
                                    [&] { return WorkerToEnd() || capture != reading; });
            continue;
        }
        if (result != CaptureHandle::ReadResult::Datagram)
            continue;
        bool readAfterPause = false;
        {
            // A datagram read from a capture that was closed meanwhile is lost with it; one
            // captured while monitoring was off is read only to be dropped.
            std::lock_guard lock(mutex);
            if (capture != reading || !spans.Admit(packet.captured))
                continue;
            readAfterPause = oneMoreDue;
        }
        sink.PacketArrived();
        datagramTotal.fetch_add(1);
        datagramBalance.fetch_add(1);
        sink.PacketCounted();
        if (readAfterPause) {
            std::lock_guard lock(mutex);
            oneMoreDue = false;
        }
    }
}

} // namespace talvane
