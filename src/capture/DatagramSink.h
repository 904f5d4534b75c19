#pragma once

namespace talvane {

// Where the capture worker hands each datagram over. Both calls are made on the worker thread
// and return only once the receiver has handled them, so the receiver may read the packet
// buffer and the counters without locks.
class DatagramSink {
public:
    virtual ~DatagramSink() = default;
    // A datagram lies in the packet buffer.
    virtual void PacketArrived() = 0;
    // DatagramTotal and DatagramBalance have been raised for it.
    virtual void PacketCounted() = 0;
};

} // namespace talvane
