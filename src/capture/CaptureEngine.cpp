#include "CaptureEngine.h"

#include "HostAddressList.h"

#include <chrono>
#include <system_error>

namespace talvane {

namespace {

// The clock of the capture's time stamps, at their precision.
CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

} // namespace

CaptureEngine::Opener CaptureEngine::HelperCaptures(std::filesystem::path program) {
    return [program = std::move(program)](const Ipv4Address& address) -> CaptureChannel::Opened {
        const std::optional<std::string> interface = HostAddressList::InterfaceHolding(address);
        if (!interface)
            return {nullptr, "no interface holds " + address.Dotted()};
        HelperProcess::Started started = HelperProcess::Start(program, *interface);
        if (!started.process)
            return {nullptr, std::move(started.error)};
        return CaptureChannel::Open(std::move(started.stream), std::move(started.process));
    };
}

CaptureEngine::CaptureEngine(Handover& handover, Opener openCapture)
    : handover(handover), openCapture(std::move(openCapture)) {}

CaptureEngine::~CaptureEngine() {
    RequestStop();
    // Kept until the worker is joined, so the capture is closed on this thread, before this
    // returns.
    const std::shared_ptr<CaptureChannel> old = DetachCapture();
    if (worker.joinable())
        worker.join();
}

CaptureSource::Binding CaptureEngine::Bind(const Ipv4Address& address) {
    // The old capture ends before the new one opens: never two helpers for one window.
    DetachCapture();
    CaptureChannel::Opened opened = openCapture(address);
    if (!opened.channel)
        return {false, std::move(opened.error), {}};
    std::string ownersUnavailable = opened.channel->OwnersUnavailable();
    {
        std::lock_guard lock(mutex);
        capture = std::move(opened.channel);
        captureAddress = address;
    }
    captureChanged.notify_all();
    return {true, {}, std::move(ownersUnavailable)};
}

void CaptureEngine::Unbind() {
    DetachCapture();
}

std::shared_ptr<CaptureChannel> CaptureEngine::DetachCapture() {
    std::shared_ptr<CaptureChannel> old;
    {
        std::lock_guard lock(mutex);
        old = std::move(capture);
        capture.reset();
        captureEnded = false;
    }
    if (old)
        old->BreakLoop();
    captureChanged.notify_all();
    return old;
}

bool CaptureEngine::Begin() {
    std::unique_lock lock(mutex);
    spans.Begin(Now());
    return StartWorker(lock);
}

void CaptureEngine::Pause() {
    {
        std::lock_guard lock(mutex);
        spans.Pause(Now());
        stopRequested = true;
        oneMoreDue = true;
    }
    captureChanged.notify_all();
}

void CaptureEngine::Stop() {
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

bool CaptureEngine::WorkerRunning() const {
    std::lock_guard lock(mutex);
    return workerRunning;
}

std::optional<CaptureSource::Statistics> CaptureEngine::CurrentStatistics() const {
    std::shared_ptr<CaptureChannel> current;
    {
        std::lock_guard lock(mutex);
        current = capture;
    }
    return current ? std::optional(current->Statistics()) : std::nullopt;
}

void CaptureEngine::CaptureWorker() {
    std::vector<CapturedDatagram> datagrams;
    for (;;) {
        std::shared_ptr<CaptureChannel> reading;
        {
            std::unique_lock lock(mutex);
            if (WorkerToEnd()) {
                workerRunning = false;
                return;
            }
            if (!Readable()) {
                captureChanged.wait(lock, [this] { return WorkerToEnd() || Readable(); });
                continue;
            }
            reading = capture;
        }
        const bool owedAfterPause = Gather(reading, datagrams);
        if (datagrams.empty())
            continue;
        handover.HandOver(datagrams);
        if (owedAfterPause) {
            std::lock_guard lock(mutex);
            oneMoreDue = false;
        }
    }
}

bool CaptureEngine::Gather(const std::shared_ptr<CaptureChannel>& reading,
                           std::vector<CapturedDatagram>& datagrams) {
    // Enough to cover a capture block at ordinary rates, few enough that the window is back in
    // its event loop within milliseconds.
    constexpr std::size_t MostAtOnce = 256;
    datagrams.clear();
    while (datagrams.size() < MostAtOnce) {
        CapturedDatagram datagram;
        switch (reading->Read(datagram, datagrams.empty())) {
        case CaptureChannel::ReadResult::Datagram:
            break;
        case CaptureChannel::ReadResult::Nothing:
            continue;
        case CaptureChannel::ReadResult::Ended:
            // What was read before the end is handed over first; the next read ends again.
            if (datagrams.empty())
                ReportEnd(reading);
            return false;
        case CaptureChannel::ReadResult::Broken:
            datagrams.clear();
            return false;
        case CaptureChannel::ReadResult::Waiting:
            return false;
        }
        // A datagram read from a capture that was closed meanwhile is lost with it; one captured
        // while monitoring was off is read only to be dropped.
        std::lock_guard lock(mutex);
        if (capture != reading) {
            datagrams.clear();
            return false;
        }
        if (!spans.Admit(datagram.captured))
            continue;
        datagram.captureAddress = captureAddress;
        datagrams.push_back(datagram);
        if (oneMoreDue)
            return true;
    }
    return false;
}

void CaptureEngine::ReportEnd(const std::shared_ptr<CaptureChannel>& ended) {
    {
        std::lock_guard lock(mutex);
        if (capture != ended)
            return;
        captureEnded = true;
    }
    handover.CaptureEnded(ended->EndReason());
}

} // namespace talvane
