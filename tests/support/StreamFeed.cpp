#include "StreamFeed.h"

#include <sys/socket.h>
#include <unistd.h>

namespace talvane {

CaptureEngine::Opener StreamFeed::Opener(std::int32_t linkType) {
    return [this, linkType](const Ipv4Address&) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return CaptureChannel::Opened{nullptr, "socketpair"};
        ends.emplace_back(pair[1]);
        Send(CaptureStream::Link{linkType});
        return CaptureChannel::Open(UniqueFd(pair[0]));
    };
}

void StreamFeed::Send(const CaptureStream::Message& message) {
    std::vector<std::uint8_t> bytes;
    CaptureStream::Write(message, bytes);
    SendBytes(bytes);
}

void StreamFeed::SendBytes(std::span<const std::uint8_t> bytes) {
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t count =
            write(ends.back().Get(), bytes.data() + written, bytes.size() - written);
        if (count <= 0)
            return;
        written += static_cast<std::size_t>(count);
    }
}

} // namespace talvane
