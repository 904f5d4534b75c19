#include "CaptureHandle.h"

#include <pcap/pcap.h>

#include <chrono>

namespace talvane {

namespace {

// Frames are packed into this kernel buffer by size; 32 MiB absorbs long bursts.
constexpr int KernelBufferBytes = 32 * 1024 * 1024;
// Without immediate mode the kernel hands frames over in blocks, at the latest after this. Their
// owners come with them from the kernel, so a block may wait: each wake-up of the helper, the
// worker and the window costs more than the frames it brings at ordinary rates. A block waits no
// longer than one beat of the display, which shows it at the next.
constexpr int ReadTimeoutMs = 100;

std::string Failure(pcap_t* pcap, const char* step) {
    return std::string(step) + ": " + pcap_geterr(pcap);
}

CaptureHandle::Opened NotOpened(std::string error) {
    return {nullptr, std::move(error)};
}

void TakeFrame(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
    const auto& take =
        *reinterpret_cast<const std::function<void(const CaptureStream::Frame&)>*>(user);
    take({CaptureTime{std::chrono::seconds{header->ts.tv_sec} +
                      std::chrono::microseconds{header->ts.tv_usec}},
          {bytes, header->caplen}});
}

} // namespace

CaptureHandle::Opened CaptureHandle::Open(const std::string& interface) {
    char errorText[PCAP_ERRBUF_SIZE] = {};
    Pcap owned(pcap_create(interface.c_str(), errorText));
    if (!owned)
        return NotOpened(errorText);
    pcap_t* pcap = owned.get();
    pcap_set_snaplen(pcap, static_cast<int>(CaptureStream::MaximumFrame));
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
    if (pcap_setnonblock(pcap, 1, errorText) != 0)
        return NotOpened(std::string("nonblock: ") + errorText);
    const int linkType = pcap_datalink(pcap);
    return {std::unique_ptr<CaptureHandle>(new CaptureHandle(std::move(owned), linkType)), {}};
}

void CaptureHandle::ClosePcap::operator()(pcap_t* pcap) const {
    pcap_close(pcap);
}

int CaptureHandle::Descriptor() const {
    return pcap_get_selectable_fd(pcap.get());
}

int CaptureHandle::TakeWaiting(const std::function<void(const CaptureStream::Frame&)>& take) {
    // -1: every frame of the blocks the kernel has handed over.
    const int taken = pcap_dispatch(
        pcap.get(), -1, TakeFrame,
        reinterpret_cast<u_char*>(const_cast<void*>(static_cast<const void*>(&take))));
    return taken < 0 ? -1 : taken;
}

std::string CaptureHandle::Error() const {
    return pcap_geterr(pcap.get());
}

std::optional<CaptureStream::Statistics> CaptureHandle::Stats() const {
    pcap_stat stat{};
    if (pcap_stats(pcap.get(), &stat) != 0)
        return std::nullopt;
    return CaptureStream::Statistics{stat.ps_recv, stat.ps_drop};
}

} // namespace talvane
