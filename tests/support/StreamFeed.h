#pragma once

#include "base/UniqueFd.h"
#include "capture/CaptureEngine.h"
#include "capture/CaptureStream.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace talvane {

// Captures that a test writes itself, as the capture helper would or otherwise: each capture the
// engine opens is a stream that begins with the given bytes (raw IPv4's link type unless told)
// and, where told, ends after them; the test writes to the newest one.
class StreamFeed {
public:
    static std::vector<std::uint8_t> Bytes(const CaptureStream::Message& message);
    // A helper's opening: its link type, then whether the kernel names owners.
    static std::vector<std::uint8_t> Opening(std::int32_t linkType = 228,
                                             std::string_view ownersUnavailable = {});

    CaptureEngine::Opener Opener(std::vector<std::uint8_t> opening = Opening(),
                                 bool thenEnds = false);
    int Opened() const { return static_cast<int>(ends.size()); }

    void Send(const CaptureStream::Message& message) { SendBytes(Bytes(message)); }
    void SendBytes(std::span<const std::uint8_t> bytes);
    // Ends the newest stream, as a helper that went would.
    void Close() { ends.back().Close(); }

private:
    std::vector<UniqueFd> ends;
};

} // namespace talvane
