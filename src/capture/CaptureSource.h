#pragma once

#include "Ipv4Address.h"

#include <cstdint>
#include <optional>
#include <string>

namespace talvane {

// Where the window's datagrams come from: a capture on the interface of one local address, and
// monitoring begun, paused and stopped on it. What it captures goes to the window's
// DatagramSink.
class CaptureSource {
public:
    // The kernel's counts of the current capture since it opened: frames it captured and frames
    // it dropped, its buffer being full. Both wrap at 32 bits.
    struct Statistics {
        std::uint32_t received = 0;
        std::uint32_t dropped = 0;
        bool operator==(const Statistics&) const = default;
    };

    // Whether the capture opened, and why not when it did not; and when it opened without the
    // kernel naming the datagrams' owners, why.
    struct Binding {
        bool bound = false;
        std::string error;
        std::string ownersUnavailable;
    };

    virtual ~CaptureSource() = default;

    // Ends the current capture (a datagram it still holds is lost with it) and opens one on the
    // interface that holds the address. Without a capture a running worker waits for one.
    virtual Binding Bind(const Ipv4Address& address) = 0;
    // Ends the current capture without opening another.
    virtual void Unbind() = 0;

    // Monitoring begins now: datagrams captured from now on are handed over, those captured while
    // it was off never are. False when no worker could be started.
    virtual bool Begin() = 0;
    // Monitoring pauses now: one more datagram, the next one read, is still handed over, even one
    // captured during the pause.
    virtual void Pause() = 0;
    // Monitoring stops now: nothing captured from now on is handed over.
    virtual void Stop() = 0;

    // nullopt without a capture.
    virtual std::optional<Statistics> CurrentStatistics() const = 0;
};

} // namespace talvane
