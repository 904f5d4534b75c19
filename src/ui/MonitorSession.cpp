#include "MonitorSession.h"

#include "filtering/FilterFile.h"

namespace talvane {

MonitorSession::MonitorSession(std::unique_ptr<CaptureSource> capture,
                               std::vector<Ipv4Address> addresses,
                               std::filesystem::path lastFilterFile)
    : capture(std::move(capture)), addresses(std::move(addresses)),
      lastFilterFile(std::move(lastFilterFile)) {}

std::optional<CaptureSource::Binding> MonitorSession::Bind(int index) {
    // Each capture counts its drops from nought: the old one's are kept before it closes.
    kernelDrops.End(KernelDropped());
    std::optional<CaptureSource::Binding> binding;
    if (index >= 0 && index < static_cast<int>(addresses.size())) {
        selectedAddress = addresses[static_cast<std::size_t>(index)];
        binding = capture->Bind(selectedAddress);
    } else {
        capture->Unbind();
    }
    if (state.ClockRuns())
        kernelDrops.Begin(KernelDropped());
    return binding;
}

bool MonitorSession::Begin() {
    state.Begin();
    const bool started = capture->Begin();
    kernelDrops.Begin(KernelDropped());
    return started;
}

void MonitorSession::Pause() {
    state.Pause();
    // The worker stays in its read: the next datagram is still handed over before it ends.
    capture->Pause();
    kernelDrops.End(KernelDropped());
}

void MonitorSession::Stop() {
    state.Stop();
    capture->Stop();
    kernelDrops.End(KernelDropped());
}

std::string MonitorSession::ReloadFilter(bool filtering) {
    activeFilter = ActiveFilter();
    if (!filtering)
        return {};
    const FilterFile::LoadReport report = FilterFile::LoadAndReport(lastFilterFile, filterSettings);
    if (report.loaded)
        activeFilter = ActiveFilter::From(filterSettings);
    return report.message;
}

const PacketClass& MonitorSession::Classify(std::span<const std::uint8_t> datagram,
                                            std::optional<Ipv4Address> captureAddress) {
    lastPacket = ClassifyPacket(datagram, captureAddress.value_or(selectedAddress), activeFilter);
    return lastPacket;
}

void MonitorSession::Count() {
    ++datagramTotal;
    ++datagramBalance;
}

void MonitorSession::TakeOut(int records) {
    datagramBalance -= records;
}

bool MonitorSession::TickClock() {
    if (!state.ClockRuns())
        return false;
    elapsed.Tick();
    return true;
}

std::uint64_t MonitorSession::KernelDropsSoFar() const {
    return kernelDrops.Total(KernelDropped());
}

std::optional<std::uint32_t> MonitorSession::KernelDropped() const {
    const std::optional<CaptureSource::Statistics> statistics =
        capture ? capture->CurrentStatistics() : std::nullopt;
    return statistics ? std::optional(statistics->dropped) : std::nullopt;
}

} // namespace talvane
