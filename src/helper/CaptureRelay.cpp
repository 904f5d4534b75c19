#include "CaptureRelay.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace talvane {

int CaptureRelay::Run(CaptureHandle& capture) {
    CaptureStream::Write(CaptureStream::Link{capture.LinkType()}, pending);
    CaptureStream::Write(sent, pending);
    const auto take = [this](const CaptureStream::Frame& frame) {
        CaptureStream::Write(frame, pending);
    };
    while (Send()) {
        pollfd ready[] = {{capture.Descriptor(), POLLIN, 0}, {stream, POLLIN, 0}};
        if (poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            Fail(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (ready[1].revents != 0)
            return 0;
        if (capture.TakeWaiting(take) < 0) {
            Fail(capture.Error());
            return 1;
        }
        const std::optional<CaptureStream::Statistics> counts = capture.Stats();
        if (counts && (counts->received != sent.received || counts->dropped != sent.dropped)) {
            sent = *counts;
            CaptureStream::Write(sent, pending);
        }
    }
    return 0;
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
