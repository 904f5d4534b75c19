// Any bytes as a datagram of the kernel's sock_diag answers, to a question numbered by the first
// four: the reader stays inside them, whatever lengths the messages claim.

#include "capture/SocketDiag.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace talvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sequence = 0;
    if (size < sizeof sequence)
        return 0;
    std::memcpy(&sequence, data, sizeof sequence);
    // An exactly sized copy, so that a read past the answers is caught.
    const std::size_t length = size - sizeof sequence;
    const auto reply = std::make_unique<std::uint8_t[]>(length);
    std::copy(data + sizeof sequence, data + size, reply.get());
    const SocketDiag::Reply read = SocketDiag::ReadReply({reply.get(), length}, sequence);
    if (read.socket && !read.answered)
        std::abort();
    return 0;
}
