#include "CaptureRelay.h"

#include "base/AllBytes.h"
#include "capture/LinkFraming.h"
#include "capture/SocketHolders.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace talvane {

namespace {

using Clock = std::chrono::steady_clock;

// Asking the kernel for its counts costs more than relaying a block of frames (libpcap reads
// /proc/net/dev each time), so they are asked for this often while frames come, and once more
// after the last.
constexpr auto CountsPace = std::chrono::milliseconds(200);
// The kernel programs tell of every socket of the system without waking the helper: while no
// frame comes, their records are read this often, so that the ring never fills with them.
constexpr int OwnersPaceMs = 1000;

} // namespace

CaptureRelay::CaptureRelay(int stream)
    // Where the kernel programs may not read a program's name, it is read as soon as they tell
    // of its socket, while the program most likely still runs.
    : stream(stream), ledger([](std::int32_t pid) { return SocketHolders::ProcessName(pid); }) {}

int CaptureRelay::Run(CaptureHandle& capture, KernelOwners* owners,
                      std::string_view ownersUnavailable) {
    CaptureStream::Write(CaptureStream::Link{capture.LinkType()}, pending);
    CaptureStream::Write(CaptureStream::Owners{owners ? std::string_view() : ownersUnavailable},
                         pending);
    CaptureStream::Write(sent, pending);
    SocketLedger::Clock::time_point now;
    const auto take = [&](const CaptureStream::Frame& frame) {
        SendFrame(frame, capture.LinkType(), owners, now);
    };
    // Frames came since the counts were last asked for, which is due then.
    bool countsStale = false;
    Clock::time_point countsDue = Clock::now();
    while (Send()) {
        pollfd ready[] = {{capture.Descriptor(), POLLIN, 0},
                          {stream, POLLIN, 0},
                          {owners ? owners->Descriptor() : -1, POLLIN, 0}};
        const auto untilCounts =
            std::chrono::ceil<std::chrono::milliseconds>(countsDue - Clock::now());
        int timeoutMs = countsStale ? static_cast<int>(std::max<long>(untilCounts.count(), 0)) : -1;
        if (owners)
            timeoutMs = timeoutMs < 0 ? OwnersPaceMs : std::min(timeoutMs, OwnersPaceMs);
        if (poll(ready, 3, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (ready[1].revents != 0)
            return 0;
        // What the kernel told before these frames were captured names their senders.
        if (owners)
            ReadOwners(*owners);
        now = SocketLedger::Clock::now();
        const int taken = capture.TakeWaiting(take);
        if (taken < 0) {
            Fail(capture.Error());
            return 1;
        }
        countsStale = countsStale || taken > 0;
        if (countsStale && Clock::now() >= countsDue) {
            SendCounts(capture);
            countsStale = false;
            countsDue = Clock::now() + CountsPace;
        }
    }
    return 0;
}

void CaptureRelay::SendCounts(const CaptureHandle& capture) {
    const std::optional<CaptureStream::Statistics> counts = capture.Stats();
    if (counts && *counts != sent) {
        sent = *counts;
        CaptureStream::Write(sent, pending);
    }
}

void CaptureRelay::ReadOwners(KernelOwners& owners) {
    const SocketLedger::Clock::time_point now = SocketLedger::Clock::now();
    owners.Drain([this, now](std::span<const std::uint8_t> record) { ledger.Take(record, now); });
}

void CaptureRelay::SendFrame(CaptureStream::Frame frame, int linkType, KernelOwners* owners,
                             SocketLedger::Clock::time_point now) {
    const std::span<const std::uint8_t> datagram = LinkFraming::Ipv4Datagram(linkType, frame.bytes);
    if (owners && !datagram.empty()) {
        frame.owners = ledger.OwnersOf(datagram, now);
        // The kernel tells of an arriving datagram just after the capture sees it: a datagram
        // that no socket carried may yet be told of.
        constexpr DatagramOwners NoSocket{{KernelOwner::Source::Nobody, 0, 0, {}},
                                          {KernelOwner::Source::Nobody, 0, 0, {}}};
        if (frame.owners == NoSocket) {
            ReadOwners(*owners);
            frame.owners = ledger.OwnersOf(datagram, now);
        }
    }
    CaptureStream::Write(frame, pending);
}

void CaptureRelay::Fail(std::string_view reason) {
    std::fprintf(stderr, "talvane-capture: %.*s\n", static_cast<int>(reason.size()), reason.data());
    CaptureStream::Write(CaptureStream::Failure{reason}, pending);
    Send();
}

bool CaptureRelay::Send() {
    if (!AllBytes::Write(stream, pending))
        return false;
    pending.clear();
    return true;
}

} // namespace talvane
