#pragma once

#include "capture/CaptureEngine.h"
#include "capture/CaptureStream.h"
#include "capture/UniqueFd.h"

#include <cstdint>
#include <span>
#include <vector>

namespace talvane {

// Captures that a test writes itself, as the capture helper would or otherwise: each capture the
// engine opens is a stream that begins with the given link type, and the test writes to the
// newest one.
class StreamFeed {
public:
    static constexpr std::int32_t RawIpv4 = 228;

    CaptureEngine::Opener Opener(std::int32_t linkType = RawIpv4);
    int Opened() const { return static_cast<int>(ends.size()); }

    void Send(const CaptureStream::Message& message);
    void SendBytes(std::span<const std::uint8_t> bytes);
    // Ends the newest stream, as a helper that went would.
    void Close() { ends.back().Close(); }

private:
    std::vector<UniqueFd> ends;
};

} // namespace talvane
