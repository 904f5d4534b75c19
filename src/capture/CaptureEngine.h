#pragma once

#include "CaptureHandle.h"
#include "DatagramSink.h"
#include "Ipv4Address.h"
#include "MonitorSpans.h"
#include "PacketBuffer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace talvane {

// Turns the selected local address into a stream of IPv4 datagrams handed, one at a time, to a
// sink. Commands come from one thread (the window's); the worker thread only reads, counts and
// hands over.
class CaptureEngine {
public:
    explicit CaptureEngine(DatagramSink& sink);
    ~CaptureEngine();

    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    // Whether the capture opened, and why not when it did not.
    struct Binding {
        bool bound = false;
        std::string error;
    };

    // Closes the current capture (ending a blocked read) and opens one on the address. When the
    // capture cannot be opened the engine has no capture until the next bind, and a running
    // worker waits for one.
    Binding BindCaptureSocket(const Ipv4Address& address);
    // Closes the current capture without opening another; the selected address stays.
    void CloseCaptureSocket();

    // Monitoring begins now: datagrams captured from now on are handed over, those captured
    // while it was off never are. Clears StopRequested and makes sure one worker runs: a worker
    // still waiting after a pause simply goes on. Returns false when a new thread cannot be
    // started.
    bool BeginMonitoring();
    // Monitoring pauses now and StopRequested is set: the worker hands over one more datagram,
    // the next it reads, even one captured during the pause, and ends. Where the worker is when
    // the pause comes (waiting in its read, or still handing over the one before) makes no
    // difference.
    void PauseMonitoring();
    // Monitoring stops now and StopRequested is set: nothing captured from now on is handed over.
    void StopMonitoring();
    // Stops the worker for good and releases the capture; used when the window closes.
    void Shutdown();

    bool WorkerRunning() const;
    const Ipv4Address& SelectedAddress() const { return selectedAddress; }
    const PacketBuffer& Packet() const { return packet; }

    std::int32_t DatagramTotal() const { return datagramTotal.load(); }
    std::int32_t DatagramBalance() const { return datagramBalance.load(); }
    // The record store's clear takes its records out of the balance.
    void ReduceBalance(std::int32_t records) { datagramBalance.fetch_sub(records); }

    std::optional<CaptureHandle::Statistics> Statistics() const;

private:
    // Sets StopRequested: the worker ends when it next reaches the head of its loop.
    void RequestStop();
    // With mutex held: the worker is to end at the head of its loop.
    bool WorkerToEnd() const { return stopRequested && !oneMoreDue; }
    // Called with mutex held through lock, which it releases while it joins an ended worker.
    bool StartWorker(std::unique_lock<std::mutex>& lock);
    void CaptureWorker();
    // Takes the capture out of service; the handle is freed once no thread reads it.
    std::shared_ptr<CaptureHandle> DetachCapture();

    DatagramSink& sink;
    Ipv4Address selectedAddress;
    PacketBuffer packet;
    std::atomic<std::int32_t> datagramTotal{0};
    std::atomic<std::int32_t> datagramBalance{0};

    mutable std::mutex mutex;
    std::condition_variable captureChanged;
    std::shared_ptr<CaptureHandle> capture;
    // Decides, on the worker thread, which datagrams it hands over.
    MonitorSpans spans;
    bool stopRequested = true;
    // Set by a pause until the worker has handed over a datagram it read after the pause.
    bool oneMoreDue = false;
    bool workerRunning = false;
    std::thread worker;
};

} // namespace talvane
