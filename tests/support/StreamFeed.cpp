#include "StreamFeed.h"

#include <sys/socket.h>
#include <unistd.h>

namespace talvane {

std::vector<std::uint8_t> StreamFeed::Bytes(const CaptureStream::Message& message) {
    std::vector<std::uint8_t> bytes;
    CaptureStream::Write(message, bytes);
    return bytes;
}

std::vector<std::uint8_t> StreamFeed::Opening(std::int32_t linkType,
                                              std::string_view ownersUnavailable) {
    std::vector<std::uint8_t> bytes = Bytes(CaptureStream::Link{linkType});
    CaptureStream::Write(CaptureStream::Owners{ownersUnavailable}, bytes);
    return bytes;
}

CaptureEngine::Opener StreamFeed::Opener(std::vector<std::uint8_t> opening, bool thenEnds) {
    return [this, opening, thenEnds](const Ipv4Address&) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return CaptureChannel::Opened{nullptr, "socketpair"};
        ends.emplace_back(pair[1]);
        SendBytes(opening);
        if (thenEnds)
            Close();
        return CaptureChannel::Open(UniqueFd(pair[0]));
    };
}

void StreamFeed::SendBytes(std::span<const std::uint8_t> bytes) {
    if (write(ends.back().Get(), bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        ends.back().Close();
}

} // namespace talvane
