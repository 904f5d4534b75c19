#pragma once

#include "Ipv4Address.h"
#include "PacketBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

typedef struct pcap pcap_t;

namespace talvane {

// A libpcap capture on the interface that holds one local address.
class CaptureHandle {
public:
    enum class ReadResult { Datagram, Nothing, Broken, Failed };

    struct Statistics {
        std::uint32_t received = 0;
        std::uint32_t dropped = 0;
    };

    // A capture opened, or why it could not be.
    struct Opened {
        // Null when the capture could not be opened.
        std::unique_ptr<CaptureHandle> handle;
        std::string error;
    };

    // Opens and activates the capture.
    static Opened Open(const Ipv4Address& address);

    // Blocks until a frame arrives or BreakLoop is called. A frame that carries an IPv4
    // datagram is copied into buffer.
    ReadResult ReadInto(PacketBuffer& buffer);

    // Ends a blocked ReadInto; safe from any thread.
    void BreakLoop();

    std::optional<Statistics> Stats() const;

private:
    struct ClosePcap {
        void operator()(pcap_t* pcap) const;
    };
    using Pcap = std::unique_ptr<pcap_t, ClosePcap>;

    CaptureHandle(Pcap pcap, int linkType) : pcap(std::move(pcap)), linkType(linkType) {}

    Pcap pcap;
    int linkType;
};

} // namespace talvane
