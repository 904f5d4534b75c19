#pragma once

#include "CapturedDatagram.h"

#include <cstdint>
#include <span>
#include <string>

namespace talvane {

// The window's side of the capture, called on the window's thread while the worker waits: each
// datagram arrives and is then counted, its bytes valid until Arrived returns.
class DatagramSink {
public:
    virtual ~DatagramSink() = default;
    // An IPv4 datagram, IP header first, the time the capture saw it and who carried it.
    virtual void Arrived(const CapturedDatagram& datagram) = 0;
    // The datagram handed over last is to be counted.
    virtual void Counted() = 0;
    // The capture ended by itself (it failed, or its stream broke off or was garbled); nothing
    // more comes from it.
    virtual void CaptureEnded(const std::string& reason) = 0;
};

} // namespace talvane
