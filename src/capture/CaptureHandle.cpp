#include "CaptureHandle.h"

#include "HostAddressList.h"
#include "LinkFraming.h"

#include <pcap/pcap.h>

#include <chrono>

namespace talvane {

namespace {

// Room for the largest IPv4 datagram behind any link header we strip.
constexpr int SnapLength = 65535 + 64;
// Frames are packed into this kernel buffer by size; 32 MiB absorbs long bursts.
constexpr int KernelBufferBytes = 32 * 1024 * 1024;
// Without immediate mode the kernel hands frames over in blocks, at the latest after this.
constexpr int ReadTimeoutMs = 10;

std::string Failure(pcap_t* pcap, const char* step) {
    return std::string(step) + ": " + pcap_geterr(pcap);
}

CaptureHandle::Opened NotOpened(std::string error) {
    return {nullptr, std::move(error)};
}

} // namespace

CaptureHandle::Opened CaptureHandle::Open(const Ipv4Address& address) {
    const std::optional<std::string> device = HostAddressList::InterfaceHolding(address);
    if (!device)
        return NotOpened("no interface holds " + address.Dotted());
    char errorText[PCAP_ERRBUF_SIZE] = {};
    Pcap owned(pcap_create(device->c_str(), errorText));
    if (!owned)
        return NotOpened(errorText);
    pcap_t* pcap = owned.get();
    pcap_set_snaplen(pcap, SnapLength);
    pcap_set_promisc(pcap, 1);
    pcap_set_buffer_size(pcap, KernelBufferBytes);
    pcap_set_immediate_mode(pcap, 0);
    pcap_set_timeout(pcap, ReadTimeoutMs);
    if (pcap_activate(pcap) < 0)
        return NotOpened(Failure(pcap, "activate"));
    bpf_program program{};
    if (pcap_compile(pcap, &program, "ip", 1, PCAP_NETMASK_UNKNOWN) != 0)
        return NotOpened(Failure(pcap, "compile"));
    const int filterResult = pcap_setfilter(pcap, &program);
    pcap_freecode(&program);
    if (filterResult != 0)
        return NotOpened(Failure(pcap, "filter"));
    const int linkType = pcap_datalink(pcap);
    return {std::unique_ptr<CaptureHandle>(new CaptureHandle(std::move(owned), linkType)), {}};
}

void CaptureHandle::ClosePcap::operator()(pcap_t* pcap) const {
    pcap_close(pcap);
}

CaptureHandle::ReadResult CaptureHandle::ReadInto(PacketBuffer& buffer) {
    pcap_pkthdr* header = nullptr;
    const std::uint8_t* frame = nullptr;
    switch (pcap_next_ex(pcap.get(), &header, &frame)) {
    case 1:
        break;
    case 0:
        return ReadResult::Nothing;
    case PCAP_ERROR_BREAK:
        return ReadResult::Broken;
    default:
        return ReadResult::Failed;
    }
    const auto datagram = LinkFraming::Ipv4Datagram(linkType, {frame, header->caplen});
    if (datagram.empty())
        return ReadResult::Nothing;
    buffer.Assign(datagram);
    buffer.captured = CaptureTime{std::chrono::seconds{header->ts.tv_sec} +
                                  std::chrono::microseconds{header->ts.tv_usec}};
    return ReadResult::Datagram;
}

void CaptureHandle::BreakLoop() {
    pcap_breakloop(pcap.get());
}

std::optional<CaptureHandle::Statistics> CaptureHandle::Stats() const {
    pcap_stat stat{};
    if (pcap_stats(pcap.get(), &stat) != 0)
        return std::nullopt;
    return Statistics{stat.ps_recv, stat.ps_drop};
}

} // namespace talvane
