#pragma once

#include "CaptureChannel.h"
#include "CaptureSource.h"
#include "Handover.h"
#include "Ipv4Address.h"
#include "MonitorSpans.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace talvane {

// Monitoring on the captures of a source of streams (the capture helper, or a test's): a worker
// thread reads the current capture and hands its datagrams over, waiting until each is handled.
// Commands come from one thread (the window's); the worker only reads and hands over.
class CaptureEngine : public CaptureSource {
public:
    // Opens a capture on the interface that holds the address.
    using Opener = std::function<CaptureChannel::Opened(const Ipv4Address& address)>;
    // Opens captures through the helper program.
    static Opener HelperCaptures(std::filesystem::path program);

    CaptureEngine(Handover& handover, Opener openCapture);
    // Stops the worker for good and ends the capture.
    ~CaptureEngine() override;

    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    Binding Bind(const Ipv4Address& address) override;
    void Unbind() override;
    // A worker still waiting after a pause simply goes on.
    bool Begin() override;
    // Where the worker is when the pause comes (waiting in its read, or still handing over the
    // datagram before) makes no difference.
    void Pause() override;
    void Stop() override;
    std::optional<Statistics> CurrentStatistics() const override;

    bool WorkerRunning() const;

private:
    // Sets StopRequested: the worker ends when it next reaches the head of its loop.
    void RequestStop();
    // With mutex held: the worker is to end at the head of its loop.
    bool WorkerToEnd() const { return stopRequested && !oneMoreDue; }
    // With mutex held: there is a capture to read.
    bool Readable() const { return capture && !captureEnded; }
    // Called with mutex held through lock, which it releases while it joins an ended worker.
    bool StartWorker(std::unique_lock<std::mutex>& lock);
    void CaptureWorker();
    // Gathers from the capture the datagrams to hand over: the first waits for the stream, the
    // rest are those already read. True when the last is the one a pause still owes.
    bool Gather(const std::shared_ptr<CaptureChannel>& reading,
                std::vector<CapturedDatagram>& datagrams);
    // Tells the window that the capture being read ended by itself, unless it was replaced.
    void ReportEnd(const std::shared_ptr<CaptureChannel>& ended);
    // Takes the capture out of service; it is closed once no thread reads it.
    std::shared_ptr<CaptureChannel> DetachCapture();

    Handover& handover;
    Opener openCapture;

    mutable std::mutex mutex;
    std::condition_variable captureChanged;
    std::shared_ptr<CaptureChannel> capture;
    // The address capture was opened for, which every datagram read from it carries.
    Ipv4Address captureAddress;
    // The capture ended by itself; it is kept for its counts until the next bind.
    bool captureEnded = false;
    // Decides, on the worker thread, which datagrams it hands over.
    MonitorSpans spans;
    bool stopRequested = true;
    // Set by a pause until the worker has handed over a datagram it read after the pause.
    bool oneMoreDue = false;
    bool workerRunning = false;
    std::thread worker;
};

} // namespace talvane
