#pragma once

#include "ElapsedClock.h"
#include "KernelDrops.h"
#include "capture/CaptureSource.h"
#include "capture/ClassifyPacket.h"
#include "capture/Ipv4Address.h"
#include "capture/MonitorState.h"
#include "filtering/FilterSettings.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvane {

// What the window monitors, without its widgets: the monitor state and the capture it begins,
// pauses and stops, the address the capture is on, the kernel's drops and the elapsed time of the
// run, the filter datagrams are classified against and the figures of the datagrams handed over.
// The window shows what the session answers and tells the user what fails.
class MonitorSession {
public:
    // addresses: the host's, in the address list's order. lastFilterFile: the settings the active
    // filter is read from.
    MonitorSession(std::unique_ptr<CaptureSource> capture, std::vector<Ipv4Address> addresses,
                   std::filesystem::path lastFilterFile);

    const std::vector<Ipv4Address>& Addresses() const { return addresses; }
    // Opens a capture on the address at this place of the list, ending the one before; nullopt
    // when the list has none there, and then nothing can be captured.
    std::optional<CaptureSource::Binding> Bind(int index);
    // The address the capture is on; none before the first bind and when the list is empty.
    const Ipv4Address& SelectedAddress() const { return selectedAddress; }

    // Each changes the state, the capture's spans and the drops; Begin answers whether the
    // capture could begin.
    bool Begin();
    void Pause();
    void Stop();
    const MonitorState& State() const { return state; }

    // Re-reads the settings into the active filter, or empties it when filtering is off; answers
    // what the user must be told, empty when nothing.
    std::string ReloadFilter(bool filtering);
    // The filter dialog's edited copy of the settings, kept between showings.
    FilterSettings& EditedSettings() { return filterSettings; }
    const ActiveFilter& Filter() const { return activeFilter; }

    // Classifies a datagram against the address of the capture that took it, or without one the
    // selected address.
    const PacketClass& Classify(std::span<const std::uint8_t> datagram,
                                std::optional<Ipv4Address> captureAddress);
    // What the classification made of the datagram handed over last.
    const PacketClass& LastPacket() const { return lastPacket; }

    // A datagram was handed over.
    void Count();
    // The clear command took these records out of the balance.
    void TakeOut(int records);
    // Datagrams handed over since the start, and handed over but for those the clear command took
    // out as records.
    std::int32_t DatagramTotal() const { return datagramTotal; }
    std::int32_t DatagramBalance() const { return datagramBalance; }

    // One beat of the display: the clock advances while it runs. Answers whether it did.
    bool TickClock();
    const ElapsedClock& Clock() const { return elapsed; }
    // The datagrams the kernel dropped while monitoring ran.
    std::uint64_t KernelDropsSoFar() const;

    const CaptureSource& Capture() const { return *capture; }
    // Ends the helper and joins the worker: nothing is captured from now on.
    void EndCapture() { capture.reset(); }

private:
    // The open capture's drop count; nullopt without a capture.
    std::optional<std::uint32_t> KernelDropped() const;

    std::unique_ptr<CaptureSource> capture;
    const std::vector<Ipv4Address> addresses;
    const std::filesystem::path lastFilterFile;
    Ipv4Address selectedAddress;
    MonitorState state;
    FilterSettings filterSettings;
    ActiveFilter activeFilter;
    PacketClass lastPacket;
    ElapsedClock elapsed;
    KernelDrops kernelDrops;
    std::int32_t datagramTotal = 0;
    std::int32_t datagramBalance = 0;
};

} // namespace talvane
