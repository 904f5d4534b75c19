#include "CaptureRelay.h"

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

} // namespace

int CaptureRelay::Run(CaptureHandle& capture) {
    CaptureStream::Write(CaptureStream::Link{capture.LinkType()}, pending);
    CaptureStream::Write(sent, pending);
    const auto take = [this](const CaptureStream::Frame& frame) {
        CaptureStream::Write(frame, pending);
    };
    // Frames came since the counts were last asked for, which is due then.
    bool countsStale = false;
    Clock::time_point countsDue = Clock::now();
    while (Send()) {
        pollfd ready[] = {{capture.Descriptor(), POLLIN, 0}, {stream, POLLIN, 0}};
        const auto untilCounts =
            std::chrono::ceil<std::chrono::milliseconds>(countsDue - Clock::now());
        const int timeoutMs =
            countsStale ? static_cast<int>(std::max<long>(untilCounts.count(), 0)) : -1;
        if (poll(ready, 2, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (ready[1].revents != 0)
            return 0;
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

void CaptureRelay::Fail(std::string_view reason) {
    std::fprintf(stderr, "talvane-capture: %.*s\n", static_cast<int>(reason.size()), reason.data());
    CaptureStream::Write(CaptureStream::Failure{reason}, pending);
    Send();
}

bool CaptureRelay::Send() {
    std::size_t written = 0;
    while (written < pending.size()) {
        const ssize_t count = write(stream, pending.data() + written, pending.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    pending.clear();
    return true;
}

} // namespace talvane
