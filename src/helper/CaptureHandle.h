#pragma once

#include "capture/CaptureStream.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

typedef struct pcap pcap_t;

namespace talvane {

// A libpcap capture on one interface, read without waiting: a poll on its descriptor says when
// frames wait.
class CaptureHandle {
public:
    struct Opened {
        // Null when the capture could not be opened.
        std::unique_ptr<CaptureHandle> handle;
        std::string error;
    };

    // Opens and activates the capture: every IPv4 frame, promiscuous, into a large kernel buffer.
    static Opened Open(const std::string& interface);

    int LinkType() const { return linkType; }
    // Readable when frames wait.
    int Descriptor() const;

    // Gives every frame that waits to take, waiting for none: how many it gave, or -1 when the
    // capture failed (its interface went away), Error saying why.
    int TakeWaiting(const std::function<void(const CaptureStream::Frame&)>& take);
    std::string Error() const;

    std::optional<CaptureStream::Statistics> Stats() const;

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
